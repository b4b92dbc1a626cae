#include "MessageDialog.h"

#include <QMessageBox>

namespace {
MessageDialog::Handler& handler() {
    static MessageDialog::Handler instance;
    return instance;
}
} // namespace

void MessageDialog::show(const QString& text) {
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
