#include <QtTest>

#include "DataRows.h"
#include "HttpTestServer.h"
#include "LogCapture.h"
#include "utility/RequestJson.h"

using testsupport::HttpTestServer;
using Pairs = QList<QPair<QString, QString>>;

namespace {

HttpTestServer::Response reply(int status, const QByteArray& body) {
    HttpTestServer::Response response;
    response.status = status;
    response.body = body;
    return response;
}

} // namespace

// The form POST and its JSON reply against a real HTTP server on loopback.
class TestRequestJson : public QObject {
    Q_OBJECT

private slots:
    void init();
    void formBody_data();
    void formBody();
    void requestOnTheWire();
    void replies_data();
    void replies();
    void errorKeepsPreviousDocument_data();
    void errorKeepsPreviousDocument();
    void silentServerTimesOut();
    void tricklingServerMeetsTheDeadline_data();
    void tricklingServerMeetsTheDeadline();
    void waitEndedEarlyIsAFailure();
    void replyDumpIsQuietByDefault_data();
    void replyDumpIsQuietByDefault();

private:
    QUrl url(const QString& path) const {
        return QUrl(QString("http://127.0.0.1:%1%2").arg(server->port()).arg(path));
    }
    std::unique_ptr<HttpTestServer> server;
};

void TestRequestJson::init() {
    server = std::make_unique<HttpTestServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost));
}

void TestRequestJson::formBody_data() {
    testsupport::addRows<Pairs, QByteArray>(
        "pairs", "body",
        {{"Base64 kept", Pairs{{"c", "dXNlcmlkPWRlbW8+Lz8/Pw=="}},
          QByteArray("c=dXNlcmlkPWRlbW8+Lz8/Pw==")},
         {"order kept", Pairs{{"userid", "demo"}, {"pass", "YWJj"}, {"is_mobile", "y"}},
          QByteArray("userid=demo&pass=YWJj&is_mobile=y")},
         {"ampersand escaped", Pairs{{"userid", "a&b"}, {"is_mobile", "n"}},
          QByteArray("userid=a%26b&is_mobile=n")},
         {"lone percent escaped", Pairs{{"userid", "100%"}}, QByteArray("userid=100%25")},
         {"non-ASCII as UTF-8", Pairs{{"userid", "김철수"}}, QString("userid=김철수").toUtf8()}});
}

void TestRequestJson::formBody() {
    QFETCH(Pairs, pairs);
    QFETCH(QByteArray, body);
    QUrlQuery form;
    for (const auto& pair : pairs) {
        form.addQueryItem(pair.first, pair.second);
    }
    QCOMPARE(utility::RequestJson::formBody(form), body);
}

void TestRequestJson::requestOnTheWire() {
    const QByteArray base64 = QByteArray("userid=a&b=c&pass=x").toBase64() + "+/";
    server->setHandler([](const HttpTestServer::Request&) {
        return reply(200, QByteArray("{\"status\":\"OK\"}").toBase64());
    });
    utility::RequestJson request;
    QUrlQuery form;
    form.addQueryItem("c", QString::fromLatin1(base64));
    QVERIFY(request.postEncoded(url("/webclient/qzclient"), form));
    QCOMPARE(server->requests().size(), 1);
    const HttpTestServer::Request& seen = server->requests().first();
    QCOMPARE(seen.method, QByteArray("POST"));
    QCOMPARE(seen.target, QByteArray("/webclient/qzclient"));
    QCOMPARE(seen.headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded; charset=utf-8"));
    QCOMPARE(seen.body, "c=" + base64);
    // Sent without Qt's network bearer plugins, which would poll the interfaces.
    QFile maps("/proc/self/maps");
    QVERIFY(maps.open(QIODevice::ReadOnly) && !maps.readAll().contains("/bearer/"));
}

void TestRequestJson::replies_data() {
    QTest::addColumn<bool>("encoded");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("json"); // compact form of the document, empty for null
    const QByteArray object = QString("{\"status\":\"OK\",\"nick\":\"철수\"}").toUtf8();
    const QByteArray compact = QJsonDocument::fromJson(object).toJson(QJsonDocument::Compact);
    QTest::newRow("Base64 JSON, encoded") << true << 200 << object.toBase64() << true << compact;
    QTest::newRow("Base64 JSON, plain")
        << false << 200 << object.toBase64() << true << QByteArray();
    QTest::newRow("plain JSON, plain") << false << 200 << object << true << compact;
    QTest::newRow("Base64 with line breaks")
        << true << 200 << object.toBase64().insert(8, "\r\n") << true << compact;
    QTest::newRow("empty body, encoded") << true << 200 << QByteArray() << true << QByteArray();
    QTest::newRow("empty body, plain") << false << 200 << QByteArray() << true << QByteArray();
    QTest::newRow("not JSON") << false << 200 << QByteArray("<html>") << true << QByteArray();
    QTest::newRow("redirect not followed") << false << 302 << object << true << compact;
    QTest::newRow("404") << true << 404 << object.toBase64() << false << QByteArray();
    QTest::newRow("500") << false << 500 << object << false << QByteArray();
}

void TestRequestJson::replies() {
    QFETCH(bool, encoded);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, result);
    QFETCH(QByteArray, json);
    server->setHandler([&](const HttpTestServer::Request&) { return reply(status, body); });
    utility::RequestJson request;
    QVERIFY(request.document() == nullptr);
    const bool ok = encoded ? request.postEncoded(url("/x"), QUrlQuery("a=b"))
                            : request.post(url("/x"), QUrlQuery("a=b"));
    QCOMPARE(ok, result);
    QCOMPARE(server->requests().size(), 1); // the redirect was not followed
    if (!result) {
        QVERIFY(request.document() == nullptr);
        return;
    }
    QVERIFY(request.document() != nullptr);
    if (json.isEmpty()) {
        QVERIFY(request.document()->isNull());
    } else {
        QCOMPARE(request.document()->toJson(QJsonDocument::Compact), json);
    }
}

void TestRequestJson::errorKeepsPreviousDocument_data() {
    testsupport::addRows<int>(
        "status",
        {{"404", 404}, {"500", 500}, {"connection refused", 0}, {"a reply of 100 MB", 1}});
}

void TestRequestJson::errorKeepsPreviousDocument() {
    QFETCH(int, status);
    int calls = 0;
    server->setHandler([&](const HttpTestServer::Request&) {
        return ++calls == 1  ? reply(200, "{\"coin\":\"5\"}")
               : status == 1 ? reply(200, QByteArray(100 << 20, ' '))
                             : reply(status, "{}");
    });
    utility::RequestJson request;
    QVERIFY(request.post(url("/x"), QUrlQuery()));
    QJsonDocument* first = request.document();
    if (status == 0) {
        const quint16 port = server->port();
        server.reset();
        QVERIFY(!request.post(QUrl(QString("http://127.0.0.1:%1/x").arg(port)), QUrlQuery()));
    } else {
        QVERIFY(!request.post(url("/x"), QUrlQuery()));
    }
    QCOMPARE(request.document(), first);
    QCOMPARE(request.document()->object().value("coin").toString(), QString("5"));
}

// A server that never answers no longer keeps the caller waiting forever.
void TestRequestJson::silentServerTimesOut() {
    server->setHandler([](const HttpTestServer::Request&) {
        HttpTestServer::Response response;
        response.silent = true;
        return response;
    });
    utility::RequestJson request;
    request.setTimeout(400);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!request.postEncoded(url("/webclient/qzclient"), QUrlQuery("c=abc")));
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(!request.isBusy());
}

void TestRequestJson::tricklingServerMeetsTheDeadline_data() {
    testsupport::addRows<bool>("encoded", {{"encoded", true}, {"plain", false}});
}

// One byte every 100 ms keeps an idle limit happy for ever; the deadline still ends the
// request, as a failure, and a later document is not touched.
void TestRequestJson::tricklingServerMeetsTheDeadline() {
    QFETCH(bool, encoded);
    server->setHandler([](const HttpTestServer::Request&) {
        HttpTestServer::Response response = reply(200, QByteArray(400, ' ') + "{}");
        response.trickleMs = 100;
        return response;
    });
    utility::RequestJson request;
    request.setTimeout(800);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!(encoded ? request.postEncoded(url("/x"), QUrlQuery("c=abc"))
                      : request.post(url("/x"), QUrlQuery("c=abc"))));
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(request.document() == nullptr);
    QVERIFY(!request.isBusy());
}

// The application quitting ends every event loop, the request's too: that is no answer.
void TestRequestJson::waitEndedEarlyIsAFailure() {
    server->setHandler([](const HttpTestServer::Request&) {
        HttpTestServer::Response response = reply(200, "{\"coin\":\"5\"}");
        response.delayMs = 3000;
        return response;
    });
    utility::RequestJson request;
    QTimer::singleShot(100, qApp, &QCoreApplication::quit);
    const bool ok = request.post(url("/x"), QUrlQuery());
    // Quitting outside exec() would end every later loop at once too; a run of exec()
    // clears that for the tests after this one.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QVERIFY(!ok);
    QVERIFY(request.document() == nullptr);
}

void TestRequestJson::replyDumpIsQuietByDefault_data() {
    testsupport::LogCapture::addDebugRows("launcher.reply", "dumped");
}

// The reply carries the player's nickname and coins; it is written out only when asked for.
void TestRequestJson::replyDumpIsQuietByDefault() {
    QFETCH(QString, rules);
    QFETCH(bool, dumped);
    server->setHandler([](const HttpTestServer::Request&) {
        return reply(200, QByteArray("{\"nick\":\"Lucky Dragon\",\"coin\":\"1,500\"}").toBase64());
    });
    const testsupport::LogCapture log(rules);
    utility::RequestJson request;
    QVERIFY(request.postEncoded(url("/x"), QUrlQuery("c=abc")));
    const QStringList dumps = log.lines().filter("Lucky Dragon");
    QCOMPARE(dumps.isEmpty(), !dumped);
    for (const QString& line : dumps) {
        QVERIFY2(line.startsWith("launcher.reply: "), qPrintable(line));
    }
}

QTEST_MAIN(TestRequestJson)
#include "TestRequestJson.moc"
