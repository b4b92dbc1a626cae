#include "widgets/OperatorPage.h"

#include <QWebFrame>
#include <QWebView>

#include "utility/RequestJson.h"
#include "utility/XmlMsgParser.h"

namespace {
constexpr int kFailedRequestMessage = 204;
} // namespace

OperatorPage::OperatorPage(QWebView* view)
    : QWebPage(view), deadlineMs(utility::RequestJson::kDefaultTimeoutMs) {
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &OperatorPage::onDeadline);
    connect(this, &QWebPage::loadStarted, this, [this] { timer.start(deadlineMs); });
    connect(this, &QWebPage::loadFinished, &timer, &QTimer::stop);
}

QString OperatorPage::failureNotice() {
    const QString text = utility::XmlMsgParser::getInstance()->message(kFailedRequestMessage);
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head>"
                          "<body style=\"font-family: sans-serif; margin: 24px\"><p>%1</p>"
                          "</body></html>")
        .arg(text.toHtmlEscaped());
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
