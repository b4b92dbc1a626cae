#include "NoticeView.h"

#include <QUrl>
#include <QWebView>

#include "XmlServerParser.h"

NoticeView::NoticeView(QWidget* parent) : QWidget(parent) {
    webView = new QWebView(this);
    webView->show();
    webView->resize(1024, 611);
    webView->move(0, 0);
}

QString NoticeView::pageAddress() {
    const std::string address =
        utility::XmlServerParser::getInstance()->webUrl() + "/customer?is_mobile=y";
    return QString::fromUtf8(address.c_str());
}

void NoticeView::loadPage() {
    if (webView->hasSelection()) {
        return;
    }
    webView->load(QUrl(pageAddress(), QUrl::TolerantMode));
}

void NoticeView::reload() {
    webView->reload();
}
