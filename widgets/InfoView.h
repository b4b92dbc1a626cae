#pragma once

#include <QWidget>

class QWebView;

// The operator's notice board shown inside the main window; a child of the main window for
// its whole life, GUI thread only.
class InfoView : public QWidget {
    Q_OBJECT

public:
    explicit InfoView(QWidget* parent);

    // Loads the page's fixed address again, unless the player has text selected on it.
    void loadPage();
    void reload();
    // The address loadPage() goes to.
    static QString pageAddress();

    // The embedded browser; its web page is made on first use (operatorView()), so code
    // that touches the page goes through operatorView(webView).
    QWebView* webView = nullptr;
};
