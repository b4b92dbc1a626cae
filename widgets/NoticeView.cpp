#include "widgets/NoticeView.h"

#include <QWebView>

#include "widgets/WebPageSupport.h"

namespace {
const char kPath[] = "/customer?is_mobile=y";
} // namespace

NoticeView::NoticeView(QWidget* parent) : QWidget(parent) {
    webView = createPageWebView(this);
}

QString NoticeView::pageAddress() {
    return operatorAddress(kPath);
}

void NoticeView::loadPage() {
    loadOperatorPage(webView, kPath);
}

void NoticeView::reload() {
    operatorView(webView)->reload();
}
