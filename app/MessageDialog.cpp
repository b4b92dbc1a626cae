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
    box.exec();
}

void MessageDialog::setHandler(Handler newHandler) {
    handler() = std::move(newHandler);
}
