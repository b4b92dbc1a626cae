#include "widgets/InfoView.h"

#include <QWebView>

#include "widgets/WebPageSupport.h"

namespace {
const char kPath[] = "/community/bList/notice?is_mobile=y";
} // namespace

InfoView::InfoView(QWidget* parent) : QWidget(parent) {
    webView = createPageWebView(this);
}

QString InfoView::pageAddress() {
    return operatorAddress(kPath);
}

void InfoView::loadPage() {
    loadOperatorPage(webView, kPath);
}

void InfoView::reload() {
    operatorView(webView)->reload();
}
