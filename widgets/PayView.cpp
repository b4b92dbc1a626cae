#include "widgets/PayView.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <QWebPage>
#include <QWebView>

#include "utility/RequestJson.h"
#include "utility/XmlServerParser.h"
#include "widgets/OperatorPage.h"
#include "widgets/WebPageSupport.h"

PayView::PayView(QWidget* parent) : QWidget(parent) {
    webView = createPageWebView(this);
}

void PayView::postPage(const QUrl& url, const QUrlQuery& form) {
    operatorView(webView); // its page, with the deadline, made on first use
    // Payment flows pass through the processors' own pages.
    QList<QUrl> processors;
    for (const std::string& address : utility::XmlServerParser::getInstance()->payUrls()) {
        processors << QUrl(QString::fromStdString(address));
    }
    static_cast<OperatorPage*>(webView->page())->allowOrigins(processors);
    if (webView->hasSelection()) {
        return;
    }
    QEventLoop loop;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      "application/x-www-form-urlencoded; charset=utf-8");
    // Wait for the first reply of the page's own manager after the load, for the length
    // of this call only. A load that never reaches the network (a malformed address)
    // must not keep the window waiting, hence the time limit, the one every request has.
    const QMetaObject::Connection connection =
        connect(webView->page()->networkAccessManager(), SIGNAL(finished(QNetworkReply*)), &loop,
                SLOT(quit()));
    QTimer::singleShot(static_cast<OperatorPage*>(webView->page())->deadline(), &loop,
                       SLOT(quit()));
    webView->load(request, QNetworkAccessManager::PostOperation,
                  utility::RequestJson::formBody(form));
    loop.exec();
    disconnect(connection);
}

void PayView::reload() {
    operatorView(webView)->reload();
}
