#include "app/MessageDialog.h"

#include <QMessageBox>
#include <QWidget>

namespace {
MessageDialog::Handler& handler() {
    static MessageDialog::Handler instance;
    return instance;
}
} // namespace

void MessageDialog::show(const QString& text) {
    // A box may open while the window is being dragged by its top bar. A grab left in place
    // would take the box's clicks, and the box would not close.
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    if (handler()) {
        handler()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
    // Texts may come from the web service; markup in them is shown, never rendered.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void MessageDialog::setHandler(Handler newHandler) {
    handler() = std::move(newHandler);
}
