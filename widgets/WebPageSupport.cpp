#include "widgets/WebPageSupport.h"

#include <string>

#include <QString>
#include <QUrl>
#include <QWebView>

#include "utility/RequestJson.h"
#include "utility/XmlServerParser.h"
#include "widgets/OperatorPage.h"

QWebView* createPageWebView(QWidget* page) {
    auto* view = new QWebView(page);
    view->show();
    view->resize(1024, 611);
    view->move(0, 0);
    return view;
}

QWebView* operatorView(QWebView* view) {
    if (view->findChild<OperatorPage*>(QString(), Qt::FindDirectChildrenOnly) == nullptr) {
        utility::RequestJson::leaveOutNetworkBearers();
        view->setPage(new OperatorPage(view));
    }
    return view;
}

QString operatorAddress(const char* path) {
    const std::string address = utility::XmlServerParser::getInstance()->webUrl() + path;
    return QString::fromUtf8(address.c_str());
}

void loadOperatorPage(QWebView* view, const char* path) {
    // The player may be copying text from the page; a reload would take it away.
    if (operatorView(view)->hasSelection()) {
        return;
    }
    view->load(QUrl(operatorAddress(path), QUrl::TolerantMode));
}
