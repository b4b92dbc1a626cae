#pragma once

#include <QUrl>
#include <QUrlQuery>
#include <QWidget>

class QWebView;

// The operator's payment page, loaded into the main window as the answer to a form POST;
// a child of the main window for its whole life, GUI thread only.
class PayView : public QWidget {
    Q_OBJECT

public:
    explicit PayView(QWidget* parent);

    // Posts `form` to `url`, shows the answer and returns once that request has finished
    // (waiting in a nested event loop). Returns at once while text is selected.
    void postPage(const QUrl& url, const QUrlQuery& form);
    void reload();

    // The embedded browser, made with its web page on first use (operatorView()), so code
    // that touches it goes through operatorView(this, webView).
    QWebView* webView = nullptr;
};
