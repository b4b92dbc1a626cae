#include <QtTest>

#include "TestSupport.h"
#include "XvfbServer.h"

namespace {

const QString kLauncher = QStringLiteral(LAUNCHER_PATH);
const QString kWorkDir = QStringLiteral(LAUNCHER_WORKDIR);
// Every module that reads resources opens the archive once: main, the main window,
// the three catalogues/saved data, the three buttons' module, the login dialog, the
// top bar, the bottom menu, the game page and the download panel.
constexpr int kReaders = 11;

} // namespace

// The launcher as a process in a real X server: it shows its window from the run tree
// and without resources, and only one copy runs at a time.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void showsFromRunTree();
    void showsWithoutArchive();
    void secondCopyExitsAtOnce();

private:
    QProcess* startLauncher(const QString& workDir);
    bool waitForWindow(int count, int timeoutMs = 15000);

    testsupport::XvfbServer xvfb;
    QList<QProcess*> running;
};

void TestStartup::initTestCase() {
    QVERIFY2(xvfb.isRunning(), "Xvfb did not start");
    QVERIFY(QFile::exists(kLauncher));
}

void TestStartup::cleanup() {
    for (QProcess* process : running) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
    running.clear();
    QTRY_COMPARE_WITH_TIMEOUT(xvfb.viewableWindows(1024, 768), 0, 10000);
}

QProcess* TestStartup::startLauncher(const QString& workDir) {
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", xvfb.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workDir);
    process->start(kLauncher, QStringList());
    running.append(process);
    return process;
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
    QCOMPARE(launcher->state(), QProcess::Running);
    launcher->kill();
    launcher->waitForFinished();
    QVERIFY(!launcher->readAllStandardOutput().contains("failed"));
}

void TestStartup::showsWithoutArchive() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("Launcher/bin/release"));
    QProcess* launcher = startLauncher(dir.filePath("Launcher/bin/release"));
    QVERIFY(launcher->waitForStarted());
    QVERIFY2(waitForWindow(1), "no window without resources");
    QCOMPARE(launcher->state(), QProcess::Running);
    launcher->kill();
    launcher->waitForFinished();
    const QByteArray out = launcher->readAllStandardOutput();
    QCOMPARE(out.count("Get data from file(../../resource/res.dat) failed!"), kReaders);
    QCOMPARE(out,
             QByteArray("Get data from file(../../resource/res.dat) failed!").repeated(kReaders));
}

void TestStartup::secondCopyExitsAtOnce() {
    QProcess* first = startLauncher(kWorkDir);
    QVERIFY(waitForWindow(1));

    QProcess* second = startLauncher(kWorkDir);
    QVERIFY(second->waitForFinished(5000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 255);
    QCOMPARE(xvfb.viewableWindows(1024, 768), 1);
    QCOMPARE(first->state(), QProcess::Running);

    // The lock goes with the process, however it ends.
    first->kill();
    QVERIFY(first->waitForFinished());
    QProcess* third = startLauncher(kWorkDir);
    QVERIFY2(waitForWindow(1), "a new copy did not start after the first ended");
    QCOMPARE(third->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
