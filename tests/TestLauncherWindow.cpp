#include <memory>

#include <QtTest>

#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "DataRows.h"
#include "Pictures.h"
#include "app/Launcher.h"
#include "archive/ResourceArchive.h"
#include "update/GameView.h"
#include "utility/XmlMsgParser.h"
#include "widgets/BottomMenu.h"
#include "widgets/LoginView.h"
#include "widgets/TopMenuLayout.h"
#include "widgets/ZVButton.h"
#include "widgets/ZVButtonTab.h"

namespace {

using testsupport::testReader;

QMetaMethod methodOf(const QMetaObject& meta, const char* signature) {
    return meta.method(meta.indexOfMethod(QMetaObject::normalizedSignature(signature)));
}

} // namespace

// The main window: its frame and geometry, the wiring of its timer and process, page
// switching, the inert controls before login, closing and dragging.
class TestLauncherWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void frameAndSize();
    void formParts();
    void childGeometry_data();
    void childGeometry();
    void timerReachesTheWindowsUpdate();
    void processSlotsAreConnected();
    void tabPressSwitchesPagesOnce();
    void pageHandlersIgnoreSecondRequest();
    void otherCodesTriggerNothing_data();
    void otherCodesTriggerNothing();
    void beforeLoginOnlyTheDialogReacts();
    void closingTheDialogClosesTheWindow();
    void exitAndMinimiseAfterLogin();
    void dragMovesTheWindow();
    void destructionTakesTheChildren();

private:
    // The bars and the game page as a successful login leaves them.
    void activate();
    template <typename T> T* child(const char* name) const { return launcher->findChild<T*>(name); }

    std::unique_ptr<Launcher> launcher;
};

void TestLauncherWindow::initTestCase() {
    QVERIFY(testReader() != nullptr);
    QVERIFY(testsupport::registerShippedFont() >= 0);
    QVERIFY(utility::XmlMsgParser::getInstance()->load("script/msg.xml"));
}

void TestLauncherWindow::init() {
    launcher = std::make_unique<Launcher>();
    launcher->show();
    QVERIFY(QTest::qWaitForWindowExposed(launcher.get()));
}

void TestLauncherWindow::cleanup() {
    launcher.reset();
}

void TestLauncherWindow::activate() {
    launcher->topMenu->setActive(true);
    launcher->bottomMenu->setActive(true);
    launcher->gameView->setActive(true);
}

void TestLauncherWindow::frameAndSize() {
    QVERIFY(launcher->isWindow());
    QVERIFY(launcher->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(launcher->windowFlags() & ~Qt::WindowType_Mask,
             Qt::WindowFlags(Qt::FramelessWindowHint));
    QCOMPARE(launcher->size(), QSize(1024, 768));
    QCOMPARE(launcher->minimumSize(), QSize(1024, 768));
    QCOMPARE(launcher->maximumSize(), QSize(1024, 768));
    launcher->resize(800, 600);
    QCOMPARE(launcher->size(), QSize(1024, 768));
    launcher->resize(1600, 1000);
    QCOMPARE(launcher->size(), QSize(1024, 768));
}

void TestLauncherWindow::formParts() {
    QCOMPARE(launcher->objectName(), QStringLiteral("LauncherClass"));
    QCOMPARE(launcher->windowTitle(), QStringLiteral("Launcher"));
    QVERIFY(launcher->findChild<QMenuBar*>("menuBar"));
    QCOMPARE(launcher->menuBar(), launcher->findChild<QMenuBar*>("menuBar"));
    QVERIFY(launcher->findChild<QToolBar*>("mainToolBar"));
    QCOMPARE(launcher->centralWidget(), launcher->findChild<QWidget*>("centralWidget"));
    QCOMPARE(launcher->statusBar(), launcher->findChild<QStatusBar*>("statusBar"));
}

void TestLauncherWindow::childGeometry_data() {
    testsupport::addRows<QString, QRect>("name", "geometry",
                                         {{"top bar", "topMenu", QRect(0, 0, 1024, 79)},
                                          {"game page", "gameView", QRect(0, 79, 1024, 611)},
                                          {"bottom menu", "bottomMenu", QRect(0, 690, 1024, 78)}});
}

void TestLauncherWindow::childGeometry() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    auto* widget = launcher->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), launcher.get());
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isVisible());
    // Nothing of the standard main-window parts covers the bars and the page.
    QCOMPARE(launcher->childAt(geometry.center())->window(), launcher.get());
    QWidget* hit = launcher->childAt(geometry.topLeft() + QPoint(2, 2));
    QVERIFY(hit == widget || widget->isAncestorOf(hit));
}

void TestLauncherWindow::timerReachesTheWindowsUpdate() {
    QTimer* timer = launcher->timer;
    QVERIFY(timer);
    QCOMPARE(timer->parent(), launcher.get());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());

    // The window's own update() is the slot "update()" resolves to...
    const int index = Launcher::staticMetaObject.indexOfSlot("update()");
    QVERIFY(index >= Launcher::staticMetaObject.methodOffset());
    // ...and the timer is connected to exactly that one, not to the repaint slot.
    const QMetaMethod timeout = methodOf(QTimer::staticMetaObject, "timeout()");
    const QMetaMethod repaint = methodOf(QWidget::staticMetaObject, "update()");
    QVERIFY(!QObject::disconnect(timer, timeout, launcher.get(), repaint));
    QVERIFY(QObject::disconnect(timer, timeout, launcher.get(),
                                Launcher::staticMetaObject.method(index)));
}

void TestLauncherWindow::processSlotsAreConnected() {
    QProcess* process = launcher->process;
    QVERIFY(process);
    QCOMPARE(process->parent(), launcher.get());
    QVERIFY(QObject::disconnect(process, methodOf(QProcess::staticMetaObject, "started()"),
                                launcher.get(),
                                methodOf(Launcher::staticMetaObject, "processStart()")));
    QVERIFY(QObject::disconnect(process, methodOf(QProcess::staticMetaObject, "finished(int)"),
                                launcher.get(),
                                methodOf(Launcher::staticMetaObject, "processFinished(int)")));
}

void TestLauncherWindow::tabPressSwitchesPagesOnce() {
    activate();
    auto* tab1 = child<ZVButtonTab>("tab1");
    auto* tab2 = child<ZVButtonTab>("tab2");
    auto* tab4 = child<ZVButtonTab>("tab4");
    QCOMPARE(launcher->currentPage, 0);
    QVERIFY(launcher->gameView->isVisible());

    QTest::mouseClick(tab2, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 1);
    QVERIFY(!launcher->gameView->isVisible());

    // Shown again behind the window's back: a second press on the same tab must not
    // switch (and so not hide it) again.
    launcher->gameView->show();
    QTest::mouseClick(tab2, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 1);
    QVERIFY(launcher->gameView->isVisible());

    QTest::mouseClick(tab4, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 3);
    QVERIFY(!launcher->gameView->isVisible());

    QTest::mouseClick(tab1, Qt::LeftButton);
    QCOMPARE(launcher->currentPage, 0);
    QVERIFY(launcher->gameView->isVisible());
}

void TestLauncherWindow::pageHandlersIgnoreSecondRequest() {
    // The window's own guard, with the bar's tab check out of the way.
    launcher->onShowNotice(nullptr, 1);
    QCOMPARE(launcher->currentPage, 1);
    launcher->gameView->show();
    launcher->onShowNotice(nullptr, 1);
    QVERIFY(launcher->gameView->isVisible());
    launcher->onShowInfo(nullptr, 1);
    QCOMPARE(launcher->currentPage, 3);
    QVERIFY(!launcher->gameView->isVisible());
    launcher->gameView->show();
    launcher->onShowInfo(nullptr, 1);
    QVERIFY(launcher->gameView->isVisible());
    launcher->onShowGames(nullptr, 1);
    QCOMPARE(launcher->currentPage, 0);
    launcher->gameView->hide();
    launcher->onShowGames(nullptr, 1);
    QVERIFY(!launcher->gameView->isVisible());
}

void TestLauncherWindow::otherCodesTriggerNothing_data() {
    QTest::addColumn<int>("handler");
    QTest::addColumn<int>("code");
    const char* const names[] = {"onShowNotice", "onShowInfo", "onShowGames", "onExit",
                                 "onMinimize"};
    for (int handler = 0; handler < 5; ++handler) {
        for (int code : {0, 2}) {
            QTest::newRow(
                QByteArray(names[handler]).append(" code ").append(QByteArray::number(code)))
                << handler << code;
        }
    }
}

void TestLauncherWindow::otherCodesTriggerNothing() {
    QFETCH(int, handler);
    QFETCH(int, code);
    if (handler == 2) {
        launcher->onShowNotice(nullptr, 1); // away from the game page first
        launcher->gameView->show();
    }
    const int page = launcher->currentPage;
    // In the order of the names in the data table.
    void (Launcher::*const handlers[])(QPushButton*, int) = {
        &Launcher::onShowNotice, &Launcher::onShowInfo, &Launcher::onShowGames, &Launcher::onExit,
        &Launcher::onMinimize};
    ((*launcher).*handlers[handler])(nullptr, code);
    QTest::qWait(10);
    QCOMPARE(launcher->currentPage, page);
    QVERIFY(launcher->gameView->isVisible());
    QVERIFY(launcher->isVisible());
    QVERIFY(!launcher->isMinimized());
}

void TestLauncherWindow::beforeLoginOnlyTheDialogReacts() {
    QVERIFY(launcher->loginView->isVisible());
    QVERIFY(!launcher->loggedIn);
    const QPoint position = launcher->pos();
    for (const char* name : {"tab2", "tab3", "tab4"}) {
        QTest::mouseClick(child<ZVButtonTab>(name), Qt::LeftButton);
        QVERIFY(!child<ZVButtonTab>(name)->isOn());
    }
    for (const char* name :
         {"minimizeButton", "closeButton", "exitButton", "refreshButton", "chargeButton",
          "pokerButton", "matgoButton", "hongsipButton", "majongButton"}) {
        auto* button = child<ZVButton>(name);
        QVERIFY2(button, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QTest::qWait(10);
    QCOMPARE(launcher->currentPage, 0);
    QVERIFY(launcher->gameView->isVisible());
    QVERIFY(launcher->isVisible());
    QVERIFY(!launcher->isMinimized());
    QCOMPARE(launcher->pos(), position);
    QVERIFY(launcher->loginView->isVisible());

    // The dialog itself does react: its remember box flips.
    auto* saveBox = launcher->loginView->findChild<QPushButton*>("saveBox");
    QSignalSpy pressed(saveBox, &QPushButton::pressed);
    QTest::mouseClick(saveBox, Qt::LeftButton);
    QCOMPARE(pressed.count(), 1);
}

void TestLauncherWindow::closingTheDialogClosesTheWindow() {
    // Run the program's event loop: closing the dialog must end it, as it ends main.
    QTimer::singleShot(0, launcher.get(), [this] { QVERIFY(launcher->loginView->close()); });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!launcher->loginView->isVisible());
    QVERIFY(!launcher->isVisible());
}

void TestLauncherWindow::exitAndMinimiseAfterLogin() {
    activate();
    QTest::mouseClick(child<ZVButton>("minimizeButton"), Qt::LeftButton);
    QTRY_VERIFY(launcher->isMinimized());
    launcher->showNormal();
    QTRY_VERIFY(!launcher->isMinimized());
    QTest::mouseClick(child<ZVButton>("exitButton"), Qt::LeftButton);
    QVERIFY(!launcher->isVisible());
    launcher->show();
    QTest::mouseClick(child<ZVButton>("closeButton"), Qt::LeftButton);
    QVERIFY(!launcher->isVisible());
}

void TestLauncherWindow::dragMovesTheWindow() {
    launcher->move(100, 50);
    QTRY_COMPARE(launcher->pos(), QPoint(100, 50));
    // Even before login the window can be dragged by the top bar's picture.
    auto* background = launcher->topMenu->findChild<QLabel*>("background");
    QVERIFY(background);
    const QPoint local(500, 12);
    QCOMPARE(launcher->childAt(background->mapTo(launcher.get(), local)), background);
    const QPoint start = background->mapToGlobal(local);

    QMouseEvent press(QEvent::MouseButtonPress, local, start, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(background, &press);
    for (int step = 1; step <= 3; ++step) {
        const QPoint global = start + QPoint(5 * step, 0);
        QMouseEvent move(QEvent::MouseMove, launcher->topMenu->mapFromGlobal(global), global,
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(launcher->topMenu, &move);
    }
    const QPoint end = start + QPoint(15, 0);
    QMouseEvent release(QEvent::MouseButtonRelease, launcher->topMenu->mapFromGlobal(end), end,
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(launcher->topMenu, &release);
    QCOMPARE(launcher->pos(), QPoint(115, 50));
    // The pointer kept its place on the bar.
    QCOMPARE(background->mapFromGlobal(end), local);
}

void TestLauncherWindow::destructionTakesTheChildren() {
    QPointer<QWidget> top = launcher->topMenu;
    QPointer<QWidget> game = launcher->gameView;
    QPointer<QWidget> bottom = launcher->bottomMenu;
    QPointer<QWidget> login = launcher->loginView;
    QPointer<QObject> timer = launcher->timer;
    QPointer<QObject> process = launcher->process;
    launcher.reset();
    QVERIFY(!top && !game && !bottom && !login && !timer && !process);
}

QTEST_MAIN(TestLauncherWindow)
#include "TestLauncherWindow.moc"
