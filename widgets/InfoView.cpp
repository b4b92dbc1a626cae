#include "InfoView.h"

#include <QUrl>
#include <QWebView>

#include "XmlServerParser.h"

InfoView::InfoView(QWidget* parent) : QWidget(parent) {
    webView = new QWebView(this);
    webView->show();
    webView->resize(1024, 611);
    webView->move(0, 0);
}

QString InfoView::pageAddress() {
    const std::string address =
        utility::XmlServerParser::getInstance()->webUrl() + "/community/bList/notice?is_mobile=y";
    return QString::fromUtf8(address.c_str());
}

void InfoView::loadPage() {
    if (webView->hasSelection()) {
        return;
    }
    webView->load(QUrl(pageAddress(), QUrl::TolerantMode));
}

void InfoView::reload() {
    webView->reload();
}
