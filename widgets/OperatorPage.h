#pragma once

#include <QList>
#include <QTimer>
#include <QUrl>
#include <QWebPage>

#include "widgets/OperatorWeb.h"

class QWebView;

// The web page behind each of the operator's views. A page whose main document has not come
// within the request deadline is stopped (a posted form never is), and a page that could not
// be loaded shows a one-line notice instead of staying blank. Owned by its view; GUI thread
// only.
class OperatorPage : public QWebPage {
    Q_OBJECT

public:
    OperatorPage(QWebView* view, const OperatorSite& operatorSite);
    ~OperatorPage() override;

    void setDeadline(int milliseconds) { deadlineMs = milliseconds; }
    int deadline() const { return deadlineMs; }
    // The notice a page that did not load shows, as HTML.
    QString failureNotice() const;

    // Besides the operator's own address, the origins whose pages the main frame may show
    // (the payment processors, for the payment view).
    void allowOrigins(const QList<QUrl>& origins) { allowed = origins; }

    bool supportsExtension(Extension extension) const override;
    bool extension(Extension extension, const ExtensionOption* option,
                   ExtensionReturn* output) override;

protected:
    // The page stays the operator's: the main frame shows the operator's own address (and
    // the allowed origins); any other link, and any window a page asks for, opens in the
    // system browser; only web addresses load anywhere.
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 NavigationType type) override;
    QWebPage* createWindow(WebWindowType type) override;

private:
    void onDeadline();

    OperatorSite site;
    QTimer timer;
    int deadlineMs;
    QList<QUrl> allowed;
    bool posted = false; // the load under way posts a form
};
