#include "HttpTestServer.h"

#include <memory>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace testsupport {

namespace {

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent), server(new QTcpServer(this)) {
    connect(server, &QTcpServer::newConnection, this, &HttpTestServer::onConnection);
}

HttpTestServer::~HttpTestServer() = default;

bool HttpTestServer::listen(const QHostAddress& address, quint16 port) {
    return server->listen(address, port);
}

quint16 HttpTestServer::port() const {
    return server->serverPort();
}

void HttpTestServer::onConnection() {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadable(QTcpSocket* socket) {
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            return;
        }
        Request request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0) {
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
            }
        }
        const int length = request.headers.value("content-length", "0").toInt();
        if (buffer.size() < headerEnd + 4 + length) {
            return;
        }
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        seen.append(request);

        const Response response = handler ? handler(request) : Response();
        ++open;
        maxOpen = qMax(maxOpen, open);
        if (response.silent) {
            continue;
        }
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(response.delayMs, this, [this, guarded, response] {
            --open;
            if (guarded) {
                answer(guarded, response);
            }
        });
    }
}

void HttpTestServer::answer(QTcpSocket* socket, const Response& response) {
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(response.status) + " " + reason(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (response.status == 302) {
        head += "Location: /elsewhere\r\n";
    }
    head += "Connection: keep-alive\r\n\r\n";
    if (response.trickleMs <= 0) {
        socket->write(head + response.body);
        return;
    }
    socket->write(head);
    auto* drip = new QTimer(socket);
    auto sent = std::make_shared<int>(0);
    const QByteArray body = response.body;
    connect(drip, &QTimer::timeout, socket, [socket, drip, sent, body] {
        if (*sent >= body.size()) {
            drip->stop();
            return;
        }
        socket->write(body.mid((*sent)++, 1));
    });
    drip->start(response.trickleMs);
}

} // namespace testsupport
