#include "widgets/NoticeView.h"

#include <QWebView>

#include "widgets/WebPageSupport.h"

namespace {
const char kPath[] = "/customer?is_mobile=y";
} // namespace

NoticeView::NoticeView(QWidget* parent) : QWidget(parent) {
    view = createPageWebView(this);
}

QWebView* NoticeView::webView() {
    return operatorView(view);
}

QString NoticeView::pageAddress() {
    return operatorAddress(kPath);
}

void NoticeView::loadPage() {
    loadOperatorPage(view, kPath);
}

void NoticeView::reload() {
    webView()->reload();
}
