#pragma once

class QString;
class QWebView;
class QWidget;

// What the three operator pages share: their embedded browser filling the page area,
// and the operator's web address.

// `view`, made on first use as a child filling `page`, with its web page: the web engine
// is loaded, and takes its memory, only once an operator page is opened. Its loads end
// within the request deadline and a failed one shows a notice. Null when the engine cannot
// be loaded; `page` then says so.
QWebView* operatorView(QWidget* page, QWebView*& view);
// The operator's web address followed by `path`, as text.
QString operatorAddress(const char* path);
// Loads the operator's page at `path` into `page`'s `view`, unless text is selected on it.
void loadOperatorPage(QWidget* page, QWebView*& view, const char* path);
// Reloads the page `page`'s `view` shows (made on first use), whatever is selected.
void reloadOperatorPage(QWidget* page, QWebView*& view);
