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

    // The page's web view, with its web page made on first use.
    QWebView* webView();

private:
    QWebView* view = nullptr;
};
