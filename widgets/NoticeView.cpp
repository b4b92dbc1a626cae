#include "widgets/NoticeView.h"

#include "widgets/WebPageSupport.h"

namespace {
const char kPath[] = "/customer?is_mobile=y";
} // namespace

NoticeView::NoticeView(QWidget* parent) : QWidget(parent) {}

QString NoticeView::pageAddress() {
    return operatorAddress(kPath);
}

void NoticeView::loadPage() {
    loadOperatorPage(this, webView, kPath);
}

void NoticeView::reload() {
    reloadOperatorPage(this, webView);
}
