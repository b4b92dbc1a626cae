#pragma once

#include <functional>

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>

class QTcpServer;
class QTcpSocket;

namespace testsupport {

// A small HTTP/1.1 responder on loopback for tests: records every request as it came
// and answers with what the test's handler returns (possibly late, or never).
class HttpTestServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray method;
        QByteArray target;                    // path and query as sent
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    struct Response {
        int status = 200;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray body;
        int delayMs = 0;     // answer this much later
        bool silent = false; // never answer
        int trickleMs = 0;   // send the body one byte at a time, this far apart
    };
    using Handler = std::function<Response(const Request&)>;

    explicit HttpTestServer(QObject* parent = nullptr);
    ~HttpTestServer() override;

    bool listen(const QHostAddress& address, quint16 port = 0);
    quint16 port() const;
    void setHandler(Handler handler) { this->handler = std::move(handler); }

    const QList<Request>& requests() const { return seen; }
    // The most requests that were waiting for an answer at the same time.
    int maxInFlight() const { return maxOpen; }

private:
    void onConnection();
    void onReadable(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Response& response);

    QTcpServer* server;
    Handler handler;
    QList<Request> seen;
    QMap<QTcpSocket*, QByteArray> buffers;
    int open = 0;
    int maxOpen = 0;
};

} // namespace testsupport
