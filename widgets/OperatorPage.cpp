#include "widgets/OperatorPage.h"

#include <functional>

#include <QDebug>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWebFrame>
#include <QWebSettings>
#include <QWebView>

#include "utility/RequestJson.h"

namespace {
// The page's network access, telling the page of every request it makes.
class PageNetwork : public QNetworkAccessManager {
public:
    using QNetworkAccessManager::QNetworkAccessManager;
    std::function<void(Operation, const QNetworkRequest&)> onRequest;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* data) override {
        if (onRequest) {
            onRequest(operation, request);
        }
        return QNetworkAccessManager::createRequest(operation, request, data);
    }
};
} // namespace

OperatorPage::OperatorPage(QWebView* view, const OperatorSite& operatorSite)
    : QWebPage(view), site(operatorSite), deadlineMs(utility::RequestJson::kDefaultTimeoutMs) {
    // The web engine no longer receives security fixes: nothing runs in it but the pages.
    QWebSettings* web = settings();
    web->setAttribute(QWebSettings::PluginsEnabled, false);
    web->setAttribute(QWebSettings::JavaEnabled, false);
    web->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    web->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    web->setAttribute(QWebSettings::JavascriptCanOpenWindows, false);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &OperatorPage::onDeadline);
    // The deadline covers the main document only: a page on screen is not replaced for a
    // slow picture or script, and a posted form (a payment on its way to a processor) is
    // never stopped, as the charge may go through all the same.
    auto* network = new PageNetwork(this);
    network->onRequest = [this](QNetworkAccessManager::Operation operation,
                                const QNetworkRequest& request) {
        if (request.originatingObject() == mainFrame() &&
            operation == QNetworkAccessManager::PostOperation) {
            posted = true;
            timer.stop();
        }
    };
    connect(network, &QNetworkAccessManager::finished, this, [this](QNetworkReply* reply) {
        if (reply->request().originatingObject() == mainFrame() &&
            reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isNull()) {
            timer.stop();
        }
    });
    setNetworkAccessManager(network);
    connect(this, &QWebPage::loadStarted, this, [this] {
        if (!posted) {
            timer.start(deadlineMs);
        }
        posted = false;
    });
    connect(this, &QWebPage::loadFinished, &timer, &QTimer::stop);
}

OperatorPage::~OperatorPage() {
    // The base class ends the page's loads as it goes, after this class's members are gone:
    // nothing of this class may hear of it.
    QNetworkAccessManager* network = networkAccessManager();
    network->disconnect(this);
    static_cast<PageNetwork*>(network)->onRequest = nullptr;
    disconnect(this, nullptr, this, nullptr);
    timer.stop();
}

QString OperatorPage::failureNotice() const {
    const QString text = site.failureText ? site.failureText() : QString();
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head>"
                          "<body style=\"font-family: sans-serif; margin: 24px\"><p>%1</p>"
                          "</body></html>")
        .arg(text.toHtmlEscaped());
}

namespace {
bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == "https" ? 443 : 80) == b.port(b.scheme() == "https" ? 443 : 80);
}

bool isWebAddress(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// Away from the launcher: in the system browser, web addresses only.
void openOutside(const QUrl& url) {
    qInfo().noquote() << "Opened in the system browser:" << url.toString(QUrl::RemoveUserInfo);
    if (isWebAddress(url)) {
        QDesktopServices::openUrl(url);
    }
}
} // namespace

bool OperatorPage::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                           NavigationType type) {
    const QUrl url = request.url();
    if (!isWebAddress(url) && url.scheme() != QLatin1String("about")) {
        qWarning().noquote() << "A page asked for" << url.toString(QUrl::RemoveUserInfo)
                             << "which is not a web address: refused";
        return false;
    }
    if (frame == nullptr) {
        openOutside(url); // a new window
        return false;
    }
    if (frame != mainFrame() || url.scheme() == QLatin1String("about")) {
        return true; // frames inside the page, or an empty page
    }
    const QUrl operatorUrl = site.address ? site.address() : QUrl();
    if (sameOrigin(url, operatorUrl)) {
        return true;
    }
    for (const QUrl& origin : allowed) {
        if (url.scheme() == QLatin1String("https") && sameOrigin(url, origin)) {
            return true;
        }
    }
    // The launcher's own loads come to a fresh view; anything else leads away from the
    // operator's page.
    const QUrl current = mainFrame()->url();
    if (type == NavigationTypeOther && !sameOrigin(current, operatorUrl)) {
        return true;
    }
    openOutside(url);
    return false;
}

QWebPage* OperatorPage::createWindow(WebWindowType) {
    return nullptr; // links meant for a new window come through acceptNavigationRequest
}

bool OperatorPage::supportsExtension(Extension extension) const {
    return extension == ErrorPageExtension || QWebPage::supportsExtension(extension);
}

// Asked for by the page whenever a load fails for a reason other than being stopped.
bool OperatorPage::extension(Extension extension, const ExtensionOption* option,
                             ExtensionReturn* output) {
    if (extension != ErrorPageExtension || option == nullptr || output == nullptr) {
        return QWebPage::extension(extension, option, output);
    }
    const auto* failed = static_cast<const ErrorPageExtensionOption*>(option);
    auto* page = static_cast<ErrorPageExtensionReturn*>(output);
    page->contentType = QStringLiteral("text/html");
    page->encoding = QStringLiteral("utf-8");
    // Kept as the page's address, so the refresh button tries the real page again.
    page->baseUrl = failed->url;
    page->content = failureNotice().toUtf8();
    return true;
}

// A stopped load is not a failure to the page, so the notice is put in place here.
void OperatorPage::onDeadline() {
    const QUrl requested = mainFrame()->requestedUrl();
    triggerAction(Stop);
    mainFrame()->setHtml(failureNotice(), requested);
}
