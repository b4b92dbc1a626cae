#include <memory>
#include <utility>
#include <vector>

#include <QtTest>

#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "ButtonReports.h"
#include "DataRows.h"
#include "Pictures.h"
#include "archive/ResourceArchive.h"
#include "utility/XmlMsgParser.h"
#include "widgets/TopMenuLayout.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"

namespace {

using testsupport::pictureOf;
using testsupport::shownPicture;
using testsupport::testReader;

// The bar with every event recorded, inside a shown window.
struct Bar : testsupport::ButtonReports {
    QWidget window;
    TopMenuLayout* bar;
    std::vector<QPoint> moves;

    Bar() {
        window.resize(1024, 200);
        bar = new TopMenuLayout(&window);
        bar->resize(1024, 79);
        record(bar, {0, 1, 2, 3, 4, 5});
        bar->setMoveCallback([this](const QPoint& offset) { moves.push_back(offset); });
        window.show();
    }
    template <typename T> T* child(const char* name) const { return bar->findChild<T*>(name); }
};

// A mouse event as the platform window delivers it, with the given global position.
void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& global, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, widget->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

// The top bar: its buttons and tabs reporting by event number, the tabs excluding one
// another, and dragging the window by the bar.
class TestTopMenuLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void buttonsReportEveryState_data();
    void buttonsReportEveryState();
    void tabPressSwitchesTabs_data();
    void tabPressSwitchesTabs();
    void currentTabReportsNothing();
    void inactiveBarIgnoresButtonsButDrags();
    void dragReportsStepOffsets();
    void dragGrabsTheMouse();
    void rightButtonNeitherStartsNorEndsDrag();
    void dragWithoutMoveCallback();
    void captionsAndDividers();
};

void TestTopMenuLayout::initTestCase() {
    QVERIFY(testReader() != nullptr);
    QVERIFY(pictureOf("main/menu.png") != pictureOf("main/menupush.png"));
    QCOMPARE(testsupport::registerShippedFont(), 0);
    QVERIFY(utility::XmlMsgParser::getInstance()->load("script/msg.xml"));
}

void TestTopMenuLayout::buttonsReportEveryState_data() {
    testsupport::addRows<QString, int>(
        "name", "event", {{"minimise", "minimizeButton", 0}, {"close", "closeButton", 1}});
}

void TestTopMenuLayout::buttonsReportEveryState() {
    QFETCH(QString, name);
    QFETCH(int, event);
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    auto* button = bar.child<ZVButton>(name.toLatin1().constData());
    QVERIFY(button);

    testsupport::hoverClickLeave(button);

    QCOMPARE(bar.states(), (QList<int>{2, 1, 0, 0}));
    QVERIFY(bar.allFrom(button, event));
}

void TestTopMenuLayout::tabPressSwitchesTabs_data() {
    testsupport::addRows<int, int>("tab", "event",
                                   {{"tab2", 2, 3}, {"tab3", 3, 4}, {"tab4", 4, 5}});
}

void TestTopMenuLayout::tabPressSwitchesTabs() {
    QFETCH(int, tab);
    QFETCH(int, event);
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    ZVButtonTab* tabs[4];
    for (int i = 0; i < 4; ++i) {
        tabs[i] = bar.child<ZVButtonTab>(QByteArray("tab" + QByteArray::number(i + 1)));
        QVERIFY(tabs[i]);
    }
    QTest::mouseClick(tabs[tab - 1], Qt::LeftButton);

    QCOMPARE(bar.events(), QList<int>{event});
    QCOMPARE(bar.states(), QList<int>{1});
    QCOMPARE(bar.reports.front().button, static_cast<QPushButton*>(tabs[tab - 1]));
    for (int i = 0; i < 4; ++i) {
        const bool on = i == tab - 1;
        QCOMPARE(tabs[i]->isOn(), on);
        QCOMPARE(shownPicture(tabs[i]), pictureOf(on ? "main/menupush.png" : "main/menu.png"));
    }

    // Back to the first tab: it reports event 2 and the others go off.
    QTest::mouseClick(tabs[0], Qt::LeftButton);
    QCOMPARE(bar.events(), (QList<int>{event, 2}));
    QVERIFY(tabs[0]->isOn());
    QVERIFY(!tabs[tab - 1]->isOn());
}

void TestTopMenuLayout::currentTabReportsNothing() {
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    auto* tab1 = bar.child<ZVButtonTab>("tab1");
    auto* tab2 = bar.child<ZVButtonTab>("tab2");
    QTest::mouseClick(tab1, Qt::LeftButton); // current from the start
    QVERIFY(bar.reports.empty());
    QTest::mouseClick(tab2, Qt::LeftButton);
    QTest::mouseClick(tab2, Qt::LeftButton);
    QCOMPARE(bar.events(), QList<int>{3});
    // Even a tab turned back off behind the bar's back does not report the current page.
    tab2->setOn(false);
    QTest::mouseClick(tab2, Qt::LeftButton);
    QCOMPARE(bar.events(), QList<int>{3});
}

void TestTopMenuLayout::inactiveBarIgnoresButtonsButDrags() {
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    bar.bar->setActive(false);
    auto* minimize = bar.child<ZVButton>("minimizeButton");
    auto* tab3 = bar.child<ZVButtonTab>("tab3");
    const QImage normal = shownPicture(minimize);

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(minimize, &enter);
    QCOMPARE(shownPicture(minimize), normal);
    QTest::mousePress(minimize, Qt::LeftButton);
    QCOMPARE(shownPicture(minimize), normal);
    QTest::mouseRelease(minimize, Qt::LeftButton);
    QTest::mouseClick(bar.child<ZVButton>("closeButton"), Qt::LeftButton);
    QTest::mouseClick(tab3, Qt::LeftButton);
    QVERIFY(!tab3->isOn());
    QCOMPARE(shownPicture(tab3), pictureOf("main/menu.png"));
    QVERIFY(bar.reports.empty());

    auto* background = bar.child<QLabel>("background");
    const QPoint start = background->mapToGlobal(QPoint(500, 10));
    sendMouse(background, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(background, QEvent::MouseMove, start + QPoint(7, 3), Qt::NoButton, Qt::LeftButton);
    sendMouse(background, QEvent::MouseButtonRelease, start + QPoint(7, 3), Qt::LeftButton,
              Qt::NoButton);
    QCOMPARE(bar.moves, std::vector<QPoint>{QPoint(7, 3)});

    // Active again: the next press reports.
    bar.bar->setActive(true);
    QTest::mouseClick(tab3, Qt::LeftButton);
    QCOMPARE(bar.events(), QList<int>{4});
}

void TestTopMenuLayout::dragReportsStepOffsets() {
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    // Pressed on the background picture and on a divider: both reach the bar.
    const struct {
        const char* name;
        QPoint local;
    } places[] = {{"background", QPoint(500, 10)}, {"divider2", QPoint(0, 5)}};
    for (const auto& place : places) {
        bar.moves.clear();
        auto* label = bar.child<QLabel>(place.name);
        QVERIFY(label);
        const QPoint start = label->mapToGlobal(place.local);
        QCOMPARE(bar.window.childAt(bar.window.mapFromGlobal(start)), label);
        sendMouse(label, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        // Steps along both axes: each reports only its own step, x and y alike.
        for (int step = 1; step <= 3; ++step) {
            sendMouse(bar.bar, QEvent::MouseMove, start + QPoint(5 * step, -2 * step), Qt::NoButton,
                      Qt::LeftButton);
        }
        sendMouse(bar.bar, QEvent::MouseButtonRelease, start + QPoint(15, -6), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(bar.moves, (std::vector<QPoint>{QPoint(5, -2), QPoint(5, -2), QPoint(5, -2)}));
        // Moves after the release are no drag.
        sendMouse(bar.bar, QEvent::MouseMove, start + QPoint(30, 0), Qt::NoButton, Qt::NoButton);
        QCOMPARE(bar.moves.size(), std::size_t(3));
    }
    QVERIFY(bar.reports.empty());
}

void TestTopMenuLayout::dragGrabsTheMouse() {
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    // Through the platform window, as a player's press comes.
    const QPoint point(500, 10);
    QTest::mousePress(bar.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    QCOMPARE(QWidget::mouseGrabber(), bar.bar);
    // Far below the bar, out of its area: the grab still brings the move to the bar.
    QTest::mouseMove(bar.window.windowHandle(), point + QPoint(4, 100));
    QCOMPARE(bar.moves, std::vector<QPoint>{QPoint(4, 100)});
    QTest::mouseRelease(bar.window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                        point + QPoint(4, 100));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

void TestTopMenuLayout::rightButtonNeitherStartsNorEndsDrag() {
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    auto* background = bar.child<QLabel>("background");
    const QPoint start = background->mapToGlobal(QPoint(400, 12));

    sendMouse(background, QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    sendMouse(bar.bar, QEvent::MouseMove, start + QPoint(5, 0), Qt::NoButton, Qt::RightButton);
    QVERIFY(bar.moves.empty());
    sendMouse(background, QEvent::MouseButtonRelease, start + QPoint(5, 0), Qt::RightButton,
              Qt::NoButton);

    sendMouse(background, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(bar.bar, QEvent::MouseButtonRelease, start, Qt::RightButton, Qt::LeftButton);
    QCOMPARE(QWidget::mouseGrabber(), bar.bar);
    sendMouse(bar.bar, QEvent::MouseMove, start + QPoint(0, 6), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(bar.moves, std::vector<QPoint>{QPoint(0, 6)});
    sendMouse(bar.bar, QEvent::MouseButtonRelease, start + QPoint(0, 6), Qt::LeftButton,
              Qt::NoButton);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    // A box took the grab away before the release came: a later move with another button
    // is no drag.
    sendMouse(background, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    bar.bar->releaseMouse();
    sendMouse(bar.bar, QEvent::MouseMove, start + QPoint(9, 9), Qt::NoButton, Qt::RightButton);
    QCOMPARE(bar.moves, std::vector<QPoint>{QPoint(0, 6)});
}

void TestTopMenuLayout::dragWithoutMoveCallback() {
    QWidget window;
    window.resize(1024, 79);
    auto* bar = new TopMenuLayout(&window);
    bar->resize(1024, 79);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = bar->mapToGlobal(QPoint(500, 10));
    sendMouse(bar, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(bar, QEvent::MouseMove, start + QPoint(3, 0), Qt::NoButton, Qt::LeftButton);
    // A callback set in the middle of a drag sees only the step since the last move.
    std::vector<QPoint> moves;
    bar->setMoveCallback([&moves](const QPoint& offset) { moves.push_back(offset); });
    sendMouse(bar, QEvent::MouseMove, start + QPoint(5, 0), Qt::NoButton, Qt::LeftButton);
    sendMouse(bar, QEvent::MouseButtonRelease, start + QPoint(5, 0), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(moves, std::vector<QPoint>{QPoint(2, 0)});
}

void TestTopMenuLayout::captionsAndDividers() {
    Bar bar;
    QVERIFY(QTest::qWaitForWindowExposed(&bar.window));
    auto* messages = utility::XmlMsgParser::getInstance();
    for (int i = 1; i <= 4; ++i) {
        auto* tab = bar.child<ZVButtonTab>(QByteArray("tab" + QByteArray::number(i)));
        auto* caption = tab->findChild<QLabel*>();
        QVERIFY(caption);
        QVERIFY(!messages->message(i).isEmpty());
        QCOMPARE(caption->text(), messages->message(i));
        QCOMPARE(caption->font().family(), QFontDatabase::applicationFontFamilies(0).first());
        QCOMPARE(caption->font().pointSize(), 16);
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(Qt::white));
    }
    const QPixmap divide = loadPixmap(testReader(), "main/divide.png");
    QVERIFY(!divide.isNull());
    for (int i = 1; i <= 3; ++i) {
        auto* divider = bar.child<QLabel>(QByteArray("divider" + QByteArray::number(i)));
        QVERIFY(divider);
        QCOMPARE(divider->geometry(), QRect(QPoint(256 * i - 1, 46), divide.size()));
        QVERIFY(divider->isVisible());
    }
}

QTEST_MAIN(TestTopMenuLayout)
#include "TestTopMenuLayout.moc"
