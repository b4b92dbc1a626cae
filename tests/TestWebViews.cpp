#include <QDesktopServices>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>
#include <QtTest>

#include "DataRows.h"
#include "HttpTestServer.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"
#include "widgets/InfoView.h"
#include "widgets/NoticeView.h"
#include "widgets/OperatorPage.h"
#include "widgets/OperatorWeb.h"
#include "widgets/PayView.h"
#include "widgets/WebPageSupport.h"

using testsupport::HttpTestServer;

// The three operator pages inside the window, against a real HTTP server on loopback.
class TestWebViews : public QObject {
    Q_OBJECT

public slots:
    void urlOpened(const QUrl& url) { opened << url.toString(); }

private slots:
    void initTestCase();
    void init();
    void fixedAddresses_data();
    void fixedAddresses();
    void selectionKeepsPage_data();
    void selectionKeepsPage();
    void paymentPost_data();
    void paymentPost();
    void paymentWhileSelected();
    void failedPageShowsNotice_data();
    void failedPageShowsNotice();
    void navigation_data();
    void navigation();
    void pageMadeOnFirstUse_data();
    void pageMadeOnFirstUse();
    void module_data();
    void module();

private:
    static void selectAll(QWebView* view) {
        view->setHtml("<p>some text the player marked</p>");
        view->page()->triggerAction(QWebPage::SelectAll);
    }
    std::unique_ptr<HttpTestServer> server;
    QString web;
    QStringList opened; // what went to the system browser
};

void TestWebViews::initTestCase() {
    server = std::make_unique<HttpTestServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost));
    web = QString("http://127.0.0.1:%1").arg(server->port());
    utility::XmlServerParser::getInstance()->parse(
        QString("<servers><web url=\"%1\"/></servers>").arg(web).toUtf8());
    utility::XmlMsgParser::getInstance()->parse(
        "<messages><msg idx=\"204\" text=\"The request failed &lt;now&gt;.\"/></messages>");
}

void TestWebViews::init() {
    server->setHandler([](const HttpTestServer::Request& request) {
        HttpTestServer::Response response;
        response.contentType = "text/html; charset=utf-8";
        response.body = "<html><body>page " + request.target + "</body></html>";
        response.status = request.target.startsWith("/missing") ? 404 : 200;
        response.silent = request.target.startsWith("/silent");
        if (request.target.startsWith("/slowpicture")) {
            response.body.replace("</body>", "<img src=\"/silent/picture.png\"></body>");
        }
        if (request.target.startsWith("/trickle")) {
            response.body += QByteArray(300, ' ');
            response.trickleMs = 100;
        }
        return response;
    });
}

void TestWebViews::fixedAddresses_data() {
    testsupport::addRows<bool, QByteArray>(
        "notice", "target",
        {{"notice view", true, QByteArray("/customer?is_mobile=y")},
         {"info view", false, QByteArray("/community/bList/notice?is_mobile=y")}});
}

void TestWebViews::fixedAddresses() {
    QFETCH(bool, notice);
    QFETCH(QByteArray, target);
    QWidget window;
    NoticeView noticeView(&window);
    InfoView infoView(&window);
    const int before = server->requests().size();
    QCOMPARE(notice ? NoticeView::pageAddress() : InfoView::pageAddress(), web + target);
    notice ? noticeView.loadPage() : infoView.loadPage();
    QTRY_COMPARE(server->requests().size(), before + 1);
    QCOMPARE(server->requests().last().method, QByteArray("GET"));
    QCOMPARE(server->requests().last().target, target);
    QCOMPARE((notice ? operatorView(&noticeView, noticeView.webView)
                     : operatorView(&infoView, infoView.webView))
                 ->size(),
             QSize(1024, 611));
}

void TestWebViews::selectionKeepsPage_data() {
    testsupport::addRows<bool>(
        "selected", {{"nothing selected loads again", false}, {"selection keeps the page", true}});
}

void TestWebViews::selectionKeepsPage() {
    QFETCH(bool, selected);
    NoticeView view(nullptr);
    if (selected) {
        selectAll(operatorView(&view, view.webView));
        QVERIFY(operatorView(&view, view.webView)->hasSelection());
    }
    const int before = server->requests().size();
    view.loadPage();
    if (selected) {
        QTest::qWait(300);
        QCOMPARE(server->requests().size(), before);
        QVERIFY(operatorView(&view, view.webView)->hasSelection());
    } else {
        QTRY_COMPARE(server->requests().size(), before + 1);
    }
}

void TestWebViews::paymentPost_data() {
    testsupport::addRows<QString>(
        "path", {{"page answers", "/charge/cash"}, {"page is an error", "/missing/cash"}});
}

// The form goes out as posted, and postPage returns only once that reply has finished,
// an error reply included.
void TestWebViews::paymentPost() {
    QFETCH(QString, path);
    PayView view(nullptr);
    QUrlQuery form;
    form.addQueryItem("userid", "demo");
    form.addQueryItem("pass", "ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4==");
    form.addQueryItem("is_mobile", "y");
    const int before = server->requests().size();
    view.postPage(QUrl(web + path), form);
    QCOMPARE(server->requests().size(), before + 1);
    const HttpTestServer::Request& seen = server->requests().last();
    QCOMPARE(seen.method, QByteArray("POST"));
    QCOMPARE(seen.target, path.toUtf8());
    QCOMPARE(seen.headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded; charset=utf-8"));
    QCOMPARE(seen.body, QByteArray("userid=demo&pass=ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4ZmU4Zm"
                                   "U4ZmU4==&is_mobile=y"));
}

void TestWebViews::paymentWhileSelected() {
    PayView view(nullptr);
    selectAll(operatorView(&view, view.webView));
    const int before = server->requests().size();
    QElapsedTimer timer;
    timer.start();
    view.postPage(QUrl(web + "/charge/cash"), QUrlQuery("userid=demo"));
    QVERIFY(timer.elapsed() < 1000);
    QTest::qWait(200);
    QCOMPARE(server->requests().size(), before);
}

void TestWebViews::failedPageShowsNotice_data() {
    QTest::addColumn<bool>("post");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("notice");
    QTest::newRow("refused, GET") << false << "http://127.0.0.1:1/customer" << true;
    QTest::newRow("silent, GET") << false << "/silent/customer" << true;
    QTest::newRow("trickling, GET") << false << "/trickle/customer" << true;
    QTest::newRow("refused, POST") << true << "http://127.0.0.1:1/charge/cash" << true;
    // A posted form is never stopped: the charge may go through all the same.
    QTest::newRow("silent, POST: left going") << true << "/silent/charge/cash" << false;
    QTest::newRow("trickling, POST: left going") << true << "/trickle/charge/cash" << false;
    QTest::newRow("404 page is shown as served") << false << "/missing/page" << false;
    QTest::newRow("page shown, its picture never comes") << false << "/slowpicture" << false;
}

// However the server fails, the view ends the load within its deadline and says so in one
// line, as text; a page the server did send, error status or not, is shown as it is.
void TestWebViews::failedPageShowsNotice() {
    QFETCH(bool, post);
    QFETCH(QString, address);
    QFETCH(bool, notice);
    PayView view(nullptr);
    auto* page = qobject_cast<OperatorPage*>(operatorView(&view, view.webView)->page());
    QVERIFY(page != nullptr);
    page->setDeadline(1000);
    const QUrl url(address.startsWith('/') ? web + address : address);
    QElapsedTimer timer;
    timer.start();
    if (post) {
        view.postPage(url, QUrlQuery("userid=demo"));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    } else {
        operatorView(&view, view.webView)->load(url);
    }
    const QString shown = "The request failed <now>.";
    QWebFrame* frame = operatorView(&view, view.webView)->page()->mainFrame();
    if (notice) {
        QTRY_COMPARE_WITH_TIMEOUT(frame->toPlainText().trimmed(), shown, 10000);
        QVERIFY(timer.elapsed() < 10000);
        return;
    }
    // Past the deadline (a timer started after the page's own fires after it), nothing
    // was replaced by the notice.
    QTRY_VERIFY(post || frame->toPlainText().contains("page " + address));
    QTimer past;
    past.setSingleShot(true);
    past.start(page->deadline() + 1);
    QSignalSpy passed(&past, &QTimer::timeout);
    QVERIFY(passed.wait(10000));
    QCoreApplication::processEvents();
    QVERIFY(frame->toPlainText().trimmed() != shown);
}

void TestWebViews::navigation_data() {
    // What the page does, and what reaches the system browser ("WEB" the operator's address).
    testsupport::addRows<QString, QStringList>(
        "script", "outside",
        {
            {"link on the operator's site", "", {}},
            {"link to another site",
             "go('http://127.0.0.1:1/elsewhere')",
             {"http://127.0.0.1:1/elsewhere"}},
            {"script leads away",
             "location.href = 'http://127.0.0.1:1/x'",
             {"http://127.0.0.1:1/x"}},
            {"link to a new window, clicked", "click:/next", {"WEB/next"}},
        });
}

// A page (or anyone on its plain-HTTP path) cannot take the view elsewhere: other sites open
// in the system browser. Each row ends with a link on the operator's
// own site, which the view follows.
void TestWebViews::navigation() {
    QFETCH(QString, script);
    QFETCH(QStringList, outside);
    opened.clear();
    QDesktopServices::setUrlHandler("http", this, "urlOpened");
    NoticeView view(nullptr);
    operatorView(&view, view.webView)->load(QUrl(web + "/start"));
    QWebFrame* frame = view.webView->page()->mainFrame();
    QTRY_VERIFY(frame->toPlainText().contains("page /start"));
    frame->evaluateJavaScript("function go(h) { var a = document.createElement('a'); a.href = h;"
                              " document.body.appendChild(a); a.click(); }");
    if (script.startsWith("click:")) {
        // The player's own click on a link meant for a new window.
        frame->evaluateJavaScript("document.body.innerHTML = '<a href=\"" + script.mid(6) +
                                  "\" target=\"_blank\" style=\"position: absolute; left: 0;"
                                  " top: 0; width: 200px; height: 100px; display: block\">x</a>'");
        QTest::mouseClick(view.webView, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_COMPARE(opened.size(), 1);
    } else {
        frame->evaluateJavaScript(script);
    }
    // Last, a link on the operator's site, after whatever the script set going.
    frame->evaluateJavaScript("setTimeout(function () { go('/next'); }, 0)");
    QTRY_VERIFY(frame->toPlainText().contains("page /next"));
    QDesktopServices::unsetUrlHandler("http");
    QCOMPARE(opened, outside.replaceInStrings("WEB", web));
}

void TestWebViews::pageMadeOnFirstUse_data() {
    testsupport::addRows<int>("which", {{"notice view, loaded", 0},
                                        {"info view, loaded", 1},
                                        {"payment view, posted", 2},
                                        {"notice view, reloaded", 3}});
}

// A window that never opens an operator page does not start WebKit; the first use makes
// the view's one page, the one with the deadline and the failure notice.
void TestWebViews::pageMadeOnFirstUse() {
    QFETCH(int, which);
    QWidget window;
    NoticeView noticeView(&window);
    InfoView infoView(&window);
    PayView payView(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.findChildren<QWebPage*>().size(), 0);
    switch (which) {
    case 0:
        noticeView.loadPage();
        break;
    case 1:
        infoView.loadPage();
        break;
    case 2:
        payView.postPage(QUrl(web + "/charge/cash"), QUrlQuery("userid=demo"));
        break;
    default:
        noticeView.reload();
        break;
    }
    const QList<QWebPage*> pages = window.findChildren<QWebPage*>();
    QCOMPARE(pages.size(), 1);
    QVERIFY(qobject_cast<OperatorPage*>(pages.first()) != nullptr);
    QWidget* owner = which == 1   ? static_cast<QWidget*>(&infoView)
                     : which == 2 ? static_cast<QWidget*>(&payView)
                                  : static_cast<QWidget*>(&noticeView);
    QCOMPARE(pages.first()->view()->parentWidget(), owner);
    // Asked for again, the view keeps that page.
    QWebView* view = which == 1   ? operatorView(&infoView, infoView.webView)
                     : which == 2 ? operatorView(&payView, payView.webView)
                                  : operatorView(&noticeView, noticeView.webView);
    QCOMPARE(view->page(), pages.first());
}

void TestWebViews::module_data() {
    testsupport::addRows<QString>("content", {{"the program's own", "module"},
                                              {"none there", ""},
                                              {"damaged", "garbage"},
                                              {"another plugin", "plugin"}});
}

// The program loads the engine from its own folder only, and only a module that is the
// engine: a missing, damaged or foreign file leaves the pages unshown, with the reason.
void TestWebViews::module() {
    QFETCH(QString, content);
    const QStringList built = QDir(LAUNCHER_WORKDIR).entryList({"webpages.*"}, QDir::Files);
    QCOMPARE(built.size(), 1);
    QTemporaryDir folder;
    const QString file = folder.filePath(built.first());
    if (content == "module") {
        QVERIFY(QFile::copy(QDir(LAUNCHER_WORKDIR).filePath(built.first()), file));
    } else if (content == "plugin") {
        const QString qt = QLibraryInfo::location(QLibraryInfo::PluginsPath);
        const QFileInfoList ico = QDir(qt + "/imageformats").entryInfoList({"*qico*"});
        QVERIFY(!ico.isEmpty() && QFile::copy(ico.first().filePath(), file));
    } else if (!content.isEmpty()) {
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("\x7f"
                                                                    "ELF\x02\x01") > 0);
    }
    QString error;
    OperatorWeb* web = OperatorWeb::loadModule(folder.path(), &error);
    QCOMPARE(web != nullptr, content == "module");
    QCOMPARE(error.isEmpty(), content == "module");
    if (web != nullptr) {
        QWidget page;
        OperatorSite site;
        site.failureText = [] { return QStringLiteral("No page <today>"); };
        QWebView* view = web->createView(&page, site);
        QCOMPARE(view->parentWidget(), &page);
        QCOMPARE(view->page()->metaObject()->className(), "OperatorPage");
        view->setUrl(QUrl("http://127.0.0.1:1/refused"));
        QTRY_COMPARE(view->page()->mainFrame()->toPlainText().trimmed(), "No page <today>");
    }
}

QTEST_MAIN(TestWebViews)
#include "TestWebViews.moc"
