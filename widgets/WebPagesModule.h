#pragma once

#include <QObject>

#include "widgets/OperatorWeb.h"

// The web engine of the operator pages, as a Qt plugin: built as the "webpages" module
// the program loads on first use, and into the tests directly. Made once by the plugin
// loader; GUI thread only.
class WebPagesModule : public QObject, public OperatorWeb {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID OperatorWeb_iid)
    Q_INTERFACES(OperatorWeb)

public:
    QWebView* createView(QWidget* page, const OperatorSite& site) override;
    bool hasSelection(QWebView* view) const override;
    void load(QWebView* view, const QUrl& url) override;
    void reload(QWebView* view) override;
    void post(QWebView* view, const QNetworkRequest& request, const QByteArray& body,
              const QList<QUrl>& origins) override;
};
