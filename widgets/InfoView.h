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

    // The embedded browser, made with its web page on first use (operatorView()), so code
    // that touches it goes through operatorView(this, webView).
    QWebView* webView = nullptr;
};
