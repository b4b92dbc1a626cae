#include <QtTest>

#include <atomic>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>

#include "FtpDownloadView.h"
#include "FtpServerFixture.h"
#include "FtpThread.h"
#include "TestSupport.h"
#include "XmlMsgParser.h"
#include "XmlServerParser.h"
#include "ZipMaker.h"

using testsupport::FtpServerFixture;

namespace {

const QString listingText = "Looking for files";
const QString downloadingText = "Downloading";
const QString installingText = "Installing";

// A worker whose figures the test sets by hand; it runs until released (or told to stop).
class FakeFtpThread : public FtpThread {
public:
    using FtpThread::FtpThread;
    ~FakeFtpThread() override {
        requestInterruption();
        wait();
    }
    QSemaphore release;

protected:
    void run() override {
        while (!release.tryAcquire(1, 10) && !isInterruptionRequested()) {
        }
    }
};

// The panel with its worker replaced by a fake, when asked.
class TestedPanel : public FtpDownloadView {
public:
    bool fake = true;
    uint stackSize = 0; // 1 makes the system refuse the thread
    QList<FtpThread*> made;

protected:
    FtpThread* createThread(const std::string& gameName) override {
        FtpThread* thread =
            fake ? new FakeFtpThread(gameName) : FtpDownloadView::createThread(gameName);
        thread->setStackSize(stackSize);
        made << thread;
        return thread;
    }
};

} // namespace

// The progress panel: what it shows for the worker's phase and figures, its single report,
// and real updates from a loopback FTP server, including closing during one.
class TestFtpDownloadView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void idleTicksDoNothing();
    void timerReachesPanelSlot();
    void listingShowsMessageBarUnchanged();
    void figures_data();
    void figures();
    void zeroTotalKeepsBar();
    void unknownPhaseKeepsText();
    void finishReport_data();
    void finishReport();
    void workerCannotStart();
    void secondStartWhileRunningRefused();
    void startAgainFromReport();
    void realUpdateEndToEnd();
    void closingDuringUpdate();

private:
    static QLabel* status(FtpDownloadView& panel) {
        return panel.findChild<QLabel*>("statusLabel");
    }
    static QProgressBar* bar(FtpDownloadView& panel) {
        return panel.findChild<QProgressBar*>("progressBar");
    }
    static FakeFtpThread* fake(TestedPanel& panel) {
        return panel.made.isEmpty() ? nullptr : static_cast<FakeFtpThread*>(panel.made.last());
    }
    void waitTicks(FtpDownloadView& panel, int ticks);

    QTemporaryDir* tmp = nullptr;
    QString savedCwd;
};

void TestFtpDownloadView::initTestCase() {
    utility::XmlMsgParser::getInstance()->parse("<messages><msg idx=\"200\" text=\"" +
                                                listingText.toUtf8() +
                                                "\"/>"
                                                "<msg idx=\"201\" text=\"" +
                                                downloadingText.toUtf8() +
                                                "\"/>"
                                                "<msg idx=\"202\" text=\"" +
                                                installingText.toUtf8() + "\"/></messages>");
    QCOMPARE(utility::XmlMsgParser::getInstance()->message(201), downloadingText);
}

void TestFtpDownloadView::init() {
    tmp = new QTemporaryDir;
    QVERIFY(tmp->isValid());
    QVERIFY(QDir().mkpath(tmp->path() + "/launcher/bin/release"));
    savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp->path() + "/launcher/bin/release"));
}

void TestFtpDownloadView::cleanup() {
    QDir::setCurrent(savedCwd);
    delete tmp;
    tmp = nullptr;
}

void TestFtpDownloadView::waitTicks(FtpDownloadView& panel, int ticks) {
    QTimer* timer = panel.findChild<QTimer*>();
    QVERIFY(timer);
    QSignalSpy spy(timer, SIGNAL(timeout()));
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= ticks, 5000);
}

void TestFtpDownloadView::idleTicksDoNothing() {
    TestedPanel panel;
    int calls = 0;
    panel.setFinishedCallback([&](const std::string&) { ++calls; });
    waitTicks(panel, 3);
    QCOMPARE(status(panel)->text(), QString());
    QCOMPARE(bar(panel)->value(), 0);
    QCOMPARE(calls, 0);
    QVERIFY(panel.made.isEmpty());
}

void TestFtpDownloadView::timerReachesPanelSlot() {
    TestedPanel panel;
    const QMetaObject* meta = &FtpDownloadView::staticMetaObject;
    QCOMPARE(meta->className(), "FtpDownloadView");
    // Exactly one slot of its own, and "update()" resolves to it, not to QWidget's repaint.
    int ownSlots = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        ownSlots += meta->method(i).methodType() == QMetaMethod::Slot;
    }
    QCOMPARE(ownSlots, 1);
    const int index = panel.metaObject()->indexOfSlot("update()");
    QVERIFY(index >= meta->methodOffset());
    QCOMPARE(panel.metaObject()->method(index).enclosingMetaObject(), meta);

    // And the running timer delivers there: the text follows the worker.
    panel.start(0);
    fake(panel)->phase = FtpThread::Downloading;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), downloadingText, 5000);
    fake(panel)->release.release();
}

void TestFtpDownloadView::listingShowsMessageBarUnchanged() {
    TestedPanel panel;
    panel.start(0);
    FakeFtpThread* thread = fake(panel);
    QVERIFY(thread);
    thread->phase = FtpThread::Listing;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), listingText, 5000);
    QCOMPARE(bar(panel)->value(), 0);

    thread->total = 1000;
    thread->current = 400;
    thread->phase = FtpThread::Downloading;
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 400, 5000);
    // Back to listing (a folder is listed): the figures are not shown, the bar stays.
    thread->current = 900;
    thread->phase = FtpThread::Listing;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), listingText, 5000);
    waitTicks(panel, 3);
    QCOMPARE(bar(panel)->value(), 400);
    thread->release.release();
}

void TestFtpDownloadView::figures_data() {
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("text");
    QTest::newRow("500 of 2000 bytes") << 2 << 2000 << 500 << 250 << downloadingText;
    QTest::newRow("entry 3 of 4") << 3 << 4 << 3 << 750 << installingText;
    QTest::newRow("a third, truncated") << 3 << 3 << 1 << 333 << installingText;
    QTest::newRow("single precision") << 2 << 1000 << 251 << 250 << downloadingText;
    QTest::newRow("complete") << 2 << 7 << 7 << 1000 << downloadingText;
    QTest::newRow("large file") << 2 << 209715200 << 104857600 << 500 << downloadingText;
}

void TestFtpDownloadView::figures() {
    QFETCH(int, phase);
    QFETCH(int, total);
    QFETCH(int, current);
    QFETCH(int, shown);
    QFETCH(QString, text);
    TestedPanel panel;
    panel.start(0);
    FakeFtpThread* thread = fake(panel);
    thread->total = total;
    thread->current = current;
    thread->phase = phase;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), text, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), shown, 5000);
    thread->release.release();
}

void TestFtpDownloadView::zeroTotalKeepsBar() {
    TestedPanel panel;
    panel.start(0);
    FakeFtpThread* thread = fake(panel);
    thread->total = 4;
    thread->current = 2;
    thread->phase = FtpThread::Installing;
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 500, 5000);
    // The next download has not reported yet.
    thread->total = 0;
    thread->current = 0;
    thread->phase = FtpThread::Downloading;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), downloadingText, 5000);
    waitTicks(panel, 3);
    QCOMPARE(bar(panel)->value(), 500);
    thread->release.release();
}

void TestFtpDownloadView::unknownPhaseKeepsText() {
    TestedPanel panel;
    panel.start(0);
    FakeFtpThread* thread = fake(panel);
    thread->total = 10;
    thread->current = 1;
    thread->phase = FtpThread::Downloading;
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 100, 5000);
    thread->current = 9;
    thread->phase = 0;
    waitTicks(panel, 3);
    QCOMPARE(status(panel)->text(), downloadingText);
    QCOMPARE(bar(panel)->value(), 100);
    thread->release.release();
}

void TestFtpDownloadView::finishReport_data() {
    QTest::addColumn<int>("game");
    QTest::addColumn<int>("phase");
    QTest::addColumn<QString>("reported");
    QTest::newRow("Poker installed") << 0 << 3 << "Poker";
    QTest::newRow("Matgo installed") << 1 << 3 << "Matgo";
    QTest::newRow("Hongsip installed") << 2 << 3 << "Hongsip";
    QTest::newRow("Majong installed") << 3 << 3 << "Majong";
    QTest::newRow("nothing found") << 0 << -1 << "";
    QTest::newRow("failed") << 0 << -2 << "";
}

void TestFtpDownloadView::finishReport() {
    QFETCH(int, game);
    QFETCH(int, phase);
    QFETCH(QString, reported);
    TestedPanel panel;
    QStringList names;
    QList<QThread*> callers;
    panel.setFinishedCallback([&](const std::string& name) {
        names << QString::fromStdString(name);
        callers << QThread::currentThread();
    });
    panel.start(game);
    FakeFtpThread* thread = fake(panel);
    QSignalSpy destroyed(thread, SIGNAL(destroyed()));
    thread->total = 4;
    thread->current = 2;
    thread->phase = FtpThread::Installing;
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 500, 5000);
    thread->phase = phase;
    thread->release.release();

    QTRY_COMPARE_WITH_TIMEOUT(names.size(), 1, 5000);
    QCOMPARE(names.first(), reported);
    QCOMPARE(callers.first(), qApp->thread());
    QCOMPARE(destroyed.count(), 1); // the finished worker is deleted
    QCOMPARE(status(panel)->text(), QString());
    QCOMPARE(bar(panel)->value(), 0);
    waitTicks(panel, 3);
    QCOMPARE(names.size(), 1);
    // The game folder is prepared before the worker starts.
    QVERIFY(QDir(QString("../../../") + reported).exists());
}

void TestFtpDownloadView::workerCannotStart() {
    TestedPanel panel;
    panel.stackSize = 1;
    QStringList names;
    panel.setFinishedCallback(
        [&](const std::string& name) { names << QString::fromStdString(name); });
    panel.start(1);
    // Reported as a failure at once: nothing is left waiting for a worker.
    QCOMPARE(names, QStringList({""}));
    waitTicks(panel, 3);
    QCOMPARE(names.size(), 1);
    // And the next update can start.
    panel.stackSize = 0;
    panel.start(1);
    FakeFtpThread* thread = fake(panel);
    QVERIFY(thread);
    QTRY_VERIFY_WITH_TIMEOUT(thread->isRunning(), 5000);
    thread->phase = FtpThread::Installing;
    thread->release.release();
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({"", "Matgo"}), 5000);
}

void TestFtpDownloadView::secondStartWhileRunningRefused() {
    TestedPanel panel;
    QStringList names;
    panel.setFinishedCallback(
        [&](const std::string& name) { names << QString::fromStdString(name); });
    panel.start(0);
    panel.start(1);
    QCOMPARE(panel.made.size(), 1);
    fake(panel)->phase = FtpThread::Installing;
    fake(panel)->release.release();
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({"Poker"}), 5000);
    waitTicks(panel, 3);
    QCOMPARE(names, QStringList({"Poker"}));
}

void TestFtpDownloadView::startAgainFromReport() {
    TestedPanel panel;
    QStringList names;
    panel.setFinishedCallback([&](const std::string& name) {
        names << QString::fromStdString(name);
        if (names.size() == 1) {
            panel.start(1); // the next update, straight from the report
        }
    });
    panel.start(0);
    fake(panel)->phase = FtpThread::Installing;
    fake(panel)->release.release();
    QTRY_COMPARE_WITH_TIMEOUT(panel.made.size(), 2, 5000);
    fake(panel)->phase = FtpThread::Installing;
    fake(panel)->release.release();
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({"Poker", "Matgo"}), 5000);
}

void TestFtpDownloadView::realUpdateEndToEnd() {
    FtpServerFixture server;
    const QByteArray big = testsupport::randomBytes(1 << 20);
    const QString made = tmp->path() + "/made.zip";
    QVERIFY(testsupport::makeZip(made, {{"Poker.exe", "program"}, {"data/big.bin", big}}));
    QFile zip(made);
    QVERIFY(zip.open(QIODevice::ReadOnly));
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", zip.readAll()));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 512 * 1024; // about two seconds, so the panel shows the download
    QVERIFY(server.start(options));
    utility::XmlServerParser::getInstance()->parse("<s><ftp url=\"" + server.url() + "\"/></s>");

    TestedPanel panel;
    panel.fake = false;
    QStringList names;
    panel.setFinishedCallback(
        [&](const std::string& name) { names << QString::fromStdString(name); });
    panel.start(0);
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), downloadingText, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(bar(panel)->value() > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({"Poker"}), 30000);
    QCOMPARE(status(panel)->text(), QString());
    QCOMPARE(bar(panel)->value(), 0);
    QFile exe("../../../Poker/Poker.exe");
    QVERIFY(exe.open(QIODevice::ReadOnly));
    QCOMPARE(exe.readAll(), QByteArray("program"));
    QFile data("../../../Poker/data/big.bin");
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll(), big);
    QVERIFY(!QFile::exists("../../../Poker/Poker.zip"));
    QCOMPARE(server.paths("RETR"), QStringList({"/BoardGame/Poker/Poker.zip"}));
}

void TestFtpDownloadView::closingDuringUpdate() {
    FtpServerFixture server;
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", testsupport::randomBytes(4 << 20)));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 128 * 1024; // half a minute for the whole file
    QVERIFY(server.start(options));
    utility::XmlServerParser::getInstance()->parse("<s><ftp url=\"" + server.url() + "\"/></s>");

    auto* panel = new TestedPanel;
    panel->fake = false;
    int calls = 0;
    panel->setFinishedCallback([&](const std::string&) { ++calls; });
    panel->start(0);
    QTRY_VERIFY_WITH_TIMEOUT(bar(*panel)->value() > 0, 10000);
    QSignalSpy destroyed(panel->made.first(), SIGNAL(destroyed()));
    QElapsedTimer clock;
    clock.start();
    delete panel; // waits for the worker, which abandons its transfer
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(destroyed.count(), 1);
    QCOMPARE(calls, 0);
    QVERIFY(!QFile::exists("../../../Poker/Poker.zip"));
}

QTEST_MAIN(TestFtpDownloadView)
#include "TestFtpDownloadView.moc"
