#pragma once

class QString;
class QWebView;
class QWidget;

// What the three operator pages share: their embedded browser filling the page area,
// and the operator's web address.

// A new web view filling `page` (1024 x 611 at its top left), shown, still without its web
// page: see operatorView().
QWebView* createPageWebView(QWidget* page);
// `view` with its web page, which is made here on first use: WebKit starts, and takes its
// memory, only once an operator page is opened. Its loads end within the request deadline
// and a failed one shows a notice.
QWebView* operatorView(QWebView* view);
// The operator's web address followed by `path`, as text.
QString operatorAddress(const char* path);
// Loads the operator's page at `path` into `view`, unless text is selected on it.
void loadOperatorPage(QWebView* view, const char* path);
