#include "RequestJson.h"

#include <QDebug>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>

namespace utility {

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

QByteArray RequestJson::send(const QUrl& url, const QUrlQuery& form, bool& ok) {
    QEventLoop loop;
    QNetworkAccessManager manager;
    connect(&manager, SIGNAL(finished(QNetworkReply*)), &loop, SLOT(quit()));

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      "application/x-www-form-urlencoded; charset=utf-8");
    // Redirects are not followed: a redirect answer is a reply like any other.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // A silent server must not keep the caller waiting forever.
    request.setTransferTimeout(timeoutMs);

    ++pending;
    QNetworkReply* reply = manager.post(request, formBody(form));
    if (!reply->isFinished()) {
        loop.exec();
    }
    --pending;

    QByteArray body;
    ok = reply->error() == QNetworkReply::NoError;
    if (ok) {
        body = reply->readAll();
    } else {
        qDebug() << "Failure" << reply->errorString();
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
        qDebug() << body;
        const QByteArray decoded = QByteArray::fromBase64(body);
        qDebug() << decoded;
        const QString text = QString::fromUtf8(decoded);
        qDebug() << text;
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
