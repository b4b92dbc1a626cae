#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QtTest>

#include <QPainter>
#include <QProxyStyle>

#include "DataRows.h"
#include "TestSupport.h"
#include "XvfbServer.h"
#include "app/LogFile.h"
#include "app/SmoothPictureStyle.h"
#include "app/WakeUpListener.h"
#include "platform/SingleInstance.h"

namespace {

const QString kLauncher = QStringLiteral(LAUNCHER_PATH);
const QString kWorkDir = QStringLiteral(LAUNCHER_WORKDIR);
const QByteArray kReaderFailed = "Get data from file(../../resource/res.dat) failed!";
const QByteArray kWoken = "Another copy was started: bringing the window to the front";
// Every module that reads resources opens the archive once: main, the main window,
// the three catalogues/saved data, the three buttons' module, the login dialog, the
// top bar, the bottom menu, the game page and the download panel.
constexpr int kReaders = 11;

// The one-copy lock is a per-user name in the abstract socket namespace, which belongs to
// the network namespace: a launcher of any other test run on this machine (same user)
// would hold it, and ours would wake that one and quit. The test program takes a
// network namespace of its own before any thread or child exists, so the launchers it
// starts meet only each other. Without the privilege for that, the machine is shared.
const bool kPrivateLockNames = unshare(CLONE_NEWNET) == 0;

// What a process has mapped that a window which draws no OpenGL and shows no web page does
// not need: Mesa's DRI drivers, the LLVM they draw with, any vendor's GLX library, WebKit.
QStringList unneededLibraries(qint64 pid) {
    QFile maps(QString("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly)) {
        return {"(no maps)"};
    }
    static const QRegularExpression driver(
        "/(libGLX_\\S*|\\S*_dri\\.so|libLLVM\\S*|libQt5WebKit\\S*|webpages\\.\\w+)$",
        QRegularExpression::MultilineOption);
    QStringList drivers;
    for (auto match = driver.globalMatch(maps.readAll()); match.hasNext();) {
        drivers << match.next().captured(1);
    }
    drivers.removeDuplicates();
    return drivers;
}

// Who listens on the launcher's lock name in this test's namespace ("@name-uid" in
// /proc/net/unix): each holder's process id, command line and state, or "nobody". The
// holders' ids are handed back when asked for.
QByteArray lockHolders(QList<pid_t>* pids = nullptr) {
    const QByteArray name = "@zorvanBoardGameLauncher-" + QByteArray::number(getuid());
    QList<QByteArray> inodes;
    for (const QByteArray& line : testsupport::readOrMissing("/proc/net/unix").split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.value(7) == name) {
            inodes << "socket:[" + fields[6] + "]";
        }
    }
    QByteArray holders = inodes.isEmpty() ? "nobody" : inodes.join(' ') + ":";
    for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        for (const QFileInfo& fd : QDir("/proc/" + pid + "/fd").entryInfoList(QDir::System)) {
            if (inodes.contains(fd.symLinkTarget().section('/', -1).toUtf8())) {
                QByteArray command = testsupport::readOrMissing("/proc/" + pid + "/cmdline");
                const QByteArray stat = testsupport::readOrMissing("/proc/" + pid + "/stat");
                holders += ' ' + pid.toUtf8() + " (" + command.replace('\0', ' ').trimmed() +
                           ", state " + stat.mid(stat.lastIndexOf(')') + 2, 1) + ")";
                if (pids != nullptr) {
                    pids->append(pid.toInt());
                }
            }
        }
    }
    return holders;
}

// Empty while a launcher runs; otherwise why it did not start, or how it ended, the end of
// what it printed and who holds the lock it may have found taken.
QByteArray whyNotRunning(QProcess* launcher) {
    if (launcher->state() == QProcess::Running) {
        return {};
    }
    if (launcher->error() == QProcess::FailedToStart) {
        return "did not start: " + launcher->errorString().toUtf8();
    }
    const QByteArray code = QByteArray::number(launcher->exitCode());
    return (launcher->exitStatus() == QProcess::CrashExit ? "killed by signal " : "exited with ") +
           code + "; lock held by " + lockHolders() +
           "; it printed: " + launcher->readAllStandardError().right(1500);
}

// Fails the test, saying why, when the launcher no longer runs.
#define VERIFY_RUNNING(launcher)                                                                   \
    do {                                                                                           \
        const QByteArray why = whyNotRunning(launcher);                                            \
        QVERIFY2(why.isEmpty(), why.constData());                                                  \
    } while (false)

} // namespace

// The launcher as a process in a real X server: it shows its window from the run tree
// and without resources, from whatever folder it is started in, only one copy per user
// runs at a time, and its log keeps the last runs. Also the installed tree.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void showsFromRunTree();
    void showsWithoutArchive();
    void startsFromAnyFolder_data();
    void startsFromAnyFolder();
    void secondCopyExitsAtOnce();
    void oneCopyPerUser();
    void wakeUpRestoresWindow();
    void brokenLockLetsProgramStart();
    void logKeepsLastRuns_data();
    void logKeepsLastRuns();
    void installedTree();
    void standardIconsAsBefore_data();
    void standardIconsAsBefore();
    void picturesScaleSmoothly_data();
    void picturesScaleSmoothly();

private:
    QProcess* startLauncher(const QString& workDir, const QString& program = kLauncher,
                            bool offscreen = false);
    bool waitForWindow(int count, int timeoutMs = 15000);
    // Waits until the archive readers of a started launcher have all reported.
    bool waitForReaders(QProcess* launcher, QByteArray& out);

    testsupport::XvfbServer xvfb;
    QList<QProcess*> running;
    QTemporaryDir state; // the launchers' $XDG_STATE_HOME
};

void TestStartup::initTestCase() {
    if (!kPrivateLockNames) {
        qWarning("no network namespace of its own: a launcher of another run may hold the lock");
    }
    QVERIFY2(xvfb.isRunning(), "Xvfb did not start");
    QVERIFY(QFile::exists(kLauncher));
    QCOMPARE(QFileInfo(kLauncher).absolutePath(), QFileInfo(kWorkDir).absoluteFilePath());
    QVERIFY(state.isValid());
}

void TestStartup::cleanup() {
    for (QProcess* process : running) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
    running.clear();
    // Every launcher this test started has ended, so the lock is free again, whatever
    // they started. Anything still holding it is ended too, so that it costs one failure
    // here and not one in every test after it.
    QList<pid_t> left;
    const QByteArray holders = lockHolders(&left);
    if (kPrivateLockNames) {
        for (pid_t pid : left) {
            ::kill(pid, SIGKILL);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(xvfb.viewableWindows(1024, 768), 0, 10000);
    QVERIFY2(left.isEmpty(), "the lock outlived its launchers: held by " + holders);
}

QProcess* TestStartup::startLauncher(const QString& workDir, const QString& program,
                                     bool offscreen) {
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", xvfb.display());
    env.insert("QT_QPA_PLATFORM", offscreen ? "offscreen" : "xcb");
    env.insert("XDG_STATE_HOME", state.path());
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workDir);
    process->start(program, QStringList());
    running.append(process);
    return process;
}

bool TestStartup::waitForReaders(QProcess* launcher, QByteArray& out) {
    // Each reader prints one line (without a line end) whether it opened the archive
    // or not; the window comes after all of them.
    out.clear();
    return QTest::qWaitFor(
        [&] {
            out += launcher->readAllStandardOutput();
            return out.count("buffer") + out.count("failed!") >= kReaders ||
                   launcher->state() == QProcess::NotRunning;
        },
        15000);
}

bool TestStartup::waitForWindow(int count, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (xvfb.viewableWindows(1024, 768) == count) {
            return true;
        }
        QTest::qWait(100);
    }
    return false;
}

void TestStartup::showsFromRunTree() {
    QProcess* launcher = startLauncher(kWorkDir);
    QVERIFY(launcher->waitForStarted());
    QVERIFY2(waitForWindow(1), "no 1024 x 768 window appeared");
    VERIFY_RUNNING(launcher);
    // Nothing in the window is drawn with OpenGL, and no web page is open: neither a GL
    // driver nor the web engine is loaded for it.
    QCOMPARE(unneededLibraries(launcher->processId()), QStringList());
    launcher->kill();
    launcher->waitForFinished();
    QVERIFY(!launcher->readAllStandardOutput().contains("failed"));
}

void TestStartup::showsWithoutArchive() {
    // A copy of the program in a tree of its own without resources, started from the
    // run tree that has them: it reads from its own tree.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("Launcher/bin/release"));
    const QString copy = dir.filePath("Launcher/bin/release/launcher");
    QVERIFY(QFile::copy(kLauncher, copy));
    QProcess* launcher = startLauncher(kWorkDir, copy);
    QVERIFY(launcher->waitForStarted());
    QVERIFY2(waitForWindow(1), "no window without resources");
    VERIFY_RUNNING(launcher);
    launcher->kill();
    launcher->waitForFinished();
    const QByteArray out = launcher->readAllStandardOutput();
    QCOMPARE(out.count(kReaderFailed), kReaders);
    QCOMPARE(out, kReaderFailed.repeated(kReaders));
}

void TestStartup::startsFromAnyFolder_data() {
    // "start" lies below a fresh folder ("/" is the root); "decoy" puts a broken
    // "../../resource/res.dat" beside it.
    testsupport::addRows<QString, bool>(
        "start", "decoy",
        {{"home folder", "home/player", false},
         {"folder with a broken archive two levels up", "a/b/c", true},
         {"the root folder", "/", false},
         {"the resource folder", "run/Launcher/resource", false}});
}

void TestStartup::startsFromAnyFolder() {
    QFETCH(QString, start);
    QFETCH(bool, decoy);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = start.startsWith('/') ? start : dir.filePath(start);
    QVERIFY(QDir().mkpath(folder));
    if (decoy) {
        QVERIFY(QDir().mkpath(folder + "/../../resource"));
        QFile bad(folder + "/../../resource/res.dat");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, 'x'));
    }
    const QString runRoot = QStringLiteral(LAUNCHER_RUN_ROOT);
    const QStringList before = testsupport::pathsOutside(dir.path(), "none");
    const QStringList runBefore = testsupport::pathsOutside(runRoot, "none");

    QProcess* launcher = startLauncher(folder, kLauncher, true);
    QByteArray out;
    QVERIFY(waitForReaders(launcher, out));
    QTest::qWait(500); // the window is built and shown
    VERIFY_RUNNING(launcher);
    // Every reader found the archive of the program's own tree.
    QCOMPARE(out.count(kReaderFailed), 0);
    QCOMPARE(out.count("buffer"), kReaders);
    launcher->kill();
    launcher->waitForFinished();
    QCOMPARE(testsupport::pathsOutside(dir.path(), "none"), before);
    QCOMPARE(testsupport::pathsOutside(runRoot, "none"), runBefore);
    QVERIFY(!QFile::exists("/Poker") && !QFile::exists("/resource"));
}

void TestStartup::secondCopyExitsAtOnce() {
    QProcess* first = startLauncher(kWorkDir);
    QVERIFY2(waitForWindow(1), "no window; " + whyNotRunning(first));

    QProcess* second = startLauncher(QDir::homePath());
    QVERIFY(second->waitForFinished(5000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 255);
    QCOMPARE(xvfb.viewableWindows(1024, 768), 1);
    VERIFY_RUNNING(first);
    // The first copy was asked to come to the front, and its log is this run's log.
    QByteArray firstErr;
    QTRY_VERIFY2((firstErr += first->readAllStandardError()).contains(kWoken), firstErr);
    QVERIFY(testsupport::readOrMissing(state.filePath("boardgame-launcher/launcher.log"))
                .contains(kWoken));
    QVERIFY(second->readAllStandardError().isEmpty());

    // The lock goes with the process, however it ends.
    first->kill();
    QVERIFY(first->waitForFinished());
    QProcess* third = startLauncher(kWorkDir);
    QVERIFY2(waitForWindow(1), "no window after the first copy ended; " + whyNotRunning(third));
    VERIFY_RUNNING(third);
}

void TestStartup::oneCopyPerUser() {
    if (geteuid() != 0) {
        QSKIP("needs root to start a copy as another user");
    }
    QProcess* mine = startLauncher(kWorkDir, kLauncher, true);
    QByteArray out;
    QVERIFY(waitForReaders(mine, out));
    QTest::qWait(300);
    VERIFY_RUNNING(mine);

    // The same program as the user "nobody", with a state folder it may write.
    QTemporaryDir otherState;
    QVERIFY(otherState.isValid());
    QVERIFY(QFile::setPermissions(otherState.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ExeOther |
                                      QFileDevice::WriteOther | QFileDevice::ReadOther));
    auto* other = new QProcess;
    running.append(other);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_STATE_HOME", otherState.path());
    other->setProcessEnvironment(env);
    other->setWorkingDirectory("/");
    // setpriv changes user and then becomes the launcher, so the test can end it.
    other->start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", kLauncher});
    QVERIFY(waitForReaders(other, out));
    QTest::qWait(1000);
    QVERIFY2(other->state() == QProcess::Running, other->readAllStandardError());
    VERIFY_RUNNING(mine);
    QVERIFY(!mine->readAllStandardError().contains(kWoken));
    QVERIFY(QFileInfo::exists(otherState.path() + "/boardgame-launcher/launcher.log"));
}

void TestStartup::wakeUpRestoresWindow() {
    // A lock of this test's own, taken and knocked on inside one process.
    const QByteArray name = "TestStartup-" + QByteArray::number(QCoreApplication::applicationPid());
    QVERIFY(!SingleInstance::wakeRunning(name)); // nobody holds it yet
    QVERIFY(SingleInstance::claim(name));
    QVERIFY(SingleInstance::errorString().empty());
    QVERIFY(SingleInstance::listener() >= 0);
    QVERIFY(!SingleInstance::claim(name)); // held: the only answer that keeps a copy out
    QVERIFY(SingleInstance::errorString().empty());

    QWidget window;
    window.resize(200, 100);
    window.showMinimized();
    QVERIFY(window.isMinimized());
    WakeUpListener listener(&window);
    QVERIFY(!listener.listen(-1));
    QVERIFY(listener.listen(SingleInstance::listener()));
    QTest::ignoreMessage(QtInfoMsg, kWoken.constData());
    QVERIFY(SingleInstance::wakeRunning(name));
    QTRY_VERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());

    // A copy that accepts nothing (this thread is not looking) fills its queue; the knocks
    // beyond it fail at once rather than wait for it.
    int sent = 0;
    testsupport::withinSeconds(10, "knocking on a copy that does not accept", [&] {
        for (int i = 0; i < 16; ++i) {
            sent += SingleInstance::wakeRunning(name);
        }
    });
    QVERIFY(sent < 16);
}

void TestStartup::brokenLockLetsProgramStart() {
    // No descriptor left for the lock's socket: not a copy that runs, so start anyway.
    const QByteArray name =
        "TestStartup-full-" + QByteArray::number(QCoreApplication::applicationPid());
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int probe = dup(0);
    QVERIFY(probe >= 0);
    close(probe);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(probe); // every descriptor from the lowest free one on is refused
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const bool claimed = SingleInstance::claim(name);
    const std::string error = SingleInstance::errorString();
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
    QVERIFY(claimed);
    QVERIFY2(QByteArray::fromStdString(error).startsWith("no socket for the lock: "),
             error.c_str());
    // With descriptors again the name is free: nobody took it.
    QVERIFY(SingleInstance::claim(name));
    QVERIFY(SingleInstance::errorString().empty());

    // Another user takes this user's name first: no way to keep this copy out.
    if (geteuid() != 0) {
        return;
    }
    const QByteArray squatted = name + "-other";
    QProcess squatter;
    squatter.start("setpriv",
                   {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "/usr/bin/python3", "-c",
                    "import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind('\\0" + squatted +
                        "-" + QByteArray::number(getuid()) +
                        "'); s.listen(); print('bound', flush=True); sys.stdin.read()"});
    QVERIFY(squatter.waitForReadyRead(10000));
    QVERIFY(SingleInstance::claim(squatted));
    QCOMPARE(SingleInstance::errorString(), std::string("it is held by another user (uid 65534)"));
    squatter.kill();
    squatter.waitForFinished();
}

void TestStartup::logKeepsLastRuns_data() {
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("flood");      // a game that prints more than the log may hold
    QTest::addColumn<bool>("background"); // lines come while a worker opens the file
    QTest::newRow("first run") << 1 << 1 << false << false;
    QTest::newRow("five runs") << 5 << 5 << false << false;
    QTest::newRow("seven runs") << 7 << 5 << false << false;
    QTest::newRow("a run over the limit") << 1 << 1 << true << false;
    QTest::newRow("seven runs opened in the background") << 7 << 5 << false << true;
    QTest::newRow("over the limit in the background") << 1 << 1 << true << true;
}

void TestStartup::logKeepsLastRuns() {
    QFETCH(int, runs);
    QFETCH(int, files);
    QFETCH(bool, flood);
    QFETCH(bool, background);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("state/boardgame-launcher");
    for (int run = 1; run <= runs; ++run) {
        // Held by the test, the log's turn keeps the worker waiting: every line is held first.
        QLockFile turn(folder + "/launcher.log.lock");
        if (background) {
            QVERIFY(QDir().mkpath(folder) && turn.tryLock(0));
            LogFile::openInBackground(folder);
        } else {
            QVERIFY(LogFile::open(folder));
        }
        qInfo("run %d", run);
        LogFile::append("game output\n");
        for (int i = 0; i < 50; ++i) {
            qWarning("refresh failed");
        }
        LogFile::append(QByteArray(5000, 'x') + '\n');
        for (int i = 0; flood && i < 6000; ++i) {
            LogFile::append(QByteArray(999, 'y') + '\n');
        }
        turn.unlock();
        LogFile::close();
    }
    qInfo("after the log was closed");
    QDir logs(folder);
    QCOMPARE(logs.entryList(QDir::Files).size(), files);
    for (int back = 0; back < files; ++back) {
        const QString name = back == 0 ? "launcher.log" : "launcher.log." + QString::number(back);
        const QByteArray text = testsupport::readOrMissing(logs.filePath(name));
        QVERIFY2(text.contains(QString("info: run %1\n").arg(runs - back).toUtf8()), text);
        QCOMPARE(text.count("info: run"), 1);
        QVERIFY(text.contains("\ngame output\n"));
        QVERIFY(!text.contains("after the log was closed"));
        // Bounded: a repeated line once with its count, a long line cut, a size limit.
        QCOMPARE(text.count("refresh failed"), 1);
        QVERIFY(text.contains("refresh failed\n") && text.contains("came 49 more times)\n"));
        QVERIFY(text.contains('\n' + QByteArray(1024, 'x') + " [line cut]\n"));
        QVERIFY(text.size() <= LogFile::kMaxBytes + 200);
        QCOMPARE(text.contains("the rest of this run is not kept"), flood);
        // Only the player may read it.
        QCOMPARE(QFileInfo(logs.filePath(name)).permissions() & 0x0077, QFileDevice::Permissions());
    }
    // A state folder that cannot be made: no log, and the program goes on.
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QVERIFY(!LogFile::open(dir.filePath("file/boardgame-launcher")));
    QVERIFY(LogFile::path().isEmpty());
    LogFile::openInBackground(dir.filePath("file/boardgame-launcher"));
    QVERIFY(LogFile::path().isEmpty());
    LogFile::close();
}

void TestStartup::installedTree() {
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    QByteArray out;
    QByteArray err;
    QCOMPARE(testsupport::runProgram(
                 CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", prefix.path()}, &out, &err),
             0);
    const QString tree = prefix.filePath("share/boardgame-launcher");
    const QString program = tree + "/Launcher/bin/release/launcher";
    QVERIFY(QFileInfo(program).isExecutable());
    QVERIFY(QFileInfo(tree + "/Launcher/resource/res.dat").isFile());
    QVERIFY(QFileInfo(tree + "/Launcher/resource/icon.ico").isFile());
    for (int size : {16, 24, 32, 48, 64}) {
        const QString icon = prefix.filePath(
            QString("share/icons/hicolor/%1x%1/apps/boardgame-launcher.png").arg(size));
        QCOMPARE(QImage(icon).size(), QSize(size, size));
    }
    const QString entry = prefix.filePath("share/applications/boardgame-launcher.desktop");
    QCOMPARE(testsupport::runProgram("desktop-file-validate", {entry}, &out, &err), 0);
    QVERIFY2(out.isEmpty() && err.isEmpty(), out + err);
    QSettings desktop(entry, QSettings::IniFormat);
    desktop.beginGroup("Desktop Entry");
    QCOMPARE(desktop.value("Exec").toString(), QString(program));
    QCOMPARE(desktop.value("Path").toString(), QFileInfo(program).absolutePath());
    QCOMPARE(desktop.value("Icon").toString(), QString("boardgame-launcher"));

    // Started as a menu would, from the home folder: it runs from its installed tree.
    QProcess* launcher = startLauncher(QDir::homePath(), program, true);
    QVERIFY(waitForReaders(launcher, out));
    QCOMPARE(out.count("buffer"), kReaders);
    QTest::qWait(300);
    VERIFY_RUNNING(launcher);
}

void TestStartup::standardIconsAsBefore_data() {
    testsupport::addRows<int>(
        "icon", {{"tool bar arrow, across", QStyle::SP_ToolBarHorizontalExtensionButton},
                 {"tool bar arrow, down", QStyle::SP_ToolBarVerticalExtensionButton},
                 {"another icon", QStyle::SP_ArrowBack}});
}

void TestStartup::standardIconsAsBefore() {
    QFETCH(int, icon);
    const auto which = static_cast<QStyle::StandardPixmap>(icon);
    SmoothPictureStyle style;
    QProxyStyle plain;
    const QImage drawn = style.standardIcon(which).pixmap(16).toImage();
    QVERIFY(!drawn.isNull());
    QCOMPARE(drawn, plain.standardIcon(which).pixmap(16).toImage());
    QCOMPARE(style.standardIcon(which).availableSizes(),
             plain.standardIcon(which).availableSizes());
}

void TestStartup::picturesScaleSmoothly_data() {
    // "blended": colours between black and white appear.
    testsupport::addRows<int, bool>("scale", "blended",
                                    {{"scale 1: exactly as drawn", 1, false},
                                     {"scale 2: filtered", 2, true},
                                     {"scale 3: filtered", 3, true}});
}

void TestStartup::picturesScaleSmoothly() {
    QFETCH(int, scale);
    QFETCH(bool, blended);
    // A black and white checkerboard drawn as a label's picture is, on a painter scaled
    // as the desktop scales the window.
    QImage checker(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    QImage target(4 * scale, 4 * scale, QImage::Format_RGB32);
    target.fill(Qt::red);
    SmoothPictureStyle style;
    {
        QPainter painter(&target);
        painter.scale(scale, scale);
        style.drawItemPixmap(&painter, QRect(0, 0, 4, 4), Qt::AlignLeft | Qt::AlignTop,
                             QPixmap::fromImage(checker));
        QVERIFY(!painter.testRenderHint(QPainter::SmoothPixmapTransform)); // left as it was
    }
    int grey = 0;
    for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
            const QRgb pixel = target.pixel(x, y);
            QCOMPARE(qRed(pixel), qGreen(pixel)); // nothing of the red below shows
            grey += qRed(pixel) != 0 && qRed(pixel) != 255;
        }
    }
    QCOMPARE(grey > 0, blended);
    if (!blended) {
        QCOMPARE(target, checker);
    }
}

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
