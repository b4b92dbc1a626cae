#include <functional>
#include <memory>

#include <QtTest>

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebView>

#include "DataRows.h"
#include "HttpTestServer.h"
#include "RunTreeFixture.h"
#include "TestSupport.h"
#include "app/Launcher.h"
#include "app/MessageDialog.h"
#include "update/GameView.h"
#include "utility/RequestJson.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"
#include "widgets/BottomMenu.h"
#include "widgets/LoginView.h"
#include "widgets/PayView.h"
#include "widgets/TopMenuLayout.h"
#include "widgets/WebPageSupport.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"
#include "widgets/ZVButtonToggle.h"

using testsupport::HttpTestServer;

namespace {

// A loopback address of our own, so that the login port and the web pages' port 80 are
// free whatever else runs on 127.0.0.1.
const QByteArray kHost = testsupport::privateLoopback(21);
const QByteArray kWeb = "http://" + kHost;
const quint16 kLoginPort = 2356;
const quint16 kPagePort = 80;

const QString kRefused = QStringLiteral("Login refused (100)");
const QString kUnreachable = QStringLiteral("Server unreachable (204)");
const QString kUsers = QStringLiteral(" 명");

const char* const kGameButtons[4] = {"pokerButton", "matgoButton", "hongsipButton", "majongButton"};

// The digest as the system's md5sum prints it: an independent reference for Qt's.
QByteArray md5sum(const QByteArray& data) {
    QByteArray out;
    if (testsupport::runProgram("md5sum", {}, &out, nullptr, data) != 0) {
        return QByteArray();
    }
    return out.left(32);
}

bool isLowerHex32(const QByteArray& text) {
    return QRegularExpression("^[0-9a-f]{32}$").match(QString::fromLatin1(text)).hasMatch();
}

// The plain login body the service expects, built from md5sum's digests.
QByteArray expectedLoginBody(const QString& id, const QString& password) {
    const QByteArray digest = md5sum(password.toUtf8());
    const QByteArray code = md5sum(id.toUtf8() + "K4T7W2N9Q1X5M8P3" + digest);
    return "userid=" + id.toUtf8() + "&pass=" + digest + "&is_mobile=n&code=" + code;
}

HttpTestServer::Response answer(int status, const QByteArray& body) {
    HttpTestServer::Response response;
    response.status = status;
    response.body = body;
    return response;
}

// A login reply as the service sends it: JSON wrapped in Base64.
HttpTestServer::Response loginAnswer(const QByteArray& json) {
    return answer(200, json.toBase64());
}

const QByteArray kFullReply = R"({"status":"OK",
    "versionInfo":{"pokerVer":"1.2.3","hongsipVer":"2.0","majakVer":"0.9.1","matgoVer":"3.1",
                   "launcherVer":"1.0"},
    "connUserInfo":{"pokerConnCnt":"11","hongsipConnCnt":"22","matgoConnCnt":"33",
                    "majakConnCnt":"44"},
    "userInfo":{"nick":"놀이꾼","coin":"1,500"},
    "notices":[{"subject":"A","contents":"x"},{"subject":"B","contents":"y"}]})";

// The form pairs of a body, split at the first "=" of each pair.
QList<QPair<QByteArray, QByteArray>> formPairs(const QByteArray& body) {
    QList<QPair<QByteArray, QByteArray>> pairs;
    for (const QByteArray& pair : body.split('&')) {
        const int delimiter = pair.indexOf('=');
        pairs.append({pair.left(delimiter), pair.mid(delimiter + 1)});
    }
    return pairs;
}

// Where a password shows in a request, plainly, percent-encoded or Base64-wrapped; empty
// when it shows nowhere.
QString passwordLeak(const QList<HttpTestServer::Request>& requests, const QString& password) {
    const QByteArray secret = password.toUtf8();
    for (const HttpTestServer::Request& request : requests) {
        QList<QByteArray> places{request.target, request.body,
                                 QByteArray::fromPercentEncoding(request.body),
                                 QByteArray::fromPercentEncoding(request.target)};
        for (const auto& pair : formPairs(request.body)) {
            places.append(QByteArray::fromBase64(QByteArray::fromPercentEncoding(pair.second)));
        }
        for (const QByteArray& place : places) {
            if (place.contains(secret)) {
                return QString("password found in %1 %2")
                    .arg(QString::fromLatin1(request.method), QString::fromUtf8(request.target));
            }
        }
    }
    return QString();
}

// The ways the login server fails, in the column "failure" that failLogin() takes.
void addLoginFailureRows() {
    testsupport::addRows<QString>("failure", {{"server down", "down"},
                                              {"HTTP 404", "404"},
                                              {"HTTP 500", "500"},
                                              {"no answer", "silent"}});
}

} // namespace

// Opens the system browser's stand-in: records the address instead of launching anything.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// The main window's conversation with the operator's web service: the login bytes on the
// wire, what a reply changes, failures, the refresh, the payment page, free coins, the
// registration page and the remember box. Real HTTP servers on a loopback address of the
// test's own; message boxes are answered by the test.
class TestLoginExchange : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void loginRequestBytes_data();
    void loginRequestBytes();
    void successfulLogin_data();
    void successfulLogin();
    void refusedLogin_data();
    void refusedLogin();
    void transportFailureWhileLoggedOut_data();
    void transportFailureWhileLoggedOut();
    void savedAfterLogin_data();
    void savedAfterLogin();
    void failingRefreshKeepsData_data();
    void failingRefreshKeepsData();
    void refreshButtonSendsCurrentTexts();
    void slowServerOneRefreshInFlight();
    void refusingServerDoesNotStackBoxes();
    void freeCoinWaitHoldsRefresh();
    void pressesDuringARequestAreQueued_data();
    void pressesDuringARequestAreQueued();
    void tabPressedDuringPaymentWait_data();
    void tabPressedDuringPaymentWait();
    void paymentPage_data();
    void paymentPage();
    void freeCoins_data();
    void freeCoins();
    void registrationOpensBrowser();
    void rememberToggle();
    void rememberSavesTheAcceptedPair_data();
    void rememberSavesTheAcceptedPair();

private:
    bool startLoginServer();
    bool startPageServer();
    void typeLogin(const QString& id, const QString& password);
    void clickLogin();
    bool logInAsAlice();
    void failLogin(const QString& failure, const QByteArray& body);
    QString countText(int game) const;
    QString bottomText(const char* name) const;
    QString appDat() const { return (tmp->root() + "/Launcher/resource/app.dat"); }
    QByteArray savedText() const;
    QList<HttpTestServer::Request> pageRequests(const QByteArray& path) const;

    std::unique_ptr<testsupport::RunTreeFixture> tmp;
    std::unique_ptr<HttpTestServer> loginServer;
    std::unique_ptr<HttpTestServer> pageServer;
    HttpTestServer::Response loginResponse;
    HttpTestServer::Response coinResponse;
    int paymentDelayMs = 0;
    std::unique_ptr<Launcher> launcher;

    // The message boxes the window opened, and how deeply they were nested.
    QStringList boxes;
    int boxWaitMs = 0;
    int boxDepth = 0;
    int maxBoxDepth = 0;
};

void TestLoginExchange::initTestCase() {
    auto* messages = utility::XmlMsgParser::getInstance();
    QVERIFY(messages->load("script/msg.xml"));
    messages->parse(QString("<c><msg idx=\"100\" text=\"%1\"/><msg idx=\"204\" text=\"%2\"/>"
                            "<msg idx=\"12\" text=\"%3\"/></c>")
                        .arg(kRefused, kUnreachable, kUsers)
                        .toUtf8());
    QCOMPARE(messages->message(12), kUsers);
    utility::XmlServerParser::getInstance()->parse(QByteArray("<s><web url=\"") + kWeb +
                                                   "\"/></s>");
    QCOMPARE(QString::fromStdString(utility::XmlServerParser::getInstance()->webUrl()),
             QString(kWeb));
    QVERIFY(isLowerHex32(md5sum("probe")));
}

void TestLoginExchange::init() {
    // Whatever a login writes lands in this tree's resource folder, never in the run tree.
    tmp = std::make_unique<testsupport::RunTreeFixture>();
    QVERIFY(tmp->isValid());
    utility::SaveData::getInstance()->setIsSave(false);

    boxes.clear();
    boxWaitMs = 0;
    boxDepth = 0;
    maxBoxDepth = 0;
    MessageDialog::setHandler([this](const QString& text) {
        boxes.append(text);
        maxBoxDepth = qMax(maxBoxDepth, ++boxDepth);
        if (boxWaitMs > 0) {
            QTest::qWait(boxWaitMs); // a player who leaves the box open a while
        }
        --boxDepth;
    });

    loginResponse = loginAnswer(kFullReply);
    paymentDelayMs = 0;
    coinResponse = answer(200, R"({"status":"OK","msg":"100 coins added"})");
    QVERIFY(startLoginServer());
    QVERIFY(startPageServer());

    launcher = std::make_unique<Launcher>();
    launcher->show();
    QVERIFY(QTest::qWaitForWindowExposed(launcher.get()));
}

void TestLoginExchange::cleanup() {
    launcher.reset();
    loginServer.reset();
    pageServer.reset();
    // Never a real box, even after the test: nobody would close it.
    MessageDialog::setHandler([](const QString&) {});
    tmp.reset();
}

bool TestLoginExchange::startLoginServer() {
    loginServer = std::make_unique<HttpTestServer>();
    loginServer->setHandler([this](const HttpTestServer::Request&) { return loginResponse; });
    return loginServer->listen(QHostAddress(QString::fromLatin1(kHost)), kLoginPort);
}

bool TestLoginExchange::startPageServer() {
    pageServer = std::make_unique<HttpTestServer>();
    pageServer->setHandler([this](const HttpTestServer::Request& request) {
        if (request.target.startsWith("/charge/freeCoin")) {
            return coinResponse;
        }
        HttpTestServer::Response page =
            answer(200, "<html><body>page " + request.target + "</body></html>");
        page.contentType = "text/html; charset=utf-8";
        if (request.target.startsWith("/charge/cash")) {
            page.delayMs = paymentDelayMs;
        }
        return page;
    });
    return pageServer->listen(QHostAddress(QString::fromLatin1(kHost)), kPagePort);
}

void TestLoginExchange::typeLogin(const QString& id, const QString& password) {
    launcher->loginView->findChild<QComboBox*>("idBox")->setEditText(id);
    launcher->loginView->findChild<QLineEdit*>("passwordEdit")->setText(password);
}

void TestLoginExchange::clickLogin() {
    QTest::mouseClick(launcher->loginView->findChild<ZVButton*>("loginButton"), Qt::LeftButton);
}

// The usual start of a test: alice logs in with the right password; true once she is in.
bool TestLoginExchange::logInAsAlice() {
    typeLogin("alice", "secret-Pw1");
    clickLogin();
    return launcher->loggedIn;
}

// Makes the login server fail: "down" (gone), "silent" (never answers; the request gives up
// after half a second) or an HTTP status whose reply carries `body`.
void TestLoginExchange::failLogin(const QString& failure, const QByteArray& body) {
    if (failure == "down") {
        loginServer.reset();
    } else if (failure == "silent") {
        loginResponse.silent = true;
        launcher->request->setTimeout(500);
    } else {
        loginResponse = answer(failure.toInt(), body);
    }
}

QString TestLoginExchange::countText(int game) const {
    auto* button = launcher->gameView->findChild<ZVButton*>(kGameButtons[game]);
    return button->findChild<QLabel*>("countLabel")->text();
}

QString TestLoginExchange::bottomText(const char* name) const {
    return launcher->bottomMenu->findChild<QLabel*>(name)->text();
}

QByteArray TestLoginExchange::savedText() const {
    QByteArray shown;
    if (testsupport::runProgram(testsupport::restoolPath(), {"save-show", appDat()}, &shown) != 0) {
        return QByteArray();
    }
    return shown;
}

QList<HttpTestServer::Request> TestLoginExchange::pageRequests(const QByteArray& path) const {
    QList<HttpTestServer::Request> found;
    for (const HttpTestServer::Request& request : pageServer->requests()) {
        if (request.target.startsWith(path)) {
            found.append(request);
        }
    }
    return found;
}

void TestLoginExchange::loginRequestBytes_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("base64Specials"); // the wrapped body holds "+", "/" and "="
    QTest::newRow("plain") << "alice"
                           << "secret-Pw1" << false;
    QTest::newRow("id with & and =") << "a&b=c&pass=x"
                                     << "secret-Pw2" << false;
    QTest::newRow("non-ASCII password") << "bob" << QStringLiteral("pässwörd-ß비밀") << false;
    QTest::newRow("non-ASCII id") << QStringLiteral("홍길동") << "hunter2-Go" << false;
    QTest::newRow("Base64 with + / =") << "a?bc>"
                                       << "hunter2-Go" << true;
    QTest::newRow("empty password") << "carol" << QString() << false;
}

void TestLoginExchange::loginRequestBytes() {
    QFETCH(QString, id);
    QFETCH(QString, password);
    QFETCH(bool, base64Specials);
    const QByteArray plain = expectedLoginBody(id, password);
    QVERIFY(isLowerHex32(md5sum(password.toUtf8())));
    const QByteArray wrapped = plain.toBase64();
    if (base64Specials) {
        QVERIFY(wrapped.contains('+') && wrapped.contains('/') && wrapped.endsWith('='));
    }
    QCOMPARE(Launcher::loginBody(id, password), plain);

    typeLogin(id, password);
    clickLogin();
    QVERIFY(launcher->loggedIn);
    QCOMPARE(launcher->loginId, id);
    QCOMPARE(launcher->loginPassword, password);

    QVERIFY(!loginServer->requests().isEmpty());
    const HttpTestServer::Request& seen = loginServer->requests().first();
    QCOMPARE(seen.method, QByteArray("POST"));
    QCOMPARE(seen.target, QByteArray("/webclient/qzclient"));
    QCOMPARE(seen.headers.value("host"), kHost + ":2356");
    QCOMPARE(seen.headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded; charset=utf-8"));
    QCOMPARE(seen.body, "c=" + wrapped);

    // Read back the way the service reads it: the digests it can check on its side.
    const QByteArray decoded = QByteArray::fromBase64(seen.body.mid(2));
    QCOMPARE(decoded, plain);
    const QList<QByteArray> parts = decoded.split('&');
    const QByteArray code = parts.last().mid(5);
    const QByteArray digest = parts.at(parts.size() - 3).mid(5);
    QVERIFY(parts.last().startsWith("code="));
    QCOMPARE(digest, md5sum(password.toUtf8()));
    QCOMPARE(code, md5sum(id.toUtf8() + "K4T7W2N9Q1X5M8P3" + digest));
    QVERIFY(decoded.startsWith("userid=" + id.toUtf8() + "&pass="));

    if (!password.isEmpty()) {
        const QString leak = passwordLeak(loginServer->requests(), password);
        QVERIFY2(leak.isEmpty(), qPrintable(leak));
    }
}

void TestLoginExchange::successfulLogin_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("counts"); // Poker, Matgo, Hongsip, Majong
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("coin");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QStringList>("versions"); // poker, hongsip, majak, matgo

    QTest::newRow("full reply") << kFullReply << QStringList{"11", "33", "22", "44"}
                                << QStringLiteral("놀이꾼") << "1,500"
                                << "A:x, B:y" << QStringList{"1.2.3", "2.0", "0.9.1", "3.1"};
    QTest::newRow("one notice") << QByteArray(R"({"status":"OK","userInfo":{"nick":"n","coin":"7"},
                          "notices":[{"subject":"Sale","contents":"half price"}]})")
                                << QStringList{"", "", "", ""} << "n"
                                << "7"
                                << "Sale:half price" << QStringList{"", "", "", ""};
    QTest::newRow("no notices")
        << QByteArray(R"({"status":"OK","connUserInfo":{"pokerConnCnt":"0","matgoConnCnt":"5",
                          "hongsipConnCnt":"6","majakConnCnt":"7"},"notices":[]})")
        << QStringList{"0", "5", "6", "7"} << ""
        << ""
        << "" << QStringList{"", "", "", ""};
    QTest::newRow("numeric coin and counter")
        << QByteArray(R"({"status":"OK","userInfo":{"nick":"rich","coin":1500},
                          "connUserInfo":{"pokerConnCnt":12,"matgoConnCnt":"3"}})")
        << QStringList{"", "3", "", ""} << "rich"
        << ""
        << "" << QStringList{"", "", "", ""};
    QTest::newRow("only the status")
        << QByteArray(R"({"status":"OK"})") << QStringList{"", "", "", ""} << ""
        << ""
        << "" << QStringList{"", "", "", ""};
    QTest::newRow("parts of the wrong type")
        << QByteArray(R"({"status":"OK","versionInfo":"1.0","connUserInfo":[1,2],
                          "userInfo":"me","notices":{"subject":"A","contents":"x"}})")
        << QStringList{"", "", "", ""} << ""
        << ""
        << "" << QStringList{"", "", "", ""};
}

void TestLoginExchange::successfulLogin() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, counts);
    QFETCH(QString, nick);
    QFETCH(QString, coin);
    QFETCH(QString, notice);
    QFETCH(QStringList, versions);
    QVERIFY(QJsonDocument::fromJson(reply).isObject());
    loginResponse = loginAnswer(reply);

    QList<int> gamePresses[4];
    for (int game = 0; game < 4; ++game) {
        launcher->gameView->setCallback(
            game, [&gamePresses, game](QPushButton*, int state) { gamePresses[game] << state; });
    }
    auto* noticeTab = launcher->topMenu->findChild<ZVButtonTab*>("tab2");

    // Before: the counters' starting text, and nothing but the dialog reacts.
    for (int game = 0; game < 4; ++game) {
        QCOMPARE(countText(game), "0" + kUsers);
        QTest::mouseClick(launcher->gameView->findChild<ZVButton*>(kGameButtons[game]),
                          Qt::LeftButton);
        QVERIFY(gamePresses[game].isEmpty());
    }
    QTest::mouseClick(noticeTab, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0);

    typeLogin("alice", "secret-Pw1");
    clickLogin();
    QVERIFY(boxes.isEmpty());
    QVERIFY(launcher->loggedIn);
    QVERIFY(!launcher->loginView->isVisible());
    for (int game = 0; game < 4; ++game) {
        QCOMPARE(countText(game), counts.at(game) + kUsers);
    }
    QCOMPARE(bottomText("nickLabel"), nick);
    QCOMPARE(bottomText("coinLabel"), coin);
    QCOMPARE(bottomText("tickerLabel"), notice);
    QCOMPARE(launcher->pokerVer, versions.at(0));
    QCOMPARE(launcher->hongsipVer, versions.at(1));
    QCOMPARE(launcher->majakVer, versions.at(2));
    QCOMPARE(launcher->matgoVer, versions.at(3));

    // After: the game buttons and the bars react.
    for (int game = 0; game < 4; ++game) {
        QTest::mouseClick(launcher->gameView->findChild<ZVButton*>(kGameButtons[game]),
                          Qt::LeftButton);
        QVERIFY(gamePresses[game].contains(1));
    }
    QTest::mouseClick(noticeTab, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 1);
}

void TestLoginExchange::refusedLogin_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    const QByteArray lowerOk = QByteArray(kFullReply).replace("\"OK\"", "\"ok\"");
    QTest::newRow("lower-case ok") << 200 << lowerOk.toBase64();
    QTest::newRow("refusal") << 200 << QByteArray(R"({"status":"FAIL"})").toBase64();
    QTest::newRow("status missing")
        << 200 << QByteArray(R"({"userInfo":{"nick":"n","coin":"1"}})").toBase64();
    QTest::newRow("status of another type") << 200 << QByteArray(R"({"status":1})").toBase64();
    QTest::newRow("JSON not wrapped") << 200 << QByteArray(R"({"status":"OK"})");
    QTest::newRow("not JSON") << 200 << QByteArray("<html>maintenance</html>");
    QTest::newRow("empty body") << 200 << QByteArray();
    QTest::newRow("redirect") << 302 << QByteArray();
}

void TestLoginExchange::refusedLogin() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    loginResponse = answer(status, body);

    typeLogin("alice", "secret-Pw1");
    clickLogin();
    QCOMPARE(boxes, QStringList{kRefused});
    QVERIFY(!launcher->loggedIn);
    QVERIFY(launcher->loginView->isVisible());
    QCOMPARE(loginServer->requests().size(), 1);
    for (int game = 0; game < 4; ++game) {
        QCOMPARE(countText(game), "0" + kUsers);
    }
    QCOMPARE(bottomText("nickLabel"), QString());
    QCOMPARE(bottomText("coinLabel"), QString());
    QCOMPARE(launcher->pokerVer, QString());
    // Still inert, and nothing saved.
    QTest::mouseClick(launcher->topMenu->findChild<ZVButtonTab*>("tab2"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0);
    QVERIFY(!QFileInfo::exists(appDat()));

    // The dialog works again: the next attempt goes through.
    loginResponse = loginAnswer(kFullReply);
    clickLogin();
    QVERIFY(launcher->loggedIn);
    QCOMPARE(boxes.size(), 1);
}

void TestLoginExchange::transportFailureWhileLoggedOut_data() {
    addLoginFailureRows();
}

void TestLoginExchange::transportFailureWhileLoggedOut() {
    QFETCH(QString, failure);
    failLogin(failure, loginAnswer(kFullReply).body);

    typeLogin("alice", "secret-Pw1");
    QElapsedTimer clock;
    clock.start();
    clickLogin();
    QVERIFY2(clock.elapsed() < 10000, "the request's time limit did not end the wait");
    QCOMPARE(boxes, QStringList{kUnreachable});
    QVERIFY(!launcher->loggedIn);
    QVERIFY(launcher->loginView->isVisible());
    QCOMPARE(launcher->busy, 0);
    QCOMPARE(countText(0), "0" + kUsers);
    QVERIFY(!QFileInfo::exists(appDat()));
    if (loginServer) {
        QCOMPARE(loginServer->requests().size(), 1);
    }
}

void TestLoginExchange::savedAfterLogin_data() {
    testsupport::addRows<bool>("remember", {{"remembering off", false}, {"remembering on", true}});
}

void TestLoginExchange::savedAfterLogin() {
    QFETCH(bool, remember);
    typeLogin("alice", "secret-Pw1");
    if (remember) {
        QTest::mouseClick(launcher->loginView->findChild<ZVButtonToggle*>("saveBox"),
                          Qt::LeftButton);
        QVERIFY(utility::SaveData::getInstance()->isSave());
    }
    QVERIFY(!QFileInfo::exists(appDat()));
    clickLogin();
    QVERIFY(launcher->loggedIn);

    QVERIFY(QFileInfo::exists(appDat()));
    const QByteArray saved = savedText();
    QVERIFY2(saved.contains("<root isSave=\""), saved.constData());
    if (remember) {
        QVERIFY2(saved.contains("isSave=\"1\""), saved.constData());
        QVERIFY2(saved.contains("<userInfo id=\"alice\" pass=\"secret-Pw1\"/>"), saved.constData());
    } else {
        QVERIFY2(saved.contains("isSave=\"0\""), saved.constData());
        QVERIFY2(!saved.contains("userInfo"), saved.constData());
        QVERIFY2(!saved.contains("secret-Pw1"), saved.constData());
        QVERIFY(utility::SaveData::getInstance()->users().isEmpty());
    }
}

void TestLoginExchange::failingRefreshKeepsData_data() {
    addLoginFailureRows();
}

void TestLoginExchange::failingRefreshKeepsData() {
    QFETCH(QString, failure);
    QVERIFY(logInAsAlice());
    const QStringList counts{countText(0), countText(1), countText(2), countText(3)};
    QCOMPARE(counts.first(), "11" + kUsers);

    failLogin(failure, QByteArray());
    const int before = loginServer ? loginServer->requests().size() : 0;
    launcher->update();
    if (loginServer) {
        QCOMPARE(loginServer->requests().size(), before + 1);
    }
    QVERIFY(boxes.isEmpty());
    QVERIFY(launcher->loggedIn);
    QVERIFY(!launcher->loginView->isVisible());
    QCOMPARE((QStringList{countText(0), countText(1), countText(2), countText(3)}), counts);
    QCOMPARE(bottomText("nickLabel"), QStringLiteral("놀이꾼"));
    QCOMPARE(bottomText("coinLabel"), QStringLiteral("1,500"));
    QCOMPARE(launcher->pokerVer, QStringLiteral("1.2.3"));

    // Once the service is back, the next refresh brings the new figures.
    if (!loginServer) {
        QVERIFY(startLoginServer());
    }
    loginResponse = loginAnswer(QByteArray(kFullReply)
                                    .replace("\"11\"", "\"99\"")
                                    .replace("\"1,500\"", "\"2,000\"")
                                    .replace("\"1.2.3\"", "\"1.2.4\""));
    launcher->update();
    QVERIFY(boxes.isEmpty());
    QCOMPARE(countText(0), "99" + kUsers);
    QCOMPARE(bottomText("coinLabel"), QStringLiteral("2,000"));
    QCOMPARE(launcher->pokerVer, QStringLiteral("1.2.4"));
}

void TestLoginExchange::refreshButtonSendsCurrentTexts() {
    QVERIFY(logInAsAlice());
    // The refresh reads the dialog's texts anew.
    typeLogin("alice", "changed-Pw9");
    const int before = loginServer->requests().size();
    QTest::mouseClick(launcher->bottomMenu->findChild<ZVButton*>("refreshButton"), Qt::LeftButton);
    QCOMPARE(loginServer->requests().size(), before + 1);
    QCOMPARE(QByteArray::fromBase64(loginServer->requests().last().body.mid(2)),
             expectedLoginBody("alice", "changed-Pw9"));
    QCOMPARE(launcher->loginPassword, QStringLiteral("changed-Pw9"));
}

void TestLoginExchange::slowServerOneRefreshInFlight() {
    QVERIFY(logInAsAlice());
    // Slower than the one-second tick.
    loginResponse.delayMs = 2500;
    auto* refreshButton = launcher->bottomMenu->findChild<ZVButton*>("refreshButton");
    const int before = loginServer->requests().size();

    // A refresh the player asks for: neither the ticks during its wait nor a second press
    // start another one alongside; the press is sent once it is over.
    QTimer::singleShot(1200, refreshButton,
                       [refreshButton] { QTest::mouseClick(refreshButton, Qt::LeftButton); });
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(refreshButton, Qt::LeftButton);
    QVERIFY(clock.elapsed() >= 2000);
    QCOMPARE(loginServer->requests().size(), before + 1);
    QCOMPARE(loginServer->maxInFlight(), 1);
    QCOMPARE(launcher->busy, 0);
    QVERIFY(launcher->refreshQueued);

    // The timer's own refreshes, one after the other.
    QTRY_VERIFY_WITH_TIMEOUT(loginServer->requests().size() >= before + 3, 30000);
    QCOMPARE(loginServer->maxInFlight(), 1);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(countText(1), "33" + kUsers);
}

void TestLoginExchange::refusingServerDoesNotStackBoxes() {
    QVERIFY(logInAsAlice());
    const int before = loginServer->requests().size();
    // The session is refused (expired, closed, kicked): told once, then the login again.
    loginResponse = loginAnswer(R"({"status":"NO"})");
    QTest::mouseClick(launcher->bottomMenu->findChild<ZVButton*>("refreshButton"), Qt::LeftButton);
    QCOMPARE(boxes, QStringList{kRefused});
    QVERIFY(!launcher->loggedIn);
    QVERIFY(launcher->loginView->isVisible());
    QTest::mouseClick(launcher->topMenu->findChild<ZVButtonTab*>("tab2"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0); // inert
    // The timer's tick finds no session to refresh.
    launcher->update();
    QCOMPARE(loginServer->requests().size(), before + 1);
    QCOMPARE(boxes.size(), 1);
}

void TestLoginExchange::freeCoinWaitHoldsRefresh() {
    QVERIFY(logInAsAlice());
    const int before = loginServer->requests().size();
    // A slow free-coin answer, and its box left open: no refresh meanwhile.
    coinResponse.delayMs = 2500;
    boxWaitMs = 2000;
    QTest::mouseClick(launcher->bottomMenu->findChild<ZVButton*>("chargeButton"), Qt::LeftButton);
    QCOMPARE(boxes, QStringList{"100 coins added"});
    QCOMPARE(loginServer->requests().size(), before);
    // Afterwards the refresh goes on.
    QTRY_VERIFY_WITH_TIMEOUT(loginServer->requests().size() > before, 5000);
}

void TestLoginExchange::pressesDuringARequestAreQueued_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("during");
    QTest::addColumn<int>("refreshes");
    QTest::addColumn<int>("coinRequests");
    QTest::newRow("refresh during refresh")
        << "refreshButton" << QStringList{"refreshButton"} << 2 << 0;
    QTest::newRow("refresh twice during refresh")
        << "refreshButton" << QStringList{"refreshButton", "refreshButton"} << 2 << 0;
    QTest::newRow("free coins during refresh")
        << "refreshButton" << QStringList{"chargeButton"} << 1 << 1;
    QTest::newRow("free coins twice during refresh")
        << "refreshButton" << QStringList{"chargeButton", "chargeButton"} << 1 << 1;
    QTest::newRow("both during refresh")
        << "refreshButton" << QStringList{"chargeButton", "refreshButton"} << 2 << 1;
    QTest::newRow("refresh during free coins")
        << "chargeButton" << QStringList{"refreshButton"} << 1 << 1;
}

// A press while a request is in flight is not lost: it goes out once, right after, and
// never alongside.
void TestLoginExchange::pressesDuringARequestAreQueued() {
    QFETCH(QString, first);
    QFETCH(QStringList, during);
    QFETCH(int, refreshes);
    QFETCH(int, coinRequests);
    QVERIFY(logInAsAlice());
    launcher->timer->stop(); // only the presses ask
    loginResponse.delayMs = 1000;
    coinResponse.delayMs = 1000;
    const int before = loginServer->requests().size();
    auto* menu = launcher->bottomMenu;
    QTimer::singleShot(300, menu, [menu, during] {
        for (const QString& name : during) {
            QTest::mouseClick(menu->findChild<ZVButton*>(name), Qt::LeftButton);
        }
    });
    QTest::mouseClick(menu->findChild<ZVButton*>(first), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(loginServer->requests().size() - before, refreshes, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(pageRequests("/charge/freeCoin").size(), coinRequests, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(launcher->busy, 0, 10000);
    QTest::qWait(1500);
    QCOMPARE(loginServer->requests().size() - before, refreshes);
    QCOMPARE(pageRequests("/charge/freeCoin").size(), coinRequests);
    QCOMPARE(loginServer->maxInFlight(), 1);
    QVERIFY(pageServer->maxInFlight() <= 1);
    QVERIFY(!launcher->refreshQueued);
    QVERIFY(!launcher->freeCoinQueued);
    QCOMPARE(boxes.size(), coinRequests);
}

void TestLoginExchange::tabPressedDuringPaymentWait_data() {
    QTest::addColumn<QString>("tab"); // pressed while the payment page loads; empty for none
    QTest::addColumn<int>("page");
    QTest::newRow("none") << QString() << 2;
    QTest::newRow("games") << "tab1" << 0;
    QTest::newRow("notices") << "tab2" << 1;
    QTest::newRow("information") << "tab4" << 3;
}

// Whatever tab is pressed while the payment page loads, the lit tab, the page shown and the
// page the window records are one and the same afterwards.
void TestLoginExchange::tabPressedDuringPaymentWait() {
    QFETCH(QString, tab);
    QFETCH(int, page);
    QVERIFY(logInAsAlice());
    paymentDelayMs = 1000;
    TopMenuLayout* top = launcher->topMenu;
    if (!tab.isEmpty()) {
        QTimer::singleShot(300, top, [top, tab] {
            QTest::mouseClick(top->findChild<ZVButtonTab*>(tab), Qt::LeftButton);
        });
    }
    QTest::mouseClick(top->findChild<ZVButtonTab*>("tab3"), Qt::LeftButton);
    QCOMPARE(pageRequests("/charge/cash").size(), 1);

    QCOMPARE(launcher->currentPage, page);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(!launcher->pages[i]->isHidden(), i == page);
        const auto* lit = top->findChild<ZVButtonTab*>(QString("tab%1").arg(i + 1));
        QCOMPARE(lit->isOn(), i == page);
    }
    // Back to the payment page: it is not taken as shown already.
    if (page != 2) {
        paymentDelayMs = 0;
        QTest::mouseClick(top->findChild<ZVButtonTab*>("tab3"), Qt::LeftButton);
        QCOMPARE(pageRequests("/charge/cash").size(), 2);
        QCOMPARE(launcher->currentPage, 2);
        QVERIFY(!launcher->payView->isHidden());
    }
}

void TestLoginExchange::paymentPage_data() {
    testsupport::addRows<QString, QString>(
        "id", "password",
        {{"plain", "alice", "secret-Pw1"},
         {"non-ASCII", QStringLiteral("홍길동"), QStringLiteral("pässwörd-ß비밀")}});
}

void TestLoginExchange::paymentPage() {
    QFETCH(QString, id);
    QFETCH(QString, password);
    typeLogin(id, password);
    clickLogin();
    QVERIFY(launcher->loggedIn);

    auto* payTab = launcher->topMenu->findChild<ZVButtonTab*>("tab3");
    QTest::mouseClick(payTab, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 2);
    QVERIFY(launcher->payView->isVisible());
    QVERIFY(!launcher->gameView->isVisible());

    QList<HttpTestServer::Request> posts = pageRequests("/charge/cash");
    QCOMPARE(posts.size(), 1);
    const HttpTestServer::Request seen = posts.first();
    QCOMPARE(seen.method, QByteArray("POST"));
    QCOMPARE(seen.target, QByteArray("/charge/cash"));
    QCOMPARE(seen.headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded; charset=utf-8"));
    const QByteArray digest = md5sum(password.toUtf8());
    QVERIFY(isLowerHex32(digest));
    QCOMPARE(seen.body, "userid=" + id.toUtf8() + "&pass=" + digest.toBase64() + "&is_mobile=y");
    const auto pairs = formPairs(seen.body);
    QCOMPARE(pairs.size(), 3);
    QCOMPARE(pairs.at(0).first, QByteArray("userid"));
    QCOMPARE(pairs.at(1).first, QByteArray("pass"));
    QCOMPARE(pairs.at(2).first, QByteArray("is_mobile"));
    QCOMPARE(QByteArray::fromBase64(pairs.at(1).second), digest);
    QTRY_VERIFY(operatorView(launcher->payView, launcher->payView->webView)
                    ->page()
                    ->mainFrame()
                    ->toPlainText()
                    .contains("page /charge/cash"));

    // The page already shown: a second press sends nothing, nor does the handler itself.
    QTest::mouseClick(payTab, Qt::LeftButton);
    launcher->onShowCharge(nullptr, 1);
    QCOMPARE(pageRequests("/charge/cash").size(), 1);
    // Away and back again posts anew.
    QTest::mouseClick(launcher->topMenu->findChild<ZVButtonTab*>("tab1"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0);
    QTest::mouseClick(payTab, Qt::LeftButton);
    QCOMPARE(pageRequests("/charge/cash").size(), 2);

    QString leak = passwordLeak(pageServer->requests(), password);
    QVERIFY2(leak.isEmpty(), qPrintable(leak));
    leak = passwordLeak(loginServer->requests(), password);
    QVERIFY2(leak.isEmpty(), qPrintable(leak));
}

void TestLoginExchange::freeCoins_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("granted") << QString() << 200
                             << QByteArray(R"({"status":"OK","msg":"100 coins added"})")
                             << QStringList{"100 coins added"};
    QTest::newRow("refused, message still shown")
        << QString() << 200 << QByteArray(R"({"status":"FAIL","msg":"Come back tomorrow"})")
        << QStringList{"Come back tomorrow"};
    QTest::newRow("non-ASCII message")
        << QString() << 200
        << QString(R"({"status":"OK","msg":"무료 코인 <b>지급</b> & 완료"})").toUtf8()
        << QStringList{QStringLiteral("무료 코인 <b>지급</b> & 완료")};
    QTest::newRow("no message") << QString() << 200 << QByteArray(R"({"status":"OK"})")
                                << QStringList{kUnreachable};
    QTest::newRow("HTTP 500") << QString() << 500 << QByteArray(R"({"msg":"oops"})")
                              << QStringList();
    QTest::newRow("server down") << "down" << 200 << QByteArray() << QStringList();
    QTest::newRow("no answer") << "silent" << 200 << QByteArray() << QStringList();
}

void TestLoginExchange::freeCoins() {
    QFETCH(QString, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, shown);
    QVERIFY(logInAsAlice());
    // The free-coin request goes out with the id of the last login, whatever is typed now.
    typeLogin("mallory", "other");

    coinResponse = answer(status, body);
    if (failure == "down") {
        pageServer.reset();
    } else if (failure == "silent") {
        coinResponse.silent = true;
        launcher->request->setTimeout(500);
    }
    QTest::mouseClick(launcher->bottomMenu->findChild<ZVButton*>("chargeButton"), Qt::LeftButton);
    QCOMPARE(boxes, shown);
    QCOMPARE(launcher->busy, 0);
    QVERIFY(launcher->loggedIn);
    if (pageServer) {
        const QList<HttpTestServer::Request> posts = pageRequests("/charge/freeCoin");
        QCOMPARE(posts.size(), 1);
        QCOMPARE(posts.first().method, QByteArray("POST"));
        QCOMPARE(posts.first().target, QByteArray("/charge/freeCoin?"));
        QCOMPARE(posts.first().headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded; charset=utf-8"));
        QCOMPARE(posts.first().body, QByteArray("userid=alice&is_mobile=n"));
    }
}

void TestLoginExchange::registrationOpensBrowser() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    launcher->onRegist(nullptr, 0);
    launcher->onRegist(nullptr, 2);
    QVERIFY(catcher.urls.isEmpty());
    QTest::mouseClick(launcher->loginView->findChild<ZVButton*>("joinButton"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("http");
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(kWeb + "/member/regist")});
    // The browser's business only: nothing reached the service.
    QVERIFY(loginServer->requests().isEmpty());
    QVERIFY(pageServer->requests().isEmpty());
    QVERIFY(launcher->loginView->isVisible());
}

void TestLoginExchange::rememberToggle() {
    auto* saved = utility::SaveData::getInstance();
    auto* saveBox = launcher->loginView->findChild<ZVButtonToggle*>("saveBox");
    QVERIFY(!saved->isSave());
    typeLogin(QStringLiteral("홍길동"), "pw-bob");

    QTest::mouseClick(saveBox, Qt::LeftButton);
    QVERIFY(saveBox->isOn());
    QVERIFY(saved->isSave());
    // The user is remembered at login, as the service accepted it.
    QVERIFY(saved->users().isEmpty());

    // Unticking forgets: no password stays behind for the next login.
    QTest::mouseClick(saveBox, Qt::LeftButton);
    QVERIFY(!saveBox->isOn());
    QVERIFY(!saved->isSave());
    QVERIFY(saved->users().isEmpty());
    // Only the flag and the users change here; the file is written at login.
    QVERIFY(!QFileInfo::exists(appDat()));

    // A report from something that is not the remember box changes nothing.
    launcher->onSaveLogin(nullptr, 1);
    launcher->onSaveLogin(launcher->loginView->findChild<ZVButton*>("joinButton"), 1);
    QVERIFY(!saved->isSave());

    clickLogin();
    QVERIFY(launcher->loggedIn);
    const QByteArray text = savedText();
    QVERIFY2(text.contains("isSave=\"0\""), text.constData());
    QVERIFY2(!text.contains("userInfo"), text.constData());
    QVERIFY2(!text.contains("pw-bob"), text.constData());
}

void TestLoginExchange::rememberSavesTheAcceptedPair_data() {
    QTest::addColumn<QString>("tickedWith"); // the id typed when the box is ticked
    QTest::addColumn<QString>("loginWith");  // the id typed when logging in
    QTest::addColumn<QString>("saved");      // the one user saved; empty for none
    QTest::newRow("ticked before typing") << QString() << "alice"
                                          << "<userInfo id=\"alice\" pass=\"secret-Pw1\"/>";
    QTest::newRow("mistyped id mended before login")
        << "alcie"
        << "alice"
        << "<userInfo id=\"alice\" pass=\"secret-Pw1\"/>";
    QTest::newRow("empty id accepted by the service") << ""
                                                      << "" << QString();
}

void TestLoginExchange::rememberSavesTheAcceptedPair() {
    QFETCH(QString, tickedWith);
    QFETCH(QString, loginWith);
    QFETCH(QString, saved);
    typeLogin(tickedWith, tickedWith.isEmpty() ? QString() : "secret-Pw1");
    QTest::mouseClick(launcher->loginView->findChild<ZVButtonToggle*>("saveBox"), Qt::LeftButton);
    typeLogin(loginWith, "secret-Pw1");
    clickLogin();
    QVERIFY(launcher->loggedIn);
    const QByteArray text = savedText();
    QVERIFY2(text.contains("isSave=\"1\""), text.constData());
    QCOMPARE(text.count("<userInfo"), saved.isEmpty() ? 0 : 1);
    if (!saved.isEmpty()) {
        QVERIFY2(text.contains(saved.toUtf8()), text.constData());
    }
    QCOMPARE(utility::SaveData::getInstance()->users().size(), saved.isEmpty() ? 0 : 1);
}

QTEST_MAIN(TestLoginExchange)
#include "TestLoginExchange.moc"
