#pragma once

#include <QWidget>

class QWebView;

// The operator's customer-centre page shown inside the main window; a child of the main window for
// its whole life, GUI thread only.
class NoticeView : public QWidget {
    Q_OBJECT

public:
    explicit NoticeView(QWidget* parent);

    // Loads the page's fixed address again, unless the player has text selected on it.
    void loadPage();
    void reload();
    // The address loadPage() goes to.
    static QString pageAddress();

    // The page's web view, with its web page made on first use.
    QWebView* webView();

private:
    QWebView* view = nullptr;
};
