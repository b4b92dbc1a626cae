#pragma once

class QString;
class QWebView;
class QWidget;

// What the three operator pages share: their embedded browser filling the page area,
// and the operator's web address.

// A new web view filling `page` (1024 x 611 at its top left), shown; its loads end within
// the request deadline and a failed one shows a notice.
QWebView* createPageWebView(QWidget* page);
// The operator's web address followed by `path`, as text.
QString operatorAddress(const char* path);
// Loads the operator's page at `path` into `view`, unless text is selected on it.
void loadOperatorPage(QWebView* view, const char* path);
