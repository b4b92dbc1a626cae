#include "widgets/WebPageSupport.h"

#include <string>

#include <QLabel>
#include <QString>
#include <QUrl>

#include "utility/RequestJson.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"
#include "widgets/OperatorWeb.h"

namespace {
constexpr int kFailedRequestMessage = 204;

QString webAddress() {
    return QString::fromStdString(utility::XmlServerParser::getInstance()->webUrl());
}

// In place of the page, when the engine is missing: the player learns why the tab is empty.
void sayNoEngine(QWidget* page) {
    if (page->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly) != nullptr) {
        return;
    }
    auto* label = new QLabel(
        QStringLiteral("The operator's pages cannot be shown: the launcher's web module is "
                       "missing or damaged. Installing the launcher again brings it back."),
        page);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(24, 24, 1024 - 48, 611 - 48);
    label->show();
}
} // namespace

QWebView* operatorView(QWidget* page, QWebView*& view) {
    if (view != nullptr) {
        return view;
    }
    OperatorWeb* web = OperatorWeb::engine();
    if (web == nullptr) {
        sayNoEngine(page);
        return nullptr;
    }
    utility::RequestJson::leaveOutNetworkBearers();
    OperatorSite site;
    site.address = [] { return QUrl(webAddress()); };
    site.failureText = [] {
        return utility::XmlMsgParser::getInstance()->message(kFailedRequestMessage);
    };
    view = web->createView(page, site);
    return view;
}

QString operatorAddress(const char* path) {
    return webAddress() + QString::fromUtf8(path);
}

void loadOperatorPage(QWidget* page, QWebView*& view, const char* path) {
    // The player may be copying text from the page; a reload would take it away.
    if (operatorView(page, view) == nullptr || OperatorWeb::engine()->hasSelection(view)) {
        return;
    }
    OperatorWeb::engine()->load(view, QUrl(operatorAddress(path), QUrl::TolerantMode));
}

void reloadOperatorPage(QWidget* page, QWebView*& view) {
    if (operatorView(page, view) != nullptr) {
        OperatorWeb::engine()->reload(view);
    }
}
