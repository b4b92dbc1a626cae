#include "widgets/InfoView.h"

#include <QWebView>

#include "widgets/WebPageSupport.h"

namespace {
const char kPath[] = "/community/bList/notice?is_mobile=y";
} // namespace

InfoView::InfoView(QWidget* parent) : QWidget(parent) {
    view = createPageWebView(this);
}

QWebView* InfoView::webView() {
    return operatorView(view);
}

QString InfoView::pageAddress() {
    return operatorAddress(kPath);
}

void InfoView::loadPage() {
    loadOperatorPage(view, kPath);
}

void InfoView::reload() {
    webView()->reload();
}
