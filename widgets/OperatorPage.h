#pragma once

#include <QTimer>
#include <QWebPage>

class QWebView;

// The web page behind each of the operator's views. A load that has not finished within the
// request deadline is stopped, and a page that could not be loaded shows a one-line notice
// instead of staying blank. Owned by its view; GUI thread only.
class OperatorPage : public QWebPage {
    Q_OBJECT

public:
    explicit OperatorPage(QWebView* view);

    void setDeadline(int milliseconds) { deadlineMs = milliseconds; }
    int deadline() const { return deadlineMs; }
    // The notice a page that did not load shows, as HTML.
    static QString failureNotice();

    bool supportsExtension(Extension extension) const override;
    bool extension(Extension extension, const ExtensionOption* option,
                   ExtensionReturn* output) override;

private:
    void onDeadline();

    QTimer timer;
    int deadlineMs;
};
