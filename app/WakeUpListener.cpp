#include "app/WakeUpListener.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <QtDebug>

#ifdef __linux__
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// The lock's name is reachable by every user of the machine; only the same user's
// copy may bring our window forward.
bool fromSameUser(QLocalSocket* socket) {
#ifdef __linux__
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                   &size) != 0) {
        return false;
    }
    return peer.uid == getuid();
#else
    Q_UNUSED(socket);
    return true;
#endif
}
} // namespace

WakeUpListener::WakeUpListener(QWidget* window, QObject* parent)
    : QObject(parent), window(window), server(new QLocalServer(this)) {
    connect(server, SIGNAL(newConnection()), this, SLOT(onConnection()));
}

bool WakeUpListener::listen(int descriptor) {
    return descriptor >= 0 && server->listen(descriptor);
}

void WakeUpListener::onConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        const bool wanted = fromSameUser(socket);
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
