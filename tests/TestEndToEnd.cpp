#include <memory>

#include <signal.h>

#include <QtTest>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>

#include "Pictures.h"
#include "TestSupport.h"
#include "app/Launcher.h"
#include "app/MessageDialog.h"
#include "archive/ResourceArchive.h"
#include "update/FtpDownloadView.h"
#include "update/GameView.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"
#include "widgets/BottomMenu.h"
#include "widgets/LoginView.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"

namespace {

using testsupport::testReader;

// A loopback address of this test's own, so the service can take its fixed ports.
const QByteArray kHost = testsupport::privateLoopback(31);

// The demo data the operator service starts with.
const char kNick[] = "Lucky Dragon";
const char kCoins[] = "12500";
const char* const kNotices[][2] = {
    {"Welcome", "Welcome to the tables! Free coins are waiting in the bottom menu."},
    {"Maintenance", "Servers rest on Sunday from 04:00 to 06:00."},
    {"Matgo 1.2.0", "Faster matching & a brand-new card set."},
    {"공지", "새해 복 많이 받으세요!"},
};
// Counters drift around these, by a fifth at most.
const int kBaseCounts[4] = {1234, 2345, 456, 789};
// Small files in the package beside the large table.
const int kCardFiles = 500;
const char* const kButtons[4] = {"pokerButton", "matgoButton", "hongsipButton", "majongButton"};

// The installer notes every 4 KB it writes; for the large table that is thousands of
// lines, kept out of the test log.
QtMessageHandler previousHandler = nullptr;
void quietInstaller(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtDebugMsg && text.contains(QLatin1String("bytes written"))) {
        return;
    }
    if (previousHandler) {
        previousHandler(type, context, text);
    }
}

bool copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target)) {
            return false;
        }
    }
    return true;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint16 freePort(const QHostAddress& address) {
    QTcpServer probe;
    return probe.listen(address, 0) ? probe.serverPort() : 0;
}

// One of the bundled Python services, run until the test ends. Its log goes to a file.
class Service {
public:
    Service(const QString& script, const QStringList& args, const QString& log) {
        process.setStandardErrorFile(log);
        process.start("/usr/bin/python3", QStringList{script} + args);
    }
    ~Service() {
        if (process.state() != QProcess::NotRunning) {
            resume();
            process.terminate();
            if (!process.waitForFinished(10000)) {
                process.kill();
                process.waitForFinished(10000);
            }
        }
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // True once the service says it listens.
    bool waitReady() {
        QDeadlineTimer deadline(30000);
        while (!out.contains("ready\n") && !deadline.hasExpired()) {
            if (!process.waitForReadyRead(int(deadline.remainingTime()))) {
                break;
            }
            out += process.readAllStandardOutput();
        }
        return out.contains("ready\n");
    }
    QByteArray output() const { return out; }

    // Freezes the service: connections stay open, nothing is answered until resume().
    void pause() {
        if (process.state() == QProcess::Running) {
            ::kill(pid_t(process.processId()), SIGSTOP);
        }
    }
    void resume() {
        if (process.state() == QProcess::Running) {
            ::kill(pid_t(process.processId()), SIGCONT);
        }
    }

private:
    QProcess process;
    QByteArray out;
};

} // namespace

// The whole road with real parts: the operator service and the FTP server on a loopback
// address, the launcher window in a run tree of its own, and the stand-in game packed by
// the build. Log in by typing into the dialog, see the account, press a game whose version
// is behind, watch it update and start with the login, and start it again directly.
class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void loginShowsTheAccount();
    void gameBehindIsUpdatedThenStarted();
    void currentGameStartsAtOnce();

private:
    QStringList records() const {
        return QString::fromUtf8(readFile(tmp.path() + "/record.txt"))
            .split('\n', Qt::SkipEmptyParts);
    }
    QStringList ftpLog(const char* what) const {
        QStringList lines;
        for (const QString& line :
             QString::fromUtf8(readFile(tmp.path() + "/ftp.log")).split('\n')) {
            if (line.contains(QLatin1String(what))) {
                lines << line;
            }
        }
        return lines;
    }
    QMap<QString, QString> versionsOnDisk() const;
    QString expectedRecord() const;
    bool gameEnded() const {
        return launcher->gameView->currentGame == 4 &&
               launcher->process->state() == QProcess::NotRunning;
    }

    QTemporaryDir tmp;
    QString savedCwd;
    QString runRoot;
    std::unique_ptr<Service> operatorService;
    std::unique_ptr<Service> ftpServer;
    std::unique_ptr<Launcher> launcher;
    QStringList shown;
};

void TestEndToEnd::initTestCase() {
    QVERIFY(tmp.isValid());
    QVERIFY(testReader() != nullptr);
    QVERIFY(testsupport::registerShippedFont() >= 0);
    QVERIFY(utility::XmlMsgParser::getInstance()->load("script/msg.xml"));
    MessageDialog::setHandler([this](const QString& text) { shown << text; });
    previousHandler = qInstallMessageHandler(quietInstaller);

    // The served tree is the one the build packed, copied so nothing touches the original.
    QVERIFY(QFileInfo(STANDIN_FTP_ROOT "/BoardGame/Matgo/Matgo.zip").isFile());
    QVERIFY(copyTree(STANDIN_FTP_ROOT, tmp.path() + "/ftp"));
    // Matgo at a more usual size: its package also carries a large table (64 MB that pack
    // small), and its folder a media file that is downloaded as it is. Unpacking then
    // takes long enough for the panel to show it.
    const QString matgo = tmp.path() + "/ftp/BoardGame/Matgo";
    QVERIFY(QDir().mkpath(tmp.path() + "/stage/cards"));
    {
        QFile table(tmp.path() + "/stage/cards/table.bin");
        QVERIFY(table.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, '\0');
        for (int i = 0; i < 64; ++i) {
            QCOMPARE(table.write(block), qint64(block.size()));
        }
    }
    for (int card = 0; card < kCardFiles; ++card) {
        QFile picture(tmp.path() + QString("/stage/cards/c%1.png").arg(card, 3, 10, QChar('0')));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        QVERIFY(picture.write(QByteArray(2048, char('A' + card % 26))) == 2048);
    }
    QCOMPARE(testsupport::runProgram("/usr/bin/zip", {"-q", "-r", matgo + "/Matgo.zip", "cards"},
                                     nullptr, nullptr, QByteArray(), tmp.path() + "/stage"),
             0);
    QVERIFY(QDir(tmp.path() + "/stage").removeRecursively());
    {
        QVERIFY(QDir().mkpath(matgo + "/media"));
        QFile media(matgo + "/media/intro.dat");
        QVERIFY(media.open(QIODevice::WriteOnly));
        QVector<quint32> noise(4 << 20);
        QRandomGenerator::global()->fillRange(noise.data(), noise.size());
        const QByteArray bytes(reinterpret_cast<const char*>(noise.constData()),
                               int(noise.size() * sizeof(quint32)));
        QCOMPARE(media.write(bytes), qint64(bytes.size()));
    }

    const QHostAddress host(QString::fromLatin1(kHost));
    const quint16 ftpPort = freePort(host);
    QVERIFY(ftpPort != 0);
    operatorService = std::make_unique<Service>(OPERATOR_TOOL_DIR "/operator_service.py",
                                                QStringList{"--host", QString::fromLatin1(kHost),
                                                            "--db", tmp.path() + "/operator.db",
                                                            "--set-version", "matgoVer=2.0.0"},
                                                tmp.path() + "/operator.log");
    ftpServer = std::make_unique<Service>(
        OPERATOR_TOOL_DIR "/ftp_server.py",
        QStringList{"--host", QString::fromLatin1(kHost), "--port", QString::number(ftpPort),
                    "--root", tmp.path() + "/ftp", "--user", "player", "--password", "play"},
        tmp.path() + "/ftp.log");
    QVERIFY2(operatorService->waitReady(), readFile(tmp.path() + "/operator.log").constData());
    QVERIFY2(ftpServer->waitReady(), readFile(tmp.path() + "/ftp.log").constData());

    const QByteArray servers = "<servers><web url=\"http://" + QByteArray(kHost) +
                               "\"/><ftp url=\"ftp://player:play@" + QByteArray(kHost) + ':' +
                               QByteArray::number(ftpPort) + "\"/></servers>";
    QVERIFY(utility::XmlServerParser::getInstance()->parse(servers));
    QCOMPARE(utility::XmlServerParser::getInstance()->webUrl(), "http://" + kHost.toStdString());

    // A run tree of its own: the games land beside the launcher's folder.
    runRoot = tmp.path() + "/run";
    QVERIFY(QDir().mkpath(runRoot + "/Launcher/bin/release"));
    QVERIFY(QDir().mkpath(runRoot + "/Launcher/resource"));
    savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(runRoot + "/Launcher/bin/release"));
    utility::SaveData* saved = utility::SaveData::getInstance();
    QVERIFY(!saved->load());
    saved->setIsSave(false);
    QCOMPARE(saved->getVersion("matgoVer"), QString("0.0"));

    // The stand-in game: no display, a record of how it was started, a short life.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("STANDIN_RECORD", QFile::encodeName(tmp.path() + "/record.txt"));
    qputenv("STANDIN_AUTOCLOSE_MS", "500");
    Launcher::setQuickExitWindow(100); // the stand-in lives longer: never a failed start

    launcher = std::make_unique<Launcher>();
    launcher->show();
    QVERIFY(QTest::qWaitForWindowExposed(launcher.get()));
}

void TestEndToEnd::cleanupTestCase() {
    if (ftpServer) {
        ftpServer->resume(); // an update held by a failed check may end now
    }
    launcher.reset();
    ftpServer.reset();
    operatorService.reset();
    qunsetenv("STANDIN_RECORD");
    qunsetenv("STANDIN_AUTOCLOSE_MS");
    qInstallMessageHandler(previousHandler);
    if (!savedCwd.isEmpty()) {
        QDir::setCurrent(savedCwd);
    }
}

QMap<QString, QString> TestEndToEnd::versionsOnDisk() const {
    return testsupport::savedVersions(runRoot + "/Launcher/resource/app.dat");
}

QString TestEndToEnd::expectedRecord() const {
    const QByteArray digest = QCryptographicHash::hash("demo1234", QCryptographicHash::Md5).toHex();
    return QStringList{"Matgo", "2", "demo", QString::fromLatin1(digest),
                       QFileInfo(runRoot + "/Matgo").canonicalFilePath()}
        .join('\t');
}

void TestEndToEnd::loginShowsTheAccount() {
    LoginView* dialog = launcher->loginView;
    QVERIFY(dialog->isVisible());
    QVERIFY(!launcher->loggedIn);

    auto* idBox = dialog->findChild<QComboBox*>("idBox");
    auto* passwordEdit = dialog->findChild<QLineEdit*>("passwordEdit");
    auto* loginButton = dialog->findChild<ZVButton*>("loginButton");
    QVERIFY(idBox && idBox->lineEdit() && passwordEdit && loginButton);
    idBox->lineEdit()->clear();
    passwordEdit->clear();
    QTest::keyClicks(idBox->lineEdit(), "demo");
    QTest::keyClicks(passwordEdit, "demo1234");
    QCOMPARE(dialog->userId(), QString("demo"));
    QCOMPARE(dialog->password(), QString("demo1234"));

    QTest::mouseClick(loginButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(launcher->loggedIn, 20000);
    QVERIFY2(shown.isEmpty(), qPrintable(shown.join(" | ")));
    QVERIFY(!dialog->isVisible());

    BottomMenu* bottom = launcher->bottomMenu;
    QCOMPARE(bottom->findChild<QLabel*>("nickLabel")->text(), QString(kNick));
    QCOMPARE(bottom->findChild<QLabel*>("coinLabel")->text(), QString(kCoins));
    QStringList notices;
    for (const auto& notice : kNotices) {
        notices << QString::fromUtf8(notice[0]) + ':' + QString::fromUtf8(notice[1]);
    }
    QCOMPARE(bottom->findChild<QLabel*>("tickerLabel")->text(), notices.join(", "));

    const QString suffix = utility::XmlMsgParser::getInstance()->message(12);
    for (int game = 0; game < 4; ++game) {
        auto* button = launcher->gameView->findChild<ZVButton*>(kButtons[game]);
        QVERIFY(button);
        QString text = button->findChild<QLabel*>("countLabel")->text();
        QVERIFY(text.endsWith(suffix));
        text.chop(suffix.size());
        bool number = false;
        const int count = text.toInt(&number);
        QVERIFY2(number, qPrintable(text));
        QVERIFY2(count >= kBaseCounts[game] * 4 / 5 && count <= kBaseCounts[game] * 6 / 5 + 1,
                 qPrintable(text));
    }
    QCOMPARE(launcher->matgoVer, QString("2.0.0"));

    // The bars answer now: the notice page and back.
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab2"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 1);
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab1"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0);
}

void TestEndToEnd::gameBehindIsUpdatedThenStarted() {
    QVERIFY(launcher->loggedIn);
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), QString("0.0"));
    QVERIFY(!QFileInfo::exists(runRoot + "/Matgo"));

    // What the panel shows, as often as anyone could look.
    auto* status = launcher->downloadView->findChild<QLabel*>("statusLabel");
    QVERIFY(status);
    QStringList seen;
    bool panelShown = false;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        panelShown = panelShown || launcher->downloadView->isVisible();
        if (!status->text().isEmpty() && (seen.isEmpty() || seen.last() != status->text())) {
            seen << status->text();
        }
    });
    sampler.start(10);

    bool panelShownAtQuestion = true;
    int ftpSessionsAtQuestion = -1;
    MessageDialog::setHandler([&](const QString& text) {
        shown << text;
        panelShownAtQuestion = launcher->downloadView->isVisible();
        ftpSessionsAtQuestion = ftpLog("FTP session opened").size();
    });

    // The server is held while the panel is listing and again while it is downloading,
    // until the panel has shown each: on loopback both would pass between two of its
    // looks. The package is large enough for the unpacking to be seen without help.
    ftpServer->pause();
    QTest::mouseClick(launcher->gameView->findChild<ZVButton*>("matgoButton"), Qt::LeftButton);
    MessageDialog::setHandler([this](const QString& text) { shown << text; });
    auto* messages = utility::XmlMsgParser::getInstance();
    QCOMPARE(shown, QStringList{messages->message(203)});
    QVERIFY(!panelShownAtQuestion);
    QCOMPARE(ftpSessionsAtQuestion, 0);
    QCOMPARE(launcher->gameView->currentGame, 1);

    QTRY_COMPARE_WITH_TIMEOUT(status->text(), messages->message(200), 10000);
    bool heldInDownload = false;
    QTimer watcher;
    watcher.setTimerType(Qt::PreciseTimer);
    connect(&watcher, &QTimer::timeout, this, [&] {
        // The first download has landed in the game folder: hold the rest.
        if (!QDir(runRoot + "/Matgo")
                 .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            ftpServer->pause();
            heldInDownload = true;
            watcher.stop();
        }
    });
    watcher.start(1);
    ftpServer->resume();
    QTRY_VERIFY_WITH_TIMEOUT(heldInDownload, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), messages->message(201), 10000);
    ftpServer->resume();

    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 1, 60000);
    sampler.stop();
    QVERIFY(panelShown);
    QCOMPARE(seen,
             QStringList({messages->message(200), messages->message(201), messages->message(202)}));
    QCOMPARE(records().first(), expectedRecord());
    // Every file of the game's folder, each once.
    const QStringList fetched = ftpLog("] RETR ");
    QCOMPARE(fetched.size(), 2);
    QCOMPARE(fetched.filter("/BoardGame/Matgo/Matgo.zip completed=1 ").size(), 1);
    QCOMPARE(fetched.filter("/BoardGame/Matgo/media/intro.dat completed=1 ").size(), 1);
    QCOMPARE(QFileInfo(runRoot + "/Matgo/media/intro.dat").size(), qint64(16 << 20));
    QCOMPARE(QFileInfo(runRoot + "/Matgo/cards/table.bin").size(), qint64(64 << 20));
    QCOMPARE(QDir(runRoot + "/Matgo/cards").entryList({"c*.png"}, QDir::Files).size(), kCardFiles);
    QVERIFY(QFileInfo(runRoot + "/Matgo/matgo.exe").isExecutable());

    // The stand-in closes itself with exit code 1; the window is usable again.
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QVERIFY(!launcher->downloadView->isVisible());
    QCOMPARE(shown.size(), 1);
    QCOMPARE(versionsOnDisk().value("matgoVer"), QString("2.0.0"));
    QCOMPARE(utility::SaveData::getInstance()->getVersion("matgoVer"), QString("2.0.0"));
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab4"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 3);
    QTest::mouseClick(launcher->findChild<ZVButtonTab*>("tab1"), Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0);
}

void TestEndToEnd::currentGameStartsAtOnce() {
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    QCOMPARE(records().size(), 1);
    const int sessions = ftpLog("FTP session opened").size();
    bool panelShown = false;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this,
            [&] { panelShown = panelShown || launcher->downloadView->isVisible(); });
    sampler.start(10);

    QTest::mouseClick(launcher->gameView->findChild<ZVButton*>("matgoButton"), Qt::LeftButton);
    QCOMPARE(launcher->gameView->currentGame, 1);
    QVERIFY(launcher->process->state() != QProcess::NotRunning);
    QTRY_COMPARE_WITH_TIMEOUT(records().size(), 2, 30000);
    QCOMPARE(records().last(), expectedRecord());
    QTRY_VERIFY_WITH_TIMEOUT(gameEnded(), 30000);
    sampler.stop();

    QVERIFY(!panelShown);
    QCOMPARE(shown.size(), 1); // still only the first question
    QCOMPARE(ftpLog("FTP session opened").size(), sessions);
    QCOMPARE(ftpLog("] RETR ").size(), 2);
    QCOMPARE(versionsOnDisk().value("matgoVer"), QString("2.0.0"));
    QVERIFY(launcher->loggedIn);
}

QTEST_MAIN(TestEndToEnd)
#include "TestEndToEnd.moc"
