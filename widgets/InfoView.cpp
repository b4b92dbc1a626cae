#include "widgets/InfoView.h"

#include "widgets/WebPageSupport.h"

namespace {
const char kPath[] = "/community/bList/notice?is_mobile=y";
} // namespace

InfoView::InfoView(QWidget* parent) : QWidget(parent) {}

QString InfoView::pageAddress() {
    return operatorAddress(kPath);
}

void InfoView::loadPage() {
    loadOperatorPage(this, webView, kPath);
}

void InfoView::reload() {
    reloadOperatorPage(this, webView);
}
