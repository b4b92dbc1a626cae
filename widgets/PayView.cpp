#include "widgets/PayView.h"

#include <QNetworkRequest>

#include "utility/RequestJson.h"
#include "utility/XmlServerParser.h"
#include "widgets/OperatorWeb.h"
#include "widgets/WebPageSupport.h"

PayView::PayView(QWidget* parent) : QWidget(parent) {}

void PayView::postPage(const QUrl& url, const QUrlQuery& form) {
    // The view and its page, with the deadline, are made on first use.
    if (operatorView(this, webView) == nullptr || OperatorWeb::engine()->hasSelection(webView)) {
        return;
    }
    // Payment flows pass through the processors' own pages.
    QList<QUrl> processors;
    for (const std::string& address : utility::XmlServerParser::getInstance()->payUrls()) {
        processors << QUrl(QString::fromStdString(address));
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      "application/x-www-form-urlencoded; charset=utf-8");
    OperatorWeb::engine()->post(webView, request, utility::RequestJson::formBody(form), processors);
}

void PayView::reload() {
    reloadOperatorPage(this, webView);
}
