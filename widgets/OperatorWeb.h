#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QUrl>
#include <QtPlugin>

class QByteArray;
class QNetworkRequest;
class QWebView;
class QWidget;

// What an operator page needs of the launcher: its web address and the one line shown when a
// page could not be loaded, both asked for when needed.
struct OperatorSite {
    std::function<QUrl()> address;
    std::function<QString()> failureText;
};

// The web engine behind the three operator pages. WebKit and the libraries it brings take
// a third of the launcher's start-up to load, for pages most players never open, so the
// engine lives in a module of its own ("webpages" beside the program) that is loaded the
// first time a page is used. Everything that touches WebKit goes through here; GUI thread
// only.
class OperatorWeb {
public:
    virtual ~OperatorWeb() = default;

    // A new web view filling `page` (1024 x 611 at its top left), shown, with its page:
    // loads end within the request deadline, a failed one shows `site`'s notice, and the
    // main frame stays on the operator's site.
    virtual QWebView* createView(QWidget* page, const OperatorSite& site) = 0;
    virtual bool hasSelection(QWebView* view) const = 0;
    virtual void load(QWebView* view, const QUrl& url) = 0;
    virtual void reload(QWebView* view) = 0;
    // Posts `body` with `request` and returns once its reply has finished or the deadline
    // has passed; the main frame may also show pages of `origins`.
    virtual void post(QWebView* view, const QNetworkRequest& request, const QByteArray& body,
                      const QList<QUrl>& origins) = 0;

    // The engine: one built into the program if there is one, otherwise the module in the
    // program's folder, loaded on the first call. Null, said once in the log, when it
    // cannot be loaded.
    static OperatorWeb* engine();
    // The module in `folder`, or null with the reason in `error`.
    static OperatorWeb* loadModule(const QString& folder, QString* error);
};

#define OperatorWeb_iid "com.zorvan.BoardGameLauncher.OperatorWeb/1"
Q_DECLARE_INTERFACE(OperatorWeb, OperatorWeb_iid)
