#include <QtTest>

#include <memory>

#include <algorithm>
#include <atomic>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>

#include "FtpServerFixture.h"
#include "RunTreeFixture.h"
#include "TestSupport.h"
#include "ZipMaker.h"
#include "update/FtpDownloadView.h"
#include "update/FtpThread.h"
#include "update/ProgressEstimate.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"

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

    // Publishes download figures as the worker does: `done` of `total` bytes.
    void downloading(qint64 done, qint64 total) {
        bytesTotal = total;
        bytesDone = done;
        phase = FtpThread::Downloading;
    }

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
    QStringList reported; // what the panel reported, unless a test sets its own callback

    TestedPanel() {
        setFinishedCallback(
            [this](const std::string& name) { reported << QString::fromStdString(name); });
    }

    // Starts an update of `game` with a fake worker and returns the worker.
    FakeFtpThread* startFake(int game = 0) {
        start(game);
        return made.isEmpty() ? nullptr : static_cast<FakeFtpThread*>(made.last());
    }

protected:
    FtpThread* createThread(const std::string& gameName, bool repair) override {
        FtpThread* thread =
            fake ? new FakeFtpThread(gameName) : FtpDownloadView::createThread(gameName, repair);
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
    void figuresText_data();
    void figuresText();
    void estimate_data();
    void estimate();
    void zeroTotalKeepsBar();
    void unknownPhaseKeepsText();
    void finishReport_data();
    void finishReport();
    void workerCannotStart();
    void secondStartWhileRunningRefused();
    void startAgainFromReport();
    void realUpdateEndToEnd();
    void cancel_data();
    void cancel();
    void closingDuringUpdate();
    void screenshots();

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

    std::unique_ptr<testsupport::RunTreeFixture> tree;
};

namespace {
// The words of the figures' line, as the shipped catalogue has them.
const QByteArray figureWords =
    "<msg idx=\"205\" text=\"%1 of %2\"/><msg idx=\"206\" text=\"%1/s\"/>"
    "<msg idx=\"207\" text=\"about %1 left\"/>"
    "<msg idx=\"208\" text=\"%1 of %2 files\"/>";
} // namespace

void TestFtpDownloadView::initTestCase() {
    utility::XmlMsgParser::getInstance()->parse("<messages>" + figureWords +
                                                "<msg idx=\"200\" text=\"" + listingText.toUtf8() +
                                                "\"/>"
                                                "<msg idx=\"201\" text=\"" +
                                                downloadingText.toUtf8() +
                                                "\"/>"
                                                "<msg idx=\"202\" text=\"" +
                                                installingText.toUtf8() + "\"/></messages>");
    QCOMPARE(utility::XmlMsgParser::getInstance()->message(201), downloadingText);
}

void TestFtpDownloadView::init() {
    tree = std::make_unique<testsupport::RunTreeFixture>();
    QVERIFY(tree->isValid());
}

void TestFtpDownloadView::cleanup() {
    tree.reset();
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
    QVERIFY(bar(panel)->styleSheet().isEmpty()); // dressed only once shown
    panel.show();
    QVERIFY(!bar(panel)->styleSheet().isEmpty());
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
    FakeFtpThread* thread = panel.startFake();
    QVERIFY(thread);
    thread->phase = FtpThread::Listing;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), listingText, 5000);
    QCOMPARE(bar(panel)->value(), 0);

    thread->downloading(400, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 400, 5000);
    // Back to listing (a folder is listed): the figures are not shown, the bar stays.
    thread->bytesDone = 900;
    thread->phase = FtpThread::Listing;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), listingText, 5000);
    waitTicks(panel, 3);
    QCOMPARE(bar(panel)->value(), 400);
    thread->release.release();
}

void TestFtpDownloadView::figures_data() {
    QTest::addColumn<int>("phase");
    QTest::addColumn<qint64>("total"); // bytes of every file, or entries
    QTest::addColumn<qint64>("current");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line"); // how the figures' line begins
    QTest::newRow("500 of 2000 bytes")
        << 2 << 2000ll << 500ll << 250 << downloadingText << "500 B of 2.0 KB";
    QTest::newRow("entry 3 of 4") << 3 << 4ll << 3ll << 750 << installingText << "3 of 4 files";
    QTest::newRow("a third, truncated")
        << 3 << 3ll << 1ll << 333 << installingText << "1 of 3 files";
    QTest::newRow("complete") << 2 << 7ll << 7ll << 1000 << downloadingText << "7 B of 7 B";
    QTest::newRow("over 2 GiB in all")
        << 2 << 6000000000ll << 1500000000ll << 250 << downloadingText << "1.50 GB of 6.00 GB";
    QTest::newRow("more than announced")
        << 2 << 1000ll << 1500ll << 1000 << downloadingText << "1.5 KB of 1.0 KB";
}

void TestFtpDownloadView::figures() {
    QFETCH(int, phase);
    QFETCH(qint64, total);
    QFETCH(qint64, current);
    QFETCH(int, shown);
    QFETCH(QString, text);
    QFETCH(QString, line);
    TestedPanel panel;
    FakeFtpThread* thread = panel.startFake();
    if (phase == FtpThread::Downloading) {
        thread->bytesTotal = total;
        thread->bytesDone = current;
    } else {
        thread->total = int(total);
        thread->current = int(current);
    }
    thread->phase = phase;
    QTRY_COMPARE_WITH_TIMEOUT(status(panel)->text(), text, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), shown, 5000);
    auto* figures = panel.findChild<QLabel*>("figuresLabel");
    QVERIFY2(figures->text().startsWith(line), qPrintable(figures->text()));
    thread->release.release();
}

void TestFtpDownloadView::figuresText_data() {
    QTest::addColumn<bool>("worded"); // the catalogue has the figures' words
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<double>("speed");
    QTest::addColumn<qint64>("left");
    QTest::addColumn<QString>("expected");
    const QString dot = QString::fromUtf8(" \u00b7 ");
    QTest::newRow("before any speed")
        << true << 12400000ll << 30000000ll << 0.0 << -1ll << "12.4 MB of 30.0 MB";
    QTest::newRow("speed, time not steady yet") << true << 12400000ll << 30000000ll << 2.0e6 << -1ll
                                                << "12.4 MB of 30.0 MB" + dot + "2.0 MB/s";
    QTest::newRow("all figures") << true << 12400000ll << 30000000ll << 2.0e6 << 9ll
                                 << "12.4 MB of 30.0 MB" + dot + "2.0 MB/s" + dot +
                                        "about 9 s left";
    QTest::newRow("minutes, rounded up")
        << true << 0ll << 999ll << 512.0 << 150ll
        << "0 B of 999 B" + dot + "512 B/s" + dot + "about 3 min left";
    QTest::newRow("999.96 KB rounds to the next unit")
        << true << 999960ll << 2000000ll << 0.0 << -1ll << "1.0 MB of 2.0 MB";
    QTest::newRow("hours") << true << 1500ll << 2500000000ll << 45000.0 << 3900ll
                           << "1.5 KB of 2.50 GB" + dot + "45.0 KB/s" + dot +
                                  "about 1 h 5 min left";
    QTest::newRow("catalogue without the words")
        << false << 12400000ll << 30000000ll << 2.0e6 << 9ll
        << "12.4 MB / 30.0 MB" + dot + "2.0 MB/s" + dot + "9 s";
}

void TestFtpDownloadView::figuresText() {
    QFETCH(bool, worded);
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(double, speed);
    QFETCH(qint64, left);
    QFETCH(QString, expected);
    auto* messages = utility::XmlMsgParser::getInstance();
    const QString words = messages->message(205);
    if (!worded) {
        messages->message(205) = messages->message(206) = QString();
        messages->message(207) = "no place for the figure";
        messages->message(208) = "%1 files";
    }
    const QString line = FtpDownloadView::downloadFigures(done, total, speed, left);
    const QString install = FtpDownloadView::installFigures(142, 310);
    initTestCase(); // the whole catalogue back
    QCOMPARE(line, expected);
    QCOMPARE(install, worded ? QString("142 of 310 files") : QString("142 / 310"));
    QCOMPARE(messages->message(205), words);
}

void TestFtpDownloadView::estimate_data() {
    QTest::addColumn<QList<qint64>>("rates");   // bytes per second, one value per 0.5 s
    QTest::addColumn<double>("speed");          // expected, within 1 %
    QTest::addColumn<qint64>("secondsFor10MB"); // -1: no time left yet
    const auto repeat = [](int count, qint64 rate) {
        return QVector<qint64>(count, rate).toList();
    };
    QTest::newRow("steady 2 MB/s") << repeat(8, 2000000) << 2.0e6 << 5ll;
    QTest::newRow("a burst long ago")
        << (repeat(2, 20000000) + repeat(8, 1000000)) << 1.0e6 << 10ll;
    QTest::newRow("only 2 s so far") << repeat(4, 2000000) << 2.0e6 << -1ll;
    QTest::newRow("stalled") << repeat(8, 0) << 0.0 << -1ll;
}

void TestFtpDownloadView::estimate() {
    QFETCH(QList<qint64>, rates);
    QFETCH(double, speed);
    QFETCH(qint64, secondsFor10MB);
    ProgressEstimate estimate;
    // A finished earlier download must not count: its bytes were higher.
    estimate.sample(0, 900000000);
    qint64 bytes = 0;
    qint64 msecs = 1000;
    estimate.sample(msecs, bytes);
    for (qint64 rate : rates) {
        for (int tick = 0; tick < 5; ++tick) { // the panel's ticks, 100 ms here
            msecs += 100;
            bytes += rate / 10;
            estimate.sample(msecs, bytes);
        }
    }
    QVERIFY2(qAbs(estimate.bytesPerSecond() - speed) <= speed * 0.01,
             qPrintable(QString::number(estimate.bytesPerSecond())));
    QCOMPARE(estimate.secondsLeft(10000000), secondsFor10MB);
}

void TestFtpDownloadView::zeroTotalKeepsBar() {
    TestedPanel panel;
    FakeFtpThread* thread = panel.startFake();
    thread->downloading(400, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 400, 5000);
    // Within a phase the bar never goes back: figures that shrink or vanish keep it.
    thread->bytesDone = 100;
    waitTicks(panel, 3);
    QCOMPARE(bar(panel)->value(), 400);
    thread->bytesTotal = 0;
    waitTicks(panel, 3);
    QCOMPARE(bar(panel)->value(), 400);
    // The installation is a phase of its own and starts from the beginning.
    thread->total = 4;
    thread->current = 1;
    thread->phase = FtpThread::Installing;
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 250, 5000);
    thread->release.release();
}

void TestFtpDownloadView::unknownPhaseKeepsText() {
    TestedPanel panel;
    FakeFtpThread* thread = panel.startFake();
    thread->downloading(1, 10);
    QTRY_COMPARE_WITH_TIMEOUT(bar(panel)->value(), 100, 5000);
    thread->bytesDone = 9;
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
    QStringList& names = panel.reported;
    panel.start(1);
    // Reported as a failure at once: nothing is left waiting for a worker.
    QCOMPARE(names, QStringList({""}));
    waitTicks(panel, 3);
    QCOMPARE(names.size(), 1);
    // And the next update can start.
    panel.stackSize = 0;
    FakeFtpThread* thread = panel.startFake(1);
    QVERIFY(thread);
    QTRY_VERIFY_WITH_TIMEOUT(thread->isRunning(), 5000);
    thread->phase = FtpThread::Installing;
    thread->release.release();
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({"", "Matgo"}), 5000);
}

void TestFtpDownloadView::secondStartWhileRunningRefused() {
    TestedPanel panel;
    QStringList& names = panel.reported;
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
    const QByteArray big = testsupport::randomBytes(256 << 10);
    const QString made = tree->root() + "/made.zip";
    QVERIFY(testsupport::makeZip(made, {{"Poker.exe", "program"}, {"data/big.bin", big}}));
    QFile zip(made);
    QVERIFY(zip.open(QIODevice::ReadOnly));
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", zip.readAll()));
    // Several files: one bar over all of them.
    QVERIFY(server.addFile("BoardGame/Poker/a.pak", testsupport::randomBytes(200000)));
    QVERIFY(server.addFile("BoardGame/Poker/b.pak", testsupport::randomBytes(200000)));
    FtpServerFixture::Options options;
    options.bytesPerSecond = 128 * 1024; // some five seconds, so the panel shows the download
    QVERIFY(server.start(options));
    utility::XmlServerParser::getInstance()->parse("<s><ftp url=\"" + server.url() + "\"/></s>");

    TestedPanel panel;
    panel.fake = false;
    QStringList& names = panel.reported;
    panel.start(0);
    // Sampled often: neither the worker's figure nor the bar may go back from one file
    // to the next.
    QList<qint64> done;
    QList<int> shown;
    FtpThread* thread = panel.made.last();
    QElapsedTimer clock;
    clock.start();
    while (names.isEmpty() && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (panel.made.isEmpty() || names.size() > 0 || thread->phase != FtpThread::Downloading) {
            continue;
        }
        if (done.isEmpty() || thread->bytesDone != done.last()) {
            done << thread->bytesDone;
        }
        if (status(panel)->text() == downloadingText) {
            shown << bar(panel)->value();
        }
        QThread::msleep(2);
    }
    QCOMPARE(names, QStringList({"Poker"}));
    QVERIFY2(done.size() >= 2, qPrintable(QString::number(done.size())));
    QVERIFY(std::is_sorted(done.begin(), done.end()));
    QVERIFY(std::is_sorted(shown.begin(), shown.end()));
    QVERIFY(shown.last() > 0);
    QCOMPARE(status(panel)->text(), QString());
    QCOMPARE(bar(panel)->value(), 0);
    QFile exe("../../../Poker/Poker.exe");
    QVERIFY(exe.open(QIODevice::ReadOnly));
    QCOMPARE(exe.readAll(), QByteArray("program"));
    QFile data("../../../Poker/data/big.bin");
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll(), big);
    QVERIFY(!QFile::exists("../../../Poker/Poker.zip"));
    QCOMPARE(server.fetched(), QStringList({"/BoardGame/Poker/Poker.zip", "/BoardGame/Poker/a.pak",
                                            "/BoardGame/Poker/b.pak"}));
}

void TestFtpDownloadView::cancel_data() {
    QTest::addColumn<int>("phase"); // the phase the player cancels in
    QTest::newRow("while downloading") << int(FtpThread::Downloading);
    QTest::newRow("while installing") << int(FtpThread::Installing);
    QTest::newRow("after the worker's last check") << int(FtpThread::NotStarted);
}

void TestFtpDownloadView::cancel() {
    QFETCH(int, phase);
    FtpServerFixture server;
    const QString made = tree->root() + "/made.zip";
    // Zeros inflate slowly enough to cancel in the middle of the first entry.
    QVERIFY(testsupport::makeZip(
        made, {{"big.bin", QByteArray(150 << 20, '\0')}, {"after.txt", "after"}}));
    QFile zip(made);
    QVERIFY(zip.open(QIODevice::ReadOnly));
    const QByteArray package = zip.readAll();
    QVERIFY(server.addFile("BoardGame/Poker/Poker.zip", package));
    QVERIFY(server.addFile("BoardGame/Poker/slow.pak", testsupport::randomBytes(2 << 20)));
    FtpServerFixture::Options options;
    options.bytesPerSecond = phase == FtpThread::Downloading ? 256 * 1024 : 0;
    QVERIFY(server.start(options));
    utility::XmlServerParser::getInstance()->parse("<s><ftp url=\"" + server.url() + "\"/></s>");

    TestedPanel panel;
    panel.fake = false;
    QStringList& names = panel.reported;
    panel.start(0);
    auto* button = panel.findChild<QPushButton*>("cancelButton");
    QVERIFY(!button->isHidden());
    FtpThread* thread = panel.made.last();
    QElapsedTimer waited;
    waited.start();
    // Into the second file's download, or into the first entry's unpacking.
    const auto reached = [&] {
        return phase == FtpThread::NotStarted
                   ? thread->isFinished()
                   : thread->phase == phase && (phase == FtpThread::Downloading
                                                    ? thread->bytesDone > package.size() + 50000
                                                    : thread->total == 2 && thread->current == 1);
    };
    while (!reached()) {
        QVERIFY(waited.elapsed() < 20000 && names.isEmpty());
        QThread::usleep(200);
    }
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(panel.wasCancelled());
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({""}), 10000);
    QVERIFY(button->isHidden());
    const QString staged = QString("../../../Poker/") + FtpThread::stagingName + "/data/";
    if (phase == FtpThread::Downloading) {
        // Stopped at once; what came stays for the next update, nothing was installed.
        QVERIFY(QFileInfo(staged + "slow.pak").size() > 0);
        QVERIFY(QFileInfo(staged + "slow.pak").size() < 2 << 20);
        QVERIFY(!QFile::exists("../../../Poker/big.bin"));
    } else if (phase == FtpThread::Installing) {
        // The entry being written was finished; the next was never begun.
        QCOMPARE(QFileInfo("../../../Poker/big.bin").size(), qint64(150 << 20));
        QVERIFY(!QFile::exists("../../../Poker/after.txt"));
    }
    // The next update is not refused.
    panel.start(0);
    QVERIFY(!panel.wasCancelled());
    QVERIFY(button->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(names, QStringList({"", "Poker"}), 60000);
    QCOMPARE(testsupport::readOrMissing("../../../Poker/after.txt"), QByteArray("after"));
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

// Not a check: with LAUNCHER_PANEL_SHOTS=<folder> set, pictures of the panel half way
// through a download (at a steady 2 MB/s) and through an installation, for the docs.
void TestFtpDownloadView::screenshots() {
    const QString folder = qEnvironmentVariable("LAUNCHER_PANEL_SHOTS");
    if (folder.isEmpty()) {
        QSKIP("set LAUNCHER_PANEL_SHOTS to a folder to take the panel's pictures");
    }
    utility::XmlMsgParser::getInstance()->load("script/msg.xml");
    TestedPanel panel;
    panel.resize(392, 192);
    panel.show();
    FakeFtpThread* thread = panel.startFake(1);
    thread->bytesTotal = 30000000;
    thread->phase = FtpThread::Downloading;
    QTimer feed;
    connect(&feed, &QTimer::timeout, [&] { thread->bytesDone += 100000; }); // 2 MB/s
    feed.start(50);
    QTRY_VERIFY_WITH_TIMEOUT(thread->bytesDone >= 12400000, 10000);
    feed.stop();
    waitTicks(panel, 2);
    QVERIFY(panel.grab().save(folder + "/panel-downloading.png"));
    thread->total = 310;
    thread->current = 142;
    thread->phase = FtpThread::Installing;
    waitTicks(panel, 3);
    QVERIFY(panel.grab().save(folder + "/panel-installing.png"));
    thread->release.release();
}
