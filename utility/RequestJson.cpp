#include "utility/RequestJson.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>

namespace utility {

// Every reply of the login exchange, once a second, raw and decoded, with the player's
// nickname and coins: off unless asked for with QT_LOGGING_RULES="launcher.reply.debug=true".
Q_LOGGING_CATEGORY(replyLog, "launcher.reply", QtInfoMsg)

RequestJson::RequestJson(QWidget* parent) : QWidget(parent) {
    // No visual role: kept hidden so it never covers what lies under it in the window.
    hide();
    setAttribute(Qt::WA_DontShowOnScreen);
}

RequestJson::~RequestJson() {
    delete doc;
}

QByteArray RequestJson::formBody(const QUrlQuery& form) {
    // QUrlQuery escapes "=" inside values as "%3D"; the first "=" of a pair is the only
    // delimiter, so the others can stand as they are.
    QStringList pairs = form.toString().split('&');
    for (QString& pair : pairs) {
        const int delimiter = pair.indexOf('=');
        if (delimiter >= 0) {
            pair = pair.left(delimiter + 1) +
                   pair.mid(delimiter + 1).replace("%3D", "=", Qt::CaseInsensitive);
        }
    }
    return pairs.join('&').toUtf8();
}

void RequestJson::leaveOutNetworkBearers() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    // The bearer plugins are looked for once, by the first network access manager, in the
    // plugin folders of that moment: there are none while it is made.
    const QStringList folders = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    { const QNetworkAccessManager first; }
    QCoreApplication::setLibraryPaths(folders);
}

QByteArray RequestJson::send(const QUrl& url, const QUrlQuery& form, bool& ok) {
    leaveOutNetworkBearers();
    QEventLoop loop;
    QNetworkAccessManager manager;
    connect(&manager, SIGNAL(finished(QNetworkReply*)), &loop, SLOT(quit()));

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      "application/x-www-form-urlencoded; charset=utf-8");
    // Redirects are not followed: a redirect answer is a reply like any other.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);

    ++pending;
    QNetworkReply* reply = manager.post(request, formBody(form));
    // A reply is a few kilobytes; one of gigabytes within the deadline would exhaust the
    // memory before it could be read.
    bool tooLarge = false;
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, &tooLarge](qint64 received, qint64 total) {
                if (!tooLarge && (received > maxReplyBytes || total > maxReplyBytes)) {
                    tooLarge = true;
                    reply->abort();
                }
            });
    // A deadline from the moment of sending, not an idle limit: a server that trickles a
    // byte now and then must not hold the window for longer than this either.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, SIGNAL(timeout()), reply, SLOT(abort()));
    deadline.start(timeoutMs);
    if (!reply->isFinished()) {
        loop.exec();
    }
    deadline.stop();
    --pending;

    // The loop also ends when the application quits; only a finished reply is an answer.
    const bool answered = reply->isFinished();
    if (!answered) {
        manager.disconnect(&loop);
        reply->abort();
    }
    QByteArray body;
    ok = answered && !tooLarge && reply->error() == QNetworkReply::NoError;
    if (ok) {
        body = reply->readAll();
    } else {
        qDebug() << "Failure"
                 << (tooLarge ? QString("the reply is larger than %1 bytes").arg(maxReplyBytes)
                              : reply->errorString());
    }
    delete reply;
    return body;
}

void RequestJson::keep(const QString& json) {
    delete doc;
    doc = new QJsonDocument(QJsonDocument::fromJson(json.toUtf8()));
}

bool RequestJson::postEncoded(const QUrl& url, const QUrlQuery& form) {
    bool ok = false;
    const QByteArray body = send(url, form, ok);
    if (ok) {
        qCDebug(replyLog) << body;
        const QByteArray decoded = QByteArray::fromBase64(body);
        qCDebug(replyLog) << decoded;
        const QString text = QString::fromUtf8(decoded);
        qCDebug(replyLog) << text;
        keep(text);
    }
    return ok;
}

bool RequestJson::post(const QUrl& url, const QUrlQuery& form) {
    bool ok = false;
    const QByteArray body = send(url, form, ok);
    if (ok) {
        keep(QString::fromUtf8(body));
    }
    return ok;
}

} // namespace utility
