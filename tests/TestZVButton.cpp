#include <functional>
#include <memory>
#include <utility>

#include <QtTest>

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

#include "ButtonReports.h"
#include "DataRows.h"
#include "Pictures.h"
#include "archive/ResourceArchive.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"
#include "widgets/ZVButtonToggle.h"

namespace {

using testsupport::pictureOf;
using testsupport::shownPicture;
using testsupport::testReader;

// Three distinct pictures of the archive, one per state code.
const QString kNormal = QStringLiteral("main/7poker.png");
const QString kPressed = QStringLiteral("main/7poker_push.png");
const QString kHover = QStringLiteral("main/7poker_roll.png");

QString pathOfCode(int code) {
    switch (code) {
    case 0:
        return kNormal;
    case 1:
        return kPressed;
    default:
        return kHover;
    }
}

// Every report a button makes.
using Recorder = testsupport::ButtonReports;

void sendEnter(QWidget* widget) {
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget* widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

template <typename Button> Button* makeButton(QWidget* parent, const QString& caption) {
    auto* button = new Button(parent);
    button->setImage(0, kNormal);
    button->setImage(1, kPressed);
    button->resize(298, 162);
    button->move(10, 10);
    button->setCaption(caption);
    return button;
}

// A tab or toggle alone in a shown window, starting on or off, reporting to `recorder`;
// null when the window did not show.
template <typename Button>
Button* shownTwoState(QWidget& window, const QString& caption, bool on, bool active,
                      Recorder& recorder) {
    window.resize(400, 300);
    auto* button = makeButton<Button>(&window, caption);
    button->setOn(on);
    button->setActive(active);
    button->setCallback(recorder.callback());
    window.show();
    return QTest::qWaitForWindowExposed(&window) ? button : nullptr;
}

} // namespace

// The three picture buttons driven by real mouse and enter/leave events: what they
// show, what they report and when they keep quiet.
class TestZVButton : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void plainButtonSequence_data();
    void plainButtonSequence();
    void picturesAreLookedUpOnEachChange();
    void noPictureBeforeFirstShow();
    void missingPictureGivesEmptyIcon_data();
    void missingPictureGivesEmptyIcon();
    void tabPress_data();
    void tabPress();
    void togglePressedTwice_data();
    void togglePressedTwice();
    void setOnNeverReports_data();
    void setOnNeverReports();
    void releaseAndHoverDoNothingOnTabAndToggle();
    void pressOnCaptionReachesButton_data();
    void pressOnCaptionReachesButton();
    void captionLook();
};

void TestZVButton::initTestCase() {
    QVERIFY2(testReader() != nullptr, "the run tree's res.dat must open");
    // The three pictures must differ, or the picture checks below could not fail.
    QVERIFY(!pictureOf(kNormal).isNull());
    QVERIFY(pictureOf(kNormal) != pictureOf(kPressed));
    QVERIFY(pictureOf(kNormal) != pictureOf(kHover));
    QVERIFY(pictureOf(kPressed) != pictureOf(kHover));
    // Start-up registers the archive's font as application font 0; do the same.
    QCOMPARE(testsupport::registerShippedFont(), 0);
}

void TestZVButton::plainButtonSequence_data() {
    QTest::addColumn<bool>("active");
    QTest::addColumn<QList<int>>("reports");
    QTest::addColumn<int>("enters");
    // Picture shown after entering, pressing, releasing and leaving.
    QTest::addColumn<QList<int>>("pictures");
    QTest::newRow("active") << true << QList<int>{2, 1, 0, 0} << 1 << QList<int>{2, 1, 0, 0};
    QTest::newRow("inactive") << false << QList<int>{} << 0 << QList<int>{1, 1, 0, 0};
}

void TestZVButton::plainButtonSequence() {
    QFETCH(bool, active);
    QFETCH(QList<int>, reports);
    QFETCH(int, enters);
    QFETCH(QList<int>, pictures);

    QWidget window;
    window.resize(400, 300);
    auto* button = makeButton<ZVButton>(&window, QString());
    button->setImage(2, kHover);
    Recorder recorder;
    button->setCallback(recorder.callback());
    button->showImage(1); // start lit, to see an inactive button return to normal
    button->setActive(active);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy enterSpy(button, SIGNAL(enter()));
    QSignalSpy denterSpy(button, SIGNAL(denter()));

    sendEnter(button);
    QCOMPARE(shownPicture(button), pictureOf(pathOfCode(pictures[0])));
    QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(shownPicture(button), pictureOf(pathOfCode(pictures[1])));
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(shownPicture(button), pictureOf(pathOfCode(pictures[2])));
    sendLeave(button);
    QCOMPARE(shownPicture(button), pictureOf(pathOfCode(pictures[3])));

    QCOMPARE(recorder.states(), reports);
    for (const auto& report : recorder.reports) {
        QCOMPARE(report.button, static_cast<QPushButton*>(button));
    }
    QCOMPARE(enterSpy.count(), enters);
    QCOMPARE(denterSpy.count(), 1);
}

void TestZVButton::picturesAreLookedUpOnEachChange() {
    ZVButton button(nullptr);
    button.setImage(0, kNormal);
    button.showImage(0);
    QCOMPARE(shownPicture(&button), pictureOf(kNormal));
    // A path changed after the picture went up is the one the next change shows.
    button.setImage(0, kHover);
    button.onRelease();
    QCOMPARE(shownPicture(&button), pictureOf(kHover));
    // With the archive's decrypted copy let go while unused, the next change reads it anew.
    ResourceArchive::releaseUnused(std::chrono::milliseconds(0));
    button.setImage(0, kNormal);
    button.onRelease();
    QCOMPARE(shownPicture(&button), pictureOf(kNormal));
}

void TestZVButton::noPictureBeforeFirstShow() {
    ZVButton button(nullptr);
    button.setImage(0, kNormal);
    QVERIFY(button.icon().isNull());
    ZVButtonTab tab(nullptr);
    tab.setImage(0, kNormal);
    QVERIFY(tab.icon().isNull());
}

void TestZVButton::missingPictureGivesEmptyIcon_data() {
    testsupport::addRows<bool, QString>(
        "registered", "path",
        {{"state never registered", false, QString()},
         {"entry not in the archive", true, QStringLiteral("main/nothing.png")},
         {"entry is no picture", true, QStringLiteral("script/msg.xml")},
         {"empty path", true, QString()}});
}

void TestZVButton::missingPictureGivesEmptyIcon() {
    QFETCH(bool, registered);
    QFETCH(QString, path);
    ZVButton button(nullptr);
    button.setImage(0, kNormal);
    button.showImage(0);
    QVERIFY(!button.icon().isNull());
    if (registered) {
        button.setImage(5, path);
    }
    button.showImage(5);
    QVERIFY(button.icon().isNull());
    QCOMPARE(button.iconSize(), QSize(0, 0));
}

void TestZVButton::tabPress_data() {
    QTest::addColumn<bool>("startOn");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QList<int>>("reports");
    QTest::addColumn<bool>("endOn");
    QTest::newRow("off, active: turns on") << false << true << QList<int>{1} << true;
    QTest::newRow("already on: ignored") << true << true << QList<int>{} << true;
    QTest::newRow("off, inactive: ignored") << false << false << QList<int>{} << false;
}

void TestZVButton::tabPress() {
    QFETCH(bool, startOn);
    QFETCH(bool, active);
    QFETCH(QList<int>, reports);
    QFETCH(bool, endOn);

    QWidget window;
    Recorder recorder;
    auto* tab =
        shownTwoState<ZVButtonTab>(window, QStringLiteral("tab"), startOn, active, recorder);
    QVERIFY(tab);

    QTest::mouseClick(tab, Qt::LeftButton);
    QCOMPARE(recorder.states(), reports);
    QCOMPARE(tab->isOn(), endOn);
    QCOMPARE(shownPicture(tab), pictureOf(endOn ? kPressed : kNormal));
    // A second press never turns a tab off and never reports again.
    QTest::mouseClick(tab, Qt::LeftButton);
    QCOMPARE(recorder.states(), reports);
    QCOMPARE(tab->isOn(), endOn);
}

void TestZVButton::togglePressedTwice_data() {
    QTest::addColumn<bool>("active");
    QTest::addColumn<QList<int>>("reports");
    QTest::addColumn<bool>("onAfterFirst");
    QTest::newRow("active") << true << QList<int>{1, 0} << true;
    QTest::newRow("inactive") << false << QList<int>{} << false;
}

void TestZVButton::togglePressedTwice() {
    QFETCH(bool, active);
    QFETCH(QList<int>, reports);
    QFETCH(bool, onAfterFirst);

    QWidget window;
    Recorder recorder;
    auto* toggle = shownTwoState<ZVButtonToggle>(window, QString(), false, active, recorder);
    QVERIFY(toggle);

    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(toggle->isOn(), onAfterFirst);
    QCOMPARE(shownPicture(toggle), pictureOf(onAfterFirst ? kPressed : kNormal));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(toggle->isOn(), false);
    QCOMPARE(shownPicture(toggle), pictureOf(kNormal));
    QCOMPARE(recorder.states(), reports);
}

void TestZVButton::setOnNeverReports_data() {
    testsupport::addRows<bool>("tab", {{"tab", true}, {"toggle", false}});
}

void TestZVButton::setOnNeverReports() {
    QFETCH(bool, tab);
    std::unique_ptr<QPushButton> button;
    Recorder recorder;
    std::function<void(bool)> setOn;
    if (tab) {
        auto* made = makeButton<ZVButtonTab>(nullptr, QString());
        made->setCallback(recorder.callback());
        setOn = [made](bool on) { made->setOn(on); };
        button.reset(made);
    } else {
        auto* made = makeButton<ZVButtonToggle>(nullptr, QString());
        made->setCallback(recorder.callback());
        setOn = [made](bool on) { made->setOn(on); };
        button.reset(made);
    }
    setOn(true);
    QCOMPARE(shownPicture(button.get()), pictureOf(kPressed));
    setOn(false);
    QCOMPARE(shownPicture(button.get()), pictureOf(kNormal));
    setOn(true);
    QVERIFY(recorder.reports.empty());
}

void TestZVButton::releaseAndHoverDoNothingOnTabAndToggle() {
    QWidget window;
    window.resize(800, 300);
    auto* tab = makeButton<ZVButtonTab>(&window, QString());
    auto* toggle = makeButton<ZVButtonToggle>(&window, QString());
    toggle->move(400, 10);
    tab->setOn(false);
    toggle->setOn(false);
    Recorder recorder;
    tab->setCallback(recorder.callback());
    toggle->setCallback(recorder.callback());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    for (QPushButton* button :
         {static_cast<QPushButton*>(tab), static_cast<QPushButton*>(toggle)}) {
        sendEnter(button);
        QCOMPARE(shownPicture(button), pictureOf(kNormal));
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mouseRelease(button, Qt::LeftButton);
        sendLeave(button);
        // Still on after release and leave: only the press counted.
        QCOMPARE(shownPicture(button), pictureOf(kPressed));
    }
    QCOMPARE(recorder.states(), (QList<int>{1, 1}));
}

void TestZVButton::pressOnCaptionReachesButton_data() {
    testsupport::addRows<int>("kind", {{"ZVButton", 0}, {"ZVButtonTab", 1}, {"ZVButtonToggle", 2}});
}

void TestZVButton::pressOnCaptionReachesButton() {
    QFETCH(int, kind);
    QWidget window;
    window.resize(400, 300);
    QPushButton* button = nullptr;
    Recorder recorder;
    if (kind == 0) {
        auto* made = makeButton<ZVButton>(&window, QStringLiteral("Caption"));
        made->setCallback(recorder.callback());
        button = made;
    } else if (kind == 1) {
        auto* made = makeButton<ZVButtonTab>(&window, QStringLiteral("Caption"));
        made->setCallback(recorder.callback());
        button = made;
    } else {
        auto* made = makeButton<ZVButtonToggle>(&window, QStringLiteral("Caption"));
        made->setCallback(recorder.callback());
        button = made;
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* caption = button->findChild<QLabel*>();
    QVERIFY(caption);
    QCOMPARE(caption->text(), QStringLiteral("Caption"));
    QCOMPARE(caption->geometry(), button->rect());
    // Hit-testing as the window does it finds the button, not its caption.
    const QPoint point = button->mapTo(&window, caption->geometry().center());
    QCOMPARE(window.childAt(point), button);

    // A press delivered through the platform window, as the player's would be.
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
    QVERIFY(!recorder.states().isEmpty());
    QCOMPARE(recorder.states().first(), 1);
}

void TestZVButton::captionLook() {
    ZVButton button(nullptr);
    button.resize(139, 73);
    button.setCaption(QStringLiteral("Log in"));
    auto* caption = button.findChild<QLabel*>();
    QVERIFY(caption);
    QCOMPARE(caption->font().family(), QFontDatabase::applicationFontFamilies(0).first());
    QCOMPARE(caption->font().pointSize(), 16);
    QCOMPARE(caption->alignment(), Qt::AlignCenter);
    QCOMPARE(caption->foregroundRole(), QPalette::WindowText);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QCOMPARE(caption->palette().color(group, QPalette::WindowText), QColor(Qt::white));
    }
}

QTEST_MAIN(TestZVButton)
#include "TestZVButton.moc"
