#include <memory>

#include <QtTest>

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

#include "ButtonReports.h"
#include "DataRows.h"
#include "Pictures.h"
#include "archive/ResourceArchive.h"
#include "update/GameView.h"
#include "utility/XmlMsgParser.h"
#include "widgets/ZVButton.h"

namespace {

using testsupport::pictureOf;
using testsupport::shownPicture;
using testsupport::testReader;

const char* const kButtons[4] = {"pokerButton", "matgoButton", "hongsipButton", "majongButton"};
const char* const kPressed[4] = {"main/7poker_push.png", "main/gos_push.png", "main/hongs_push.png",
                                 "main/majong_push.png"};
const QString kSuffix = QStringLiteral(" players");

using Report = testsupport::ButtonReports::Report;

// The page in a shown window with a recording handler for each game in `games`.
struct Page : testsupport::ButtonReports {
    QWidget window;
    GameView* view;

    explicit Page(const QList<int>& games = {0, 1, 2, 3}) {
        window.resize(1024, 611);
        view = new GameView(&window);
        view->resize(1024, 611);
        record(view, games);
        window.show();
    }
    ZVButton* button(int game) const { return view->findChild<ZVButton*>(kButtons[game]); }
    QLabel* counter(int game) const { return button(game)->findChild<QLabel*>("countLabel"); }
};

} // namespace

// The game page: counters, forwarding of the game buttons' reports, and the inert page.
class TestGameView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void countersStartAtZero();
    void setConnCount_data();
    void setConnCount();
    void buttonsForwardEveryState_data();
    void buttonsForwardEveryState();
    void inactivePageForwardsNothing();
    void gameWithoutHandler();
    void pressOnCounterReachesButton_data();
    void pressOnCounterReachesButton();
    void layout();
};

void TestGameView::initTestCase() {
    QVERIFY(testReader() != nullptr);
    QCOMPARE(testsupport::registerShippedFont(), 0);
    // A catalogue of the test's own, so that the suffix is known here.
    QVERIFY(
        utility::XmlMsgParser::getInstance()->parse("<m><msg idx=\"12\" text=\" players\"/></m>"));
    QCOMPARE(utility::XmlMsgParser::getInstance()->message(12), kSuffix);
}

void TestGameView::countersStartAtZero() {
    Page page;
    QCOMPARE(page.view->currentGame, 4);
    const QString family = QFontDatabase::applicationFontFamilies(0).first();
    for (int game = 0; game < 4; ++game) {
        QLabel* counter = page.counter(game);
        QVERIFY(counter);
        QCOMPARE(counter->text(), QStringLiteral("0") + kSuffix);
        QCOMPARE(counter->font().family(), family);
        QCOMPARE(counter->font().pointSize(), 20);
        QCOMPARE(counter->alignment(), Qt::AlignRight | Qt::AlignHCenter);
        QCOMPARE(counter->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(counter->foregroundRole(), QPalette::WindowText);
    }
}

void TestGameView::setConnCount_data() {
    QTest::addColumn<int>("game");
    QTest::addColumn<int>("changed"); // -1: none
    QTest::newRow("poker") << 0 << 0;
    QTest::newRow("matgo") << 1 << 1;
    QTest::newRow("hongsip") << 2 << 2;
    QTest::newRow("majong") << 3 << 3;
    QTest::newRow("no game") << 4 << -1;
    QTest::newRow("negative") << -1 << -1;
    QTest::newRow("far out") << 1000 << -1;
}

void TestGameView::setConnCount() {
    QFETCH(int, game);
    QFETCH(int, changed);
    Page page;
    page.view->setConnCount(game, QStringLiteral("1,234"));
    for (int i = 0; i < 4; ++i) {
        const QString expected = (i == changed ? QStringLiteral("1,234") : QStringLiteral("0"));
        QCOMPARE(page.counter(i)->text(), expected + kSuffix);
        QCOMPARE(page.counter(i)->textFormat(), Qt::PlainText); // the server's text, not markup
    }
}

void TestGameView::buttonsForwardEveryState_data() {
    testsupport::addRows<int>("game", {{"poker", 0}, {"matgo", 1}, {"hongsip", 2}, {"majong", 3}});
}

void TestGameView::buttonsForwardEveryState() {
    QFETCH(int, game);
    Page page;
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    ZVButton* button = page.button(game);
    QVERIFY(button);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(shownPicture(button), pictureOf(kPressed[game]));
    QTest::mouseRelease(button, Qt::LeftButton);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);

    QCOMPARE(page.states(), (QList<int>{2, 1, 0, 0}));
    QVERIFY(page.allFrom(button, game));
}

void TestGameView::inactivePageForwardsNothing() {
    Page page;
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    page.view->setActive(false);
    for (int game = 0; game < 4; ++game) {
        ZVButton* button = page.button(game);
        const QImage normal = shownPicture(button);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(button, &enter);
        QCOMPARE(shownPicture(button), normal);
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(shownPicture(button), normal);
        QTest::mouseRelease(button, Qt::LeftButton);
    }
    QVERIFY(page.reports.empty());

    page.view->setActive(true);
    QTest::mouseClick(page.button(2), Qt::LeftButton);
    QCOMPARE(page.reports.size(), std::size_t(2));
    QCOMPARE(page.reports[0].event, 2);
    QCOMPARE(page.reports[0].state, 1);
}

void TestGameView::gameWithoutHandler() {
    Page page({0, 2});
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    QTest::mouseClick(page.button(1), Qt::LeftButton);
    QTest::mouseClick(page.button(3), Qt::LeftButton);
    QVERIFY(page.reports.empty());
    // A handler set later is used from then on.
    page.view->setCallback(3, [&page](QPushButton* button, int state) {
        page.reports.push_back({3, button, state});
    });
    QTest::mouseClick(page.button(3), Qt::LeftButton);
    QCOMPARE(page.reports.size(), std::size_t(2));
}

void TestGameView::pressOnCounterReachesButton_data() {
    buttonsForwardEveryState_data();
}

void TestGameView::pressOnCounterReachesButton() {
    QFETCH(int, game);
    Page page;
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    ZVButton* button = page.button(game);
    QLabel* counter = page.counter(game);
    QVERIFY(button->rect().contains(counter->geometry()));
    const QPoint point = button->mapTo(&page.window, counter->geometry().center());
    QCOMPARE(page.window.childAt(point), button);
    QTest::mousePress(page.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(page.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    bool pressed = false;
    for (const Report& report : page.reports) {
        QCOMPARE(report.event, game);
        pressed = pressed || report.state == 1;
    }
    QVERIFY(pressed);
}

void TestGameView::layout() {
    Page page;
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    const QPoint positions[4] = {{43, 39}, {362, 39}, {681, 39}, {43, 225}};
    for (int game = 0; game < 4; ++game) {
        QCOMPARE(page.button(game)->geometry(), QRect(positions[game], QSize(298, 162)));
        QCOMPARE(page.counter(game)->geometry(), QRect(198, 132, 90, 30));
    }
    auto* background = page.view->findChild<QLabel*>("background");
    const QPixmap base = loadPixmap(testReader(), "main/base.png");
    QVERIFY(!base.isNull());
    QCOMPARE(background->geometry(), QRect(QPoint(0, 0), base.size()));
}

QTEST_MAIN(TestGameView)
#include "TestGameView.moc"
