#include <memory>

#include <QtTest>

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ButtonReports.h"
#include "DataRows.h"
#include "Pictures.h"
#include "archive/ResourceArchive.h"
#include "utility/XmlMsgParser.h"
#include "widgets/BottomMenu.h"
#include "widgets/ZVButton.h"

namespace {

using testsupport::testReader;

using Report = testsupport::ButtonReports::Report;

// The bar with every event recorded, inside a shown window; the ticker's timer is
// stopped so that the test alone moves the notice.
struct Menu : testsupport::ButtonReports {
    QWidget window;
    BottomMenu* menu;
    QLabel* ticker;

    explicit Menu(bool stopTimer = true) {
        window.resize(1024, 78);
        menu = new BottomMenu(&window);
        menu->resize(1024, 78);
        record(menu, {0, 1, 2});
        if (stopTimer) {
            menu->findChild<QTimer*>()->stop();
        }
        ticker = menu->findChild<QLabel*>("tickerLabel");
        window.show();
    }
    void tick(int times) {
        for (int i = 0; i < times; ++i) {
            // By name, as the timer's connection finds it.
            QMetaObject::invokeMethod(menu, "update");
        }
    }
};

} // namespace

// The bottom menu: its buttons reporting by event number, the labels that must leave
// the mouse to the buttons, and the notice ticker.
class TestBottomMenu : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void tickerWrapsAfterItsWidth_data();
    void tickerWrapsAfterItsWidth();
    void timerDrivesTheTicker();
    void secondNoticeIsIgnored();
    void emptyNoticeLeavesRoom();
    void buttonsReport_data();
    void buttonsReport();
    void inactiveButtonsReportNothing();
    void coinTextLeavesTheMouseToButtons_data();
    void coinTextLeavesTheMouseToButtons();
    void labels();
    void serverTextIsPlain_data();
    void serverTextIsPlain();
    void longNoticeIsShortened_data();
    void longNoticeIsShortened();
};

void TestBottomMenu::initTestCase() {
    QVERIFY(testReader() != nullptr);
    QCOMPARE(testsupport::registerShippedFont(), 0);
    QVERIFY(utility::XmlMsgParser::getInstance()->load("script/msg.xml"));
}

void TestBottomMenu::tickerWrapsAfterItsWidth_data() {
    testsupport::addRows<QString>(
        "notice",
        {{"no notice yet", QString()},
         {"short notice", QStringLiteral("A:x")},
         {"two notices", QStringLiteral("Maintenance:Sunday 2am, Event:Double coins")},
         {"wider than the box",
          QString(QStringLiteral("Very long notice text that runs on and on, ")).repeated(4)}});
}

void TestBottomMenu::tickerWrapsAfterItsWidth() {
    QFETCH(QString, notice);
    Menu menu;
    QVERIFY(menu.ticker);
    if (!notice.isEmpty()) {
        menu.menu->setNotice(notice);
        QCOMPARE(menu.ticker->text(), notice);
        QCOMPARE(menu.ticker->width(), menu.ticker->fontMetrics().boundingRect(notice).width());
        QCOMPARE(menu.ticker->height(), 30);
    } else {
        QCOMPARE(menu.ticker->width(), 860);
    }
    QCOMPARE(menu.ticker->pos(), QPoint(0, 0));
    const int width = menu.ticker->width();
    QVERIFY(width > 0);

    menu.tick(width - 1);
    QCOMPARE(menu.ticker->pos(), QPoint(-(width - 1), 0));
    menu.tick(1);
    QCOMPARE(menu.ticker->pos(), QPoint(860, 0));
    menu.tick(1);
    QCOMPARE(menu.ticker->pos(), QPoint(859, 0));
    // Round again: from the right edge to gone takes 860 + width ticks.
    menu.tick(859 + width - 1);
    QCOMPARE(menu.ticker->pos(), QPoint(-(width - 1), 0));
    menu.tick(1);
    QCOMPARE(menu.ticker->pos(), QPoint(860, 0));
}

void TestBottomMenu::timerDrivesTheTicker() {
    Menu menu(false);
    auto* timer = menu.menu->findChild<QTimer*>();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 60);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());
    // The connection by signature must land on the ticker step, not on the repaint.
    const int x = menu.ticker->x();
    QTRY_VERIFY_WITH_TIMEOUT(menu.ticker->x() <= x - 2, 5000);
    // It keeps running while the bar is inactive.
    menu.menu->setActive(false);
    const int later = menu.ticker->x();
    QTRY_VERIFY_WITH_TIMEOUT(menu.ticker->x() != later, 5000);
}

void TestBottomMenu::secondNoticeIsIgnored() {
    Menu menu;
    menu.menu->setNotice(QStringLiteral("First:one"));
    const QRect geometry = menu.ticker->geometry();
    menu.tick(10);
    menu.menu->setNotice(QStringLiteral("Second notice, much longer than the first:two"));
    QCOMPARE(menu.ticker->text(), QStringLiteral("First:one"));
    QCOMPARE(menu.ticker->width(), geometry.width());
    QCOMPARE(menu.ticker->pos(), QPoint(-10, 0)); // not sent back to the start either
}

void TestBottomMenu::emptyNoticeLeavesRoom() {
    Menu menu;
    menu.menu->setNotice(QString());
    QVERIFY(menu.ticker->text().isEmpty());
    menu.menu->setNotice(QStringLiteral("Later:notice"));
    QCOMPARE(menu.ticker->text(), QStringLiteral("Later:notice"));
    QCOMPARE(menu.ticker->pos(), QPoint(0, 0));
}

void TestBottomMenu::buttonsReport_data() {
    testsupport::addRows<QString, int>("name", "event",
                                       {{"refresh", "refreshButton", 0},
                                        {"exit", "exitButton", 1},
                                        {"charge", "chargeButton", 2}});
}

void TestBottomMenu::buttonsReport() {
    QFETCH(QString, name);
    QFETCH(int, event);
    Menu menu;
    QVERIFY(QTest::qWaitForWindowExposed(&menu.window));
    auto* button = menu.menu->findChild<ZVButton*>(name);
    QVERIFY(button);
    testsupport::hoverClickLeave(button);
    QCOMPARE(menu.states(), (QList<int>{2, 1, 0, 0}));
    QVERIFY(menu.allFrom(button, event));
}

void TestBottomMenu::inactiveButtonsReportNothing() {
    Menu menu;
    QVERIFY(QTest::qWaitForWindowExposed(&menu.window));
    menu.menu->setActive(false);
    for (const char* name : {"refreshButton", "exitButton", "chargeButton"}) {
        auto* button = menu.menu->findChild<ZVButton*>(name);
        const QImage normal = button->icon().pixmap(button->iconSize()).toImage();
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(button, &enter);
        QCOMPARE(button->icon().pixmap(button->iconSize()).toImage(), normal);
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(button->icon().pixmap(button->iconSize()).toImage(), normal);
        QTest::mouseRelease(button, Qt::LeftButton);
    }
    QVERIFY(menu.reports.empty());
}

void TestBottomMenu::coinTextLeavesTheMouseToButtons_data() {
    testsupport::addRows<QString, int>(
        "name", "event", {{"refresh", "refreshButton", 0}, {"exit", "exitButton", 1}});
}

void TestBottomMenu::coinTextLeavesTheMouseToButtons() {
    QFETCH(QString, name);
    QFETCH(int, event);
    Menu menu;
    QVERIFY(QTest::qWaitForWindowExposed(&menu.window));
    menu.menu->setCoin(QStringLiteral("1,234,567,890,123,456 coins"));
    auto* button = menu.menu->findChild<ZVButton*>(name);
    auto* coin = menu.menu->findChild<QLabel*>("coinLabel");
    // A point of the button that the coin text covers.
    const QRect overlap = button->geometry() & coin->geometry();
    QVERIFY(!overlap.isEmpty());
    const QPoint point = menu.menu->mapTo(&menu.window, overlap.center());
    QCOMPARE(menu.window.childAt(point), button);

    QTest::mouseMove(menu.window.windowHandle(), point);
    QTest::mousePress(menu.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(menu.window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    QVERIFY(menu.states().contains(1));
    for (const Report& report : menu.reports) {
        QCOMPARE(report.event, event);
    }
}

void TestBottomMenu::labels() {
    Menu menu;
    menu.menu->setNick(QStringLiteral("player one"));
    menu.menu->setCoin(QStringLiteral("1000"));
    const QString family = QFontDatabase::applicationFontFamilies(0).first();
    QCOMPARE(menu.menu->findChild<QLabel*>("nickLabel")->text(), QStringLiteral("player one"));
    QCOMPARE(menu.menu->findChild<QLabel*>("coinLabel")->text(), QStringLiteral("1000"));
    QCOMPARE(menu.menu->findChild<QLabel*>("titleLabel")->text(),
             utility::XmlMsgParser::getInstance()->message(13));
    for (const char* name : {"titleLabel", "nickLabel", "coinLabel", "tickerLabel"}) {
        auto* label = menu.menu->findChild<QLabel*>(name);
        QVERIFY2(label, name);
        QCOMPARE(label->font().family(), family);
        QCOMPARE(label->font().pointSize(), 16);
        QCOMPARE(label->foregroundRole(), QPalette::WindowText);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    }
    for (const char* name : {"exitButton", "chargeButton"}) {
        auto* caption = menu.menu->findChild<ZVButton*>(name)->findChild<QLabel*>();
        QCOMPARE(caption->font().family(), family);
        QVERIFY(!caption->text().isEmpty());
    }
}

void TestBottomMenu::serverTextIsPlain_data() {
    testsupport::addRows<QString>(
        "label", {{"nickname", "nickLabel"}, {"coins", "coinLabel"}, {"notice", "tickerLabel"}});
}

// Markup from the service is shown as the characters it is made of; a picture it names,
// here a tall one on this machine, is never loaded into the label.
void TestBottomMenu::serverTextIsPlain() {
    QFETCH(QString, label);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString picture = dir.filePath("tall.png");
    QImage tall(20, 400, QImage::Format_RGB32);
    tall.fill(Qt::red);
    QVERIFY(tall.save(picture));
    const QString text = QString("<b>A</b><img src=\"%1\">").arg(picture);

    Menu menu;
    if (label == "nickLabel") {
        menu.menu->setNick(text);
    } else if (label == "coinLabel") {
        menu.menu->setCoin(text);
    } else {
        menu.menu->setNotice(text);
        QCOMPARE(menu.ticker->width(), menu.ticker->fontMetrics().boundingRect(text).width());
    }
    auto* shown = menu.menu->findChild<QLabel*>(label);
    QCOMPARE(shown->text(), text);
    QCOMPARE(shown->textFormat(), Qt::PlainText);
    QVERIFY2(shown->sizeHint().height() < 100,
             qPrintable(QString::number(shown->sizeHint().height())));
}

void TestBottomMenu::longNoticeIsShortened_data() {
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("shown");
    const QString limit = QString("n").repeated(2000);
    QTest::newRow("at the limit") << limit << limit;
    QTest::newRow("1 MB") << QString("x").repeated(1 << 20)
                          << QString("x").repeated(1999) + QChar(0x2026);
    // A character outside the BMP that would be cut in half stays whole or goes.
    const QString pair = QString::fromUcs4(U"\U0001F0A1");
    QTest::newRow("surrogate pair at the cut")
        << QString("y").repeated(1998) + pair + QString("z").repeated(10)
        << QString("y").repeated(1998) + QChar(0x2026);
}

void TestBottomMenu::longNoticeIsShortened() {
    QFETCH(QString, notice);
    QFETCH(QString, shown);
    Menu menu;
    menu.menu->setNotice(notice);
    QCOMPARE(menu.ticker->text(), shown);
    QCOMPARE(menu.ticker->width(), menu.ticker->fontMetrics().boundingRect(shown).width());
}

QTEST_MAIN(TestBottomMenu)
#include "TestBottomMenu.moc"
