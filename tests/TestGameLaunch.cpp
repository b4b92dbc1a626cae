#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include <unistd.h>

#include <QtTest>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "DataRows.h"
#include "FdCapture.h"
#include "FtpServerFixture.h"
#include "LogCapture.h"
#include "RunTreeFixture.h"
#include "TestSupport.h"
#include "ZipMaker.h"
#include "app/Launcher.h"
#include "app/LogFile.h"
#include "app/MessageDialog.h"
#include "update/FtpDownloadView.h"
#include "update/FtpThread.h"
#include "update/GameView.h"
#include "update/InstallRecord.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"

using testsupport::FtpServerFixture;

namespace {

struct GameRow {
    const char* button;
    const char* folder;
    const char* program;
    const char* versionKey;
};
const GameRow kGames[4] = {
    {"pokerButton", "Poker", "Poker.exe", "pokerVer"},
    {"matgoButton", "Matgo", "matgo.exe", "matgoVer"},
    {"hongsipButton", "Hongsip", "Hongsip.exe", "hongsipVer"},
    {"majongButton", "Majong", "majong.exe", "majakVer"},
};

const char kPackage[] = STANDIN_FTP_ROOT "/BoardGame/Matgo/Matgo.zip";

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data, bool executable) {
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return false;
    }
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        return false;
    }
    file.close();
    QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (executable) {
        mode |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    }
    return file.setPermissions(mode);
}

bool installStandin(const QString& path) {
    const QByteArray program = readFile(STANDIN_PROGRAM);
    return !program.isEmpty() && writeFile(path, program, true);
}

// A game that only notes that it ran, with its argument count and working folder.
const QByteArray kOldGame =
    "#!/bin/sh\n"
    "printf 'old\\t%s\\t%s\\n' \"$#\" \"$(pwd -P)\" >> \"$STANDIN_RECORD\"\n"
    "exit 1\n";

QByteArray md5Hex(const QString& text) {
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex();
}

} // namespace

// Choosing a game in a laid-out run tree: when it is updated first, when it starts at once,
// what it is started with, what its exit code changes, and how failures leave the window.
// Updates come from a real FTP server on loopback; the games are the project's stand-in
// program or small shell scripts.
class TestGameLaunch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void decision_data();
    void decision();
    void argumentsAndFolder_data();
    void argumentsAndFolder();
    void exitCode_data();
    void exitCode();
    void failedUpdate_data();
    void failedUpdate();
    void cannotStart_data();
    void cannotStart();
    void windowsMadeGames_data();
    void windowsMadeGames();
    void inertDuringQuestionAndUpdate();
    void cancelledUpdate();
    void repairFromMenu();
    void inertUntilGameEnds();
    void chattyGameDoesNotBlock();
    void closedDuringUpdate();

private:
    void openWindow();
    QString gameDir(int game) const { return tree->root() + '/' + kGames[game].folder; }
    // Makes Matgo's program a shell script of `body`.
    bool writeMatgo(const QByteArray& body) const {
        return writeFile(gameDir(1) + "/matgo.exe", "#!/bin/sh\n" + body, true);
    }
    QString canonicalGameDir(int game) const {
        return QFileInfo(gameDir(game)).canonicalFilePath();
    }
    QString& serverVersion(int game);
    void setFtpUrl(const QByteArray& url);
    void press(int game);
    QStringList records() const;
    // Every control tried once; true when none reacted.
    bool inert();
    // True when the top bar switches pages again.
    bool active();
    bool gameEnded() const {
        return launcher->gameView->currentGame == 4 &&
               launcher->process->state() == QProcess::NotRunning;
    }
    QMap<QString, QString> versionsOnDisk() const;

    std::unique_ptr<testsupport::RunTreeFixture> tree;
    QString runDir;
    std::unique_ptr<Launcher> launcher;
    QStringList shown;
    std::function<void(const QString&)> onMessage;
    const QString id = QStringLiteral("Kim \"Ace\" & co=1");
    const QString password = QStringLiteral("p@ss w\u00f6rd $HOME;`id` 'q'");
};

void TestGameLaunch::initTestCase() {
    QVERIFY(utility::XmlMsgParser::getInstance()->load("script/msg.xml"));
    QVERIFY(!utility::XmlMsgParser::getInstance()->message(203).isEmpty());
    QVERIFY(!utility::XmlMsgParser::getInstance()->message(204).isEmpty());
    QVERIFY(QFileInfo(STANDIN_PROGRAM).isExecutable());
    QVERIFY(QFileInfo(kPackage).isFile());
    // The stand-in is a window of its own: it runs without a display and closes soon.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("STANDIN_AUTOCLOSE_MS", "150");
    // The stand-in lives at least that long after it starts: never taken for a failed start.
    Launcher::setQuickExitWindow(100);
    // No box may ever wait for a person.
    MessageDialog::setHandler([this](const QString& text) {
        shown << text;
        if (onMessage) {
            onMessage(text);
        }
    });
    // A refresh or free-coin request that slipped through would fail at once and show 204.
    utility::XmlServerParser::getInstance()->parse(
        "<servers><web url=\"http://127.0.0.1:9\"/></servers>");
}

void TestGameLaunch::init() {
    tree = std::make_unique<testsupport::RunTreeFixture>();
    QVERIFY(tree->isValid());
    runDir = tree->workDir();
    // Nothing saved yet: every game reads "0.0".
    utility::SaveData* saved = utility::SaveData::getInstance();
    QVERIFY(!saved->load());
    saved->setIsSave(false);
    QVERIFY(saved->versions().isEmpty());
    qputenv("STANDIN_RECORD", QFile::encodeName(tree->root() + "/record.txt"));
    // Any FTP contact not set up by the test fails at once.
    setFtpUrl("ftp://u:p@127.0.0.1:9");

    shown.clear();
    onMessage = nullptr;
    openWindow();
}

// A main window as a successful login leaves it, every game at 1.0.0 on the server.
void TestGameLaunch::openWindow() {
    launcher = std::make_unique<Launcher>();
    launcher->show();
    QVERIFY(QTest::qWaitForWindowExposed(launcher.get()));
    launcher->loginId = id;
    launcher->loginPassword = password;
    for (int game = 0; game < 4; ++game) {
        serverVersion(game) = "1.0.0";
    }
    // The controls as a successful login leaves them.
    launcher->loggedIn = true; // as after a login, without the refresh
    launcher->timer->stop();
    launcher->setControlsActive(true);
}

void TestGameLaunch::cleanup() {
    launcher.reset();
    onMessage = nullptr;
    qunsetenv("STANDIN_RECORD");
    tree.reset();
}

QString& TestGameLaunch::serverVersion(int game) {
    switch (game) {
    case 0:
        return launcher->pokerVer;
    case 1:
        return launcher->matgoVer;
    case 2:
        return launcher->hongsipVer;
    default:
        return launcher->majakVer;
    }
}

void TestGameLaunch::setFtpUrl(const QByteArray& url) {
    utility::XmlServerParser::getInstance()->parse("<servers><ftp url=\"" + url + "\"/></servers>");
    QCOMPARE(QByteArray::fromStdString(utility::XmlServerParser::getInstance()->ftpUrl()), url);
}

void TestGameLaunch::press(int game) {
    auto* button = launcher->gameView->findChild<ZVButton*>(kGames[game].button);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList TestGameLaunch::records() const {
    return QString::fromUtf8(readFile(tree->root() + "/record.txt"))
        .split('\n', Qt::SkipEmptyParts);
}

bool TestGameLaunch::inert() {
    const int page = launcher->currentPage;
    const int game = launcher->gameView->currentGame;
    const int messages = shown.size();
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab2"), Qt::LeftButton);
    QTest::mouseClick(launcher->findChild<ZVButton*>("refreshButton"), Qt::LeftButton);
    QTest::mouseClick(launcher->findChild<ZVButton*>("pokerButton"), Qt::LeftButton);
    QTest::mouseClick(launcher->findChild<ZVButton*>("majongButton"), Qt::LeftButton);
    return launcher->currentPage == page && launcher->gameView->currentGame == game &&
           shown.size() == messages;
}

bool TestGameLaunch::active() {
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab2"), Qt::LeftButton);
    const bool switched = launcher->currentPage == 1;
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab1"), Qt::LeftButton);
    return switched && launcher->currentPage == 0;
}

QMap<QString, QString> TestGameLaunch::versionsOnDisk() const {
    return testsupport::savedVersions(tree->root() + "/Launcher/resource/app.dat");
}

void TestGameLaunch::decision_data() {
    QTest::addColumn<QString>("installed"); // empty: nothing saved
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("program"); // in the game folder before the press; empty: none
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("updates");

    QTest::newRow("first part behind") << "1.0.0"
                                       << "2.0.0"
                                       << "matgo.exe" << true << true;
    QTest::newRow("second part behind") << "1.0.0"
                                        << "1.1.0"
                                        << "matgo.exe" << true << true;
    QTest::newRow("nothing saved, server 1.0.0") << ""
                                                 << "1.0.0"
                                                 << "matgo.exe" << true << true;
    QTest::newRow("third part behind") << "1.0.0"
                                       << "1.0.1"
                                       << "matgo.exe" << false << false;
    QTest::newRow("server older") << "2.0.0"
                                  << "1.9.9"
                                  << "matgo.exe" << false << false;
    QTest::newRow("nothing saved, server 0.0.1") << ""
                                                 << "0.0.1"
                                                 << "matgo.exe" << false << false;
    QTest::newRow("current") << "1.2.3"
                             << "1.2.3"
                             << "matgo.exe" << false << false;
    QTest::newRow("current, program in other case") << "1.2.3"
                                                    << "1.2.3"
                                                    << "MATGO.EXE" << false << false;
    QTest::newRow("program missing") << "1.2.3"
                                     << "1.2.3"
                                     << "" << false << true;
    QTest::newRow("program missing and behind") << "1.0.0"
                                                << "2.0.0"
                                                << "" << true << true;
    // The package brings "matgo.exe": that one is started, not an older file whose name
    // differs only in case.
    QTest::newRow("behind, old program named like the folder") << "1.0.0"
                                                               << "2.0.0"
                                                               << "Matgo.exe" << true << true;
    QTest::newRow("behind, old program in capitals") << "1.0.0"
                                                     << "2.0.0"
                                                     << "MATGO.EXE" << true << true;
}

void TestGameLaunch::decision() {
    QFETCH(QString, installed);
    QFETCH(QString, server);
    QFETCH(QString, program);
    QFETCH(bool, asks);
    QFETCH(bool, updates);

    FtpServerFixture ftp;
    QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(kPackage)));
    QVERIFY(ftp.start());
    setFtpUrl(ftp.url());
    if (!program.isEmpty()) {
        QVERIFY(writeFile(gameDir(1) + '/' + program, kOldGame, true));
    }
    if (!installed.isEmpty()) {
        utility::SaveData::getInstance()->setVersion("matgoVer", installed);
    }
    serverVersion(1) = server;

    // What the window had done when it asked.
    bool panelShownAtQuestion = true;
    int ftpCommandsAtQuestion = -1;
    onMessage = [&](const QString&) {
        panelShownAtQuestion = launcher->downloadView->isVisible();
        ftpCommandsAtQuestion = ftp.commands().size();
    };

    press(1);
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);

    const QString message203 = utility::XmlMsgParser::getInstance()->message(203);
    QCOMPARE(shown, asks ? QStringList{message203} : QStringList());
    if (asks) {
        QVERIFY(!panelShownAtQuestion);
        QCOMPARE(ftpCommandsAtQuestion, 0);
    }
    if (updates) {
        QCOMPARE(ftp.paths("RETR"), QStringList{"/BoardGame/Matgo/Matgo.zip"});
        QCOMPARE(records().first(),
                 QStringList({"Matgo", "2", id, md5Hex(password), canonicalGameDir(1)}).join('\t'));
        // Recorded and written before the game started.
        QCOMPARE(versionsOnDisk().value("matgoVer"), server);
    } else {
        QCOMPARE(ftp.commands(), QStringList());
        QCOMPARE(records().first(), "old\t2\t" + canonicalGameDir(1));
        QVERIFY(!QFile::exists(tree->root() + "/Launcher/resource/app.dat"));
    }
    // Ended with code 1: the game is taken to be current.
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), server);
    QVERIFY(!launcher->downloadView->isVisible());
    QCOMPARE(QDir::currentPath(), QFileInfo(runDir).canonicalFilePath());
    QVERIFY(active());
}

void TestGameLaunch::argumentsAndFolder_data() {
    QTest::addColumn<int>("game");
    QTest::addColumn<QString>("name"); // as the stand-in calls itself
    QTest::newRow("Poker") << 0 << "Poker";
    QTest::newRow("Matgo") << 1 << "Matgo";
    QTest::newRow("Hongsip") << 2 << "Hongsip";
    QTest::newRow("Majong") << 3 << "Majong";
}

void TestGameLaunch::argumentsAndFolder() {
    QFETCH(int, game);
    QFETCH(QString, name);
    QVERIFY(installStandin(gameDir(game) + '/' + kGames[game].program));
    for (int other = 0; other < 4; ++other) {
        utility::SaveData::getInstance()->setVersion(kGames[other].versionKey, "1.0.0");
    }
    serverVersion(game) = "1.0.1"; // only the third part: started without an update

    press(game);
    // Started at once, the window's own folder untouched.
    QCOMPARE(launcher->gameView->currentGame, game);
    QVERIFY(launcher->process->state() != QProcess::NotRunning);
    QCOMPARE(QDir::currentPath(), QFileInfo(runDir).canonicalFilePath());
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);

    QCOMPARE(records().first(),
             QStringList({name, "2", id, md5Hex(password), canonicalGameDir(game)}).join('\t'));
    QVERIFY(shown.isEmpty());
    QVERIFY(!launcher->downloadView->isVisible());
    // Exit code 1 made this game current, and only this one.
    for (int other = 0; other < 4; ++other) {
        QCOMPARE(utility::SaveData::getInstance()->getVersion(kGames[other].versionKey),
                 QString(other == game ? "1.0.1" : "1.0.0"));
    }
}

void TestGameLaunch::exitCode_data() {
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<bool>("current");
    QTest::newRow("exit 1") << QByteArray("exit 1") << true;
    QTest::newRow("exit 0") << QByteArray("exit 0") << false;
    QTest::newRow("exit 2") << QByteArray("exit 2") << false;
    QTest::newRow("exit 3") << QByteArray("exit 3") << false;
    QTest::newRow("exit 255") << QByteArray("exit 255") << false;
    // Killed by signal 1 is not an exit with code 1.
    QTest::newRow("killed by hangup") << QByteArray("kill -HUP $$") << false;
    QTest::newRow("killed outright") << QByteArray("kill -KILL $$") << false;
    QTest::newRow("crashed") << QByteArray("kill -SEGV $$") << false;
}

void TestGameLaunch::exitCode() {
    QFETCH(QByteArray, ending);
    QFETCH(bool, current);
    QVERIFY(writeMatgo("echo ran >> \"$STANDIN_RECORD\"\n" + ending + "\n"));
    utility::SaveData::getInstance()->setVersion("matgoVer", "1.0.0");
    serverVersion(1) = "1.0.1";

    press(1);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QCOMPARE(records(), QStringList{"ran"});
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"),
             QString(current ? "1.0.1" : "1.0.0"));
    // The change stays in memory until the next update writes the file.
    QVERIFY(!QFile::exists(tree->root() + "/Launcher/resource/app.dat"));
    QVERIFY(shown.isEmpty());
    QVERIFY(active());
}

void TestGameLaunch::failedUpdate_data() {
    // "behind": the server announces a newer version.
    testsupport::addRows<int, bool>(
        "kind", "behind",
        {{"nothing on the server", 0, false},
         {"server unreachable", 1, false},
         {"wrong password", 2, false},
         {"package is not a zip", 3, false},
         {"package without the program", 4, false},
         // The new version was recorded, then the game could not start: it is taken back.
         {"behind, package without the program", 4, true},
         {"behind, server unreachable", 1, true},
         {"behind, the updated game fails at once", 5, true}});
}

void TestGameLaunch::failedUpdate() {
    QFETCH(int, kind);
    QFETCH(bool, behind);
    FtpServerFixture ftp;
    QTemporaryDir stage;
    QVERIFY(stage.isValid());
    const QString zip = stage.path() + "/Matgo.zip";
    switch (kind) {
    case 0:
        QVERIFY(ftp.addDir("BoardGame/Poker"));
        break;
    case 3:
        QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", "this is not a zip archive"));
        break;
    case 4:
        QVERIFY(testsupport::makeZip(zip, {{"readme.txt", "no program here", 0100644}}));
        QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(zip)));
        break;
    case 5:
        // As Wine does when it cannot run the program: started, then an error status.
        QVERIFY(testsupport::makeZip(zip, {{"matgo.exe", "#!/bin/sh\nexit 1\n", 0100755}}));
        QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(zip)));
        Launcher::setQuickExitWindow(60000);
        break;
    default:
        QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(kPackage)));
        break;
    }
    QVERIFY(ftp.start());
    setFtpUrl(kind == 2 ? ftp.url("wrong") : ftp.url());
    if (kind == 1) {
        ftp.kill();
    }
    // Current versions, no program: the update starts without a question.
    utility::SaveData::getInstance()->setVersion("matgoVer", "1.0.0");
    QStringList expected{utility::XmlMsgParser::getInstance()->message(204)};
    if (behind) {
        serverVersion(1) = "2.0.0";
        expected.prepend(utility::XmlMsgParser::getInstance()->message(203));
    }

    const auto quickExit = qScopeGuard([] { Launcher::setQuickExitWindow(100); });
    press(1);
    QVERIFY(launcher->downloadView->isVisible() || !shown.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), expected.size(), 30000);
    QCOMPARE(shown, expected);
    // No version recorded over a game that does not run: the next press updates again.
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), QString("1.0.0"));
    if (behind && kind >= 4) {
        QCOMPARE(versionsOnDisk().value("matgoVer"), QString("1.0.0"));
    }
    QVERIFY(!launcher->downloadView->isVisible());
    QCOMPARE(launcher->gameView->currentGame, 4);
    QCOMPARE(launcher->process->state(), QProcess::NotRunning);
    QTest::qWait(200);
    QCOMPARE(records(), QStringList());
    QCOMPARE(shown.size(), expected.size());
    QVERIFY(active());
}

void TestGameLaunch::cannotStart_data() {
    QTest::addColumn<QByteArray>("content"); // of the program; null: the folder is a file
    QTest::addColumn<QString>("logged");     // the reason in the log
    const QString failed = "^The game .*/Matgo/matgo.exe could not be started: .+";
    QTest::newRow("not a program") << QByteArray(4096, '\x7f') << failed;
    QTest::newRow("missing interpreter") << QByteArray("#!/nonexistent/shell\nexit 1\n") << failed;
    QTest::newRow("empty file") << QByteArray("") << failed;
    QTest::newRow("Windows program, no Wine")
        << QByteArray("MZ\x90\0\3\0\0\0", 8) + QByteArray(200, '\0')
        << "^The game .*/Matgo/matgo.exe is a Windows program: Wine is needed";
    // Nothing can be installed where the game's folder should be.
    QTest::newRow("game folder cannot be written")
        << QByteArray() << "^The game cannot be installed: its folder .*/Matgo cannot be written$";
}

void TestGameLaunch::cannotStart() {
    QFETCH(QByteArray, content);
    QFETCH(QString, logged);
    const QString program = gameDir(1) + "/matgo.exe";
    if (content.isNull()) {
        QVERIFY(writeFile(gameDir(1), "a file, not a folder", false));
    } else {
        QVERIFY(writeFile(program, content, true));
    }
    utility::SaveData::getInstance()->setVersion("matgoVer", "1.0.0");
    // No Wine anywhere on the path.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(logged));

    press(1);
    QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 10000);
    QCOMPARE(shown, QStringList{utility::XmlMsgParser::getInstance()->message(204)});
    QCOMPARE(launcher->gameView->currentGame, 4);
    QCOMPARE(launcher->process->state(), QProcess::NotRunning);
    QVERIFY(!launcher->downloadView->isVisible());
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), QString("1.0.0"));

    qputenv("PATH", path);
    // The window is usable again: mended, the game starts with the next press.
    QVERIFY(active());
    QFile::remove(gameDir(1));
    QVERIFY(installStandin(program));
    press(1);
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QVERIFY(records().first().startsWith("Matgo\t2\t"));
    QCOMPARE(shown.size(), 1);
}

void TestGameLaunch::windowsMadeGames_data() {
    testsupport::addRows<int>("kind", {{"program without execute permission", 0},
                                       {"package zipped without Unix modes", 1},
                                       {"Windows program through Wine", 2}});
}

void TestGameLaunch::windowsMadeGames() {
    QFETCH(int, kind);
    const QString program = gameDir(1) + "/matgo.exe";
    FtpServerFixture ftp;
    QTemporaryDir stage;
    QVERIFY(stage.isValid());
    const QByteArray path = qgetenv("PATH");
    // What the game (or Wine) was started with, its working folder appended below.
    QStringList expected = {"Matgo", "2", id, md5Hex(password)};
    switch (kind) {
    case 0:
        QVERIFY(writeFile(program, readFile(STANDIN_PROGRAM), false));
        break;
    case 1:
        // Made on FAT: no mode at all for the program.
        QVERIFY(testsupport::makeZip(stage.path() + "/Matgo.zip",
                                     {{"matgo.exe", readFile(STANDIN_PROGRAM)}}));
        QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(stage.path() + "/Matgo.zip")));
        QVERIFY(ftp.start());
        setFtpUrl(ftp.url());
        break;
    default:
        // A stand-in Wine first on the path notes what it was asked to run, and where.
        QVERIFY(writeFile(program, "MZ\x90\0 a Windows program", false));
        QVERIFY(writeFile(stage.path() + "/wine",
                          "#!/bin/sh\n"
                          "printf 'wine\\t%s\\t%s\\t%s\\t%s\\t%s\\n' \"$#\" \"$1\" \"$2\" "
                          "\"$3\" \"$(pwd -P)\" >> \"$STANDIN_RECORD\"\n"
                          "exit 1\n",
                          true));
        qputenv("PATH", QFile::encodeName(stage.path()) + ':' + path);
        expected = QStringList({"wine", "3", QFileInfo(program).absoluteFilePath(), id, password});
        break;
    }
    utility::SaveData::getInstance()->setVersion("matgoVer", kind == 1 ? "0.0" : "1.0.0");

    press(1);
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    qputenv("PATH", path);
    QCOMPARE(records().first(), (expected << canonicalGameDir(1)).join('\t'));
    QVERIFY(shown.isEmpty() ||
            shown == QStringList{utility::XmlMsgParser::getInstance()->message(203)});
    if (kind != 2) {
        QVERIFY(QFileInfo(program).permissions() & QFileDevice::ExeOwner);
    }
    QVERIFY(active());
    if (kind == 1) {
        // The updated game ran, so its version stands: a later start that fails keeps it.
        const QString updated = utility::SaveData::getInstance()->getVersion("matgoVer");
        QVERIFY(writeFile(program, "", true));
        shown.clear();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be started"));
        press(1);
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 10000);
        QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), updated);
    }
}

void TestGameLaunch::inertDuringQuestionAndUpdate() {
    FtpServerFixture ftp;
    QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(kPackage)));
    QVERIFY(ftp.start());
    setFtpUrl(ftp.url());
    ftp.stall(); // the update waits for the server until the test lets it go on
    serverVersion(1) = "2.0.0";

    bool inertAtQuestion = false;
    int gameAtQuestion = -1;
    bool asked = false;
    onMessage = [&](const QString&) {
        if (asked) {
            return; // a failure shown by a probe below
        }
        asked = true;
        gameAtQuestion = launcher->gameView->currentGame;
        inertAtQuestion = inert();
    };
    press(1);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(gameAtQuestion, 1);
    QVERIFY(inertAtQuestion);

    QVERIFY(launcher->downloadView->isVisible());
    QTest::qWait(200);
    QVERIFY(inert());
    QCOMPARE(launcher->gameView->currentGame, 1);

    // A newer version announced while the update runs is not what it fetched.
    serverVersion(1) = "3.0.0";
    QString recorded;
    connect(launcher->process, &QProcess::started,
            [&] { recorded = utility::SaveData::getInstance()->getVersion("matgoVer"); });
    ftp.resume();
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QCOMPARE(recorded, QString("2.0.0"));
    QCOMPARE(shown.size(), 1);
    QVERIFY(active());
}

void TestGameLaunch::cancelledUpdate() {
    FtpServerFixture ftp;
    QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(kPackage)));
    QVERIFY(ftp.addFile("BoardGame/Matgo/slow.pak", QByteArray(4 << 20, 'x')));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 256 * 1024;
    QVERIFY(ftp.start(options));
    setFtpUrl(ftp.url());
    serverVersion(1) = "2.0.0";
    utility::SaveData::getInstance()->setVersion("matgoVer", "1.0.0");

    press(1);
    QCOMPARE(shown.size(), 1); // the update notice
    auto* cancel = launcher->downloadView->findChild<QPushButton*>("cancelButton");
    QVERIFY(cancel);
    QTRY_VERIFY_WITH_TIMEOUT(cancel->isVisible(), 10000);
    QTest::mouseClick(cancel, Qt::LeftButton);
    // The player chose it: no failure box, the window usable again, nothing recorded.
    QTRY_VERIFY_WITH_TIMEOUT(!launcher->downloadView->isVisible(), 10000);
    QTest::qWait(200);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(launcher->gameView->currentGame, 4);
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), QString("1.0.0"));
    QCOMPARE(records(), QStringList());
    QVERIFY(active());
}

// The game button's menu repairs the installed game in the download panel and reports;
// it records no version and starts nothing.
void TestGameLaunch::repairFromMenu() {
    FtpServerFixture ftp;
    QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", readFile(kPackage)));
    QVERIFY(ftp.addFile("BoardGame/Matgo/extra.dat", "extra"));
    QVERIFY(ftp.start());
    setFtpUrl(ftp.url());
    serverVersion(1) = "2.0.0";
    press(1);
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QVERIFY(QFile::remove(gameDir(1) + "/extra.dat"));
    shown.clear();
    ftp.clearCommands();

    auto* button = launcher->gameView->findChild<ZVButton*>(kGames[1].button);
    // The menu key's event, as a right-click's would be.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(10, 10));
    QApplication::sendEvent(button, &menuKey);
    QMenu* menu = launcher->gameView->shownMenu();
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 2);
    menu->actions().first()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 30000);
    QCOMPARE(shown.first(), FtpDownloadView::repairText(2, 1, 1));
    QCOMPARE(ftp.paths("RETR"), QStringList{"/BoardGame/Matgo/extra.dat"});
    QCOMPARE(readFile(gameDir(1) + "/extra.dat"), QByteArray("extra"));
    QCOMPARE(records().size(), 1);
    QCOMPARE(launcher->gameView->currentGame, 4);
    QVERIFY(!launcher->downloadView->isVisible());
    QVERIFY(active());
}

void TestGameLaunch::inertUntilGameEnds() {
    // A game that runs until told to stop, through a file in its working folder.
    QVERIFY(writeMatgo("while [ ! -e release ]; do sleep 0.02; done\n"
                       "echo ended >> \"$STANDIN_RECORD\"\n"
                       "exit 1\n"));
    utility::SaveData::getInstance()->setVersion("matgoVer", "1.0.0");
    QVERIFY(active());

    press(1);
    QTRY_COMPARE(launcher->process->state(), QProcess::Running);
    QVERIFY(inert());
    QTest::qWait(300);
    QVERIFY(inert());
    QCOMPARE(launcher->process->state(), QProcess::Running);
    QCOMPARE(launcher->gameView->currentGame, 1);

    QVERIFY(writeFile(gameDir(1) + "/release", QByteArray(), false));
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QCOMPARE(records(), QStringList{"ended"});
    QVERIFY(shown.isEmpty());
    QVERIFY(active());
}

void TestGameLaunch::chattyGameDoesNotBlock() {
    // Far more than a pipe holds, on both channels, before the game can end.
    QVERIFY(writeMatgo("head -c 1048576 /dev/zero | tr '\\0' O\n"
                       "head -c 1048576 /dev/zero | tr '\\0' E >&2\n"
                       "exit 1\n"));
    utility::SaveData::getInstance()->setVersion("matgoVer", "1.0.0");
    serverVersion(1) = "1.0.1";

    bool ended = false;
    QByteArray out;
    QByteArray err;
    QVERIFY(LogFile::open(tree->root() + "/state"));
    {
        // The game's output is expected in the launcher's own; caught here so the
        // test log stays readable. No check may fail while it is caught.
        testsupport::FdCapture errCapture(2);
        testsupport::FdCapture outCapture(1);
        press(1);
        ended = QTest::qWaitFor([this] { return gameEnded(); }, 30000);
        out = outCapture.take();
        err = errCapture.take();
    }
    LogFile::close();
    QVERIFY(ended);
    // The log has the game's output and why it started, never the password.
    const QByteArray log = readFile(tree->root() + "/state/launcher.log");
    // Each channel's endless line is kept to its first kilobyte there (the terminal has it all).
    for (char c : {'O', 'E'}) {
        QVERIFY(log.contains(QByteArray(LogFile::kMaxOutputLine, c) + " [line cut]"));
        QVERIFY(!log.contains(QByteArray(LogFile::kMaxOutputLine + 1, c)));
    }
    QVERIFY(log.contains("/Matgo/matgo.exe in "));
    QVERIFY(log.contains("The game ended with exit code 1"));
    QVERIFY(!log.contains(password.toUtf8()));
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), QString("1.0.1"));
    QVERIFY(out.contains(QByteArray(1048576, 'O')));
    QVERIFY(err.contains(QByteArray(1048576, 'E')));
    QVERIFY(active());
}

namespace {

// Every file below a folder, by relative path, with its content.
QMap<QString, QByteArray> filesBelow(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readFile(path));
    }
    return files;
}

} // namespace

// The player closes the window at a random moment of an update, sixty times: no crash, the
// worker stopped and joined before the window is gone, and under each of the game's names
// only the old file or the whole new one, never part of a file.
void TestGameLaunch::closedDuringUpdate() {
    QTemporaryDir stage;
    QVERIFY(stage.isValid());
    QMap<QString, QByteArray> newFiles{{"matgo.exe", readFile(STANDIN_PROGRAM)},
                                       {"sound.pak", testsupport::randomBytes(1 << 20)}};
    QList<testsupport::ZipEntry> entries{{"matgo.exe", newFiles["matgo.exe"], 0100755}};
    for (int i = 0; i < 12; ++i) {
        const QString name = QString("data/part%1.bin").arg(i);
        newFiles[name] = testsupport::randomBytes(128 << 10);
        entries.append({name.toUtf8(), newFiles[name], 0100644, true});
    }
    QVERIFY(testsupport::makeZip(stage.path() + "/Matgo.zip", entries));
    const QByteArray package = readFile(stage.path() + "/Matgo.zip");
    QMap<QString, QByteArray> oldFiles;
    for (auto it = newFiles.cbegin(); it != newFiles.cend(); ++it) {
        oldFiles[it.key()] = it.key() == "matgo.exe" ? kOldGame : "old " + it.key().toUtf8();
    }

    FtpServerFixture ftp;
    QVERIFY(ftp.addFile("BoardGame/Matgo/Matgo.zip", package));
    QVERIFY(ftp.addFile("BoardGame/Matgo/sound.pak", newFiles["sound.pak"]));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 4 << 20;
    QVERIFY(ftp.start(options));
    setFtpUrl(ftp.url());
    utility::SaveData* saved = utility::SaveData::getInstance();
    const auto startOver = [&] {
        QVERIFY(QDir(gameDir(1)).removeRecursively());
        for (auto it = oldFiles.cbegin(); it != oldFiles.cend(); ++it) {
            QVERIFY(writeFile(gameDir(1) + '/' + it.key(), it.value(), it.key() == "matgo.exe"));
        }
        saved->setVersion("matgoVer", "1.0.0");
        QVERIFY(saved->save());
    };
    const auto pressMatgo = [&] {
        serverVersion(1) = "2.0.0";
        press(1);
        QVERIFY(launcher->downloadView->isVisible());
    };

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    // A hundred updates' worth of log lines are kept aside: they would bury the outcome.
    auto quiet = std::make_unique<testsupport::LogCapture>();
    int closes = 0, untouched = 0, partly = 0, whole = 0;
    for (; closes < 60; ++closes) {
        const QString where = QString("close %1 (seed %2)").arg(closes).arg(seed);
        // Every other update starts from the old game; the rest go on from what the one
        // before them left, partial files included.
        if (closes % 2 == 0 || saved->getVersion("matgoVer") == "2.0.0") {
            launcher.reset();
            startOver();
            openWindow();
        }
        pressMatgo();
        // The moment comes from the update's own progress, not from the clock: at once, at
        // a share of the download's bytes, at a share of the package's entries, or once the
        // version is recorded.
        const int moment = int(random.bounded(4));
        const double share = random.generateDouble();
        const auto due = [&] {
            const FtpThread* worker = launcher->downloadView->thread;
            if (moment == 0 || !worker) {
                return true; // at once, or the update has ended
            }
            const int phase = worker->phase, target = moment + 1; // Downloading, Installing
            if (moment == 3 || (phase >= 0 && phase < target)) {
                return false;
            }
            if (phase != target) {
                return true; // failed, or past the stage
            }
            return moment == 1 ? worker->bytesDone >= share * worker->bytesTotal
                               : worker->current >= share * worker->total;
        };
        QElapsedTimer waited;
        waited.start();
        while (!due()) {
            QVERIFY2(waited.elapsed() < 30000, qPrintable(where + ": the update stands still"));
            QTest::qWait(1);
        }
        testsupport::withinSeconds(30, "closing the window", [&] {
            launcher->close();
            launcher.reset();
        });

        // Nothing goes on writing once the window is gone.
        const QMap<QString, QByteArray> left = filesBelow(gameDir(1));
        QTest::qWait(20);
        QVERIFY2(filesBelow(gameDir(1)) == left, qPrintable(where));
        int renewed = 0;
        QStringList names;
        for (auto it = left.cbegin(); it != left.cend(); ++it) {
            const QString& name = it.key();
            if (name.startsWith(".partial/") || name == InstallRecord::fileName) {
                continue; // what a later update goes on from, what a repair checks
            }
            if (name == "Matgo.zip") {
                QVERIFY2(it.value() == package, qPrintable(where + ": part of the package"));
                continue;
            }
            names << name;
            QVERIFY2(it.value() == oldFiles.value(name) || it.value() == newFiles.value(name),
                     qPrintable(where + ": part of " + name));
            renewed += it.value() == newFiles[name];
        }
        QCOMPARE(names, newFiles.keys());
        // A recorded version stands over the whole new game, on disk as in memory.
        const bool recorded = saved->getVersion("matgoVer") == "2.0.0";
        QVERIFY2(!recorded || renewed == newFiles.size(), qPrintable(where));
        QCOMPARE(versionsOnDisk().value("matgoVer"), saved->getVersion("matgoVer"));
        (recorded ? whole : renewed == 0 ? untouched : partly) += 1;
        openWindow();
    }
    quiet.reset();
    qInfo("%d closes: %d left the old game, %d some new files, %d the whole new game", closes,
          untouched, partly, whole);
    QVERIFY2(untouched > 0 && partly > 0 && whole > 0, "the closes missed a stage of the update");
    // The next update finishes what the closed ones left.
    if (saved->getVersion("matgoVer") != "2.0.0") {
        pressMatgo();
        QTRY_COMPARE_WITH_TIMEOUT(saved->getVersion("matgoVer"), QString("2.0.0"), 30000);
    }
    QMap<QString, QByteArray> installed = filesBelow(gameDir(1));
    QVERIFY(installed.remove(InstallRecord::fileName) == 1);
    QCOMPARE(installed, newFiles);
}

QTEST_MAIN(TestGameLaunch)
#include "TestGameLaunch.moc"
