#include "widgets/WebPagesModule.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>
#include <QWebView>

#include "widgets/OperatorPage.h"

QWebView* WebPagesModule::createView(QWidget* page, const OperatorSite& site) {
    auto* view = new QWebView(page);
    view->show();
    view->resize(1024, 611);
    view->move(0, 0);
    // Given its page once it has its size, which the page takes for its viewport: the
    // view's own resize event only comes once the window is on screen.
    view->setPage(new OperatorPage(view, site));
    return view;
}

bool WebPagesModule::hasSelection(QWebView* view) const {
    return view->hasSelection();
}

void WebPagesModule::load(QWebView* view, const QUrl& url) {
    view->load(url);
}

void WebPagesModule::reload(QWebView* view) {
    view->reload();
}

void WebPagesModule::post(QWebView* view, const QNetworkRequest& request, const QByteArray& body,
                          const QList<QUrl>& origins) {
    auto* page = static_cast<OperatorPage*>(view->page());
    page->allowOrigins(origins);
    QEventLoop loop;
    // Wait for the first reply of the page's own manager after the load, for the length
    // of this call only. A load that never reaches the network (a malformed address)
    // must not keep the window waiting, hence the time limit, the one every request has.
    const QMetaObject::Connection connection = connect(
        page->networkAccessManager(), SIGNAL(finished(QNetworkReply*)), &loop, SLOT(quit()));
    QTimer::singleShot(page->deadline(), &loop, SLOT(quit()));
    view->load(request, QNetworkAccessManager::PostOperation, body);
    loop.exec();
    disconnect(connection);
}
