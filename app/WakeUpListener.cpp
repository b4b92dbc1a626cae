#include "app/WakeUpListener.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <QtDebug>

#include "platform/SingleInstance.h"

WakeUpListener::WakeUpListener(QWidget* window, QObject* parent)
    : QObject(parent), window(window), server(new QLocalServer(this)) {
    connect(server, SIGNAL(newConnection()), this, SLOT(onConnection()));
}

bool WakeUpListener::listen(int descriptor) {
    return descriptor >= 0 && server->listen(descriptor);
}

void WakeUpListener::onConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        // The lock's name is reachable by every user of the machine; only the same user's
        // copy may bring the window forward.
        const bool wanted =
            SingleInstance::isSameUser(static_cast<int>(socket->socketDescriptor()));
        socket->abort();
        socket->deleteLater();
        if (!wanted) {
            qWarning() << "Ignored a wake-up from another user";
            continue;
        }
        qInfo() << "Another copy was started: bringing the window to the front";
        if (window.isNull()) {
            continue;
        }
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window->show();
        window->raise();
        window->activateWindow();
    }
}
