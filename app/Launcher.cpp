#include "Launcher.h"

#include <functional>

#include <QCoreApplication>
#include <QMenuBar>
#include <QMetaObject>
#include <QPoint>
#include <QProcess>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "BottomMenu.h"
#include "GameView.h"
#include "LoginView.h"
#include "ResourceArchive.h"
#include "TopMenuLayout.h"

namespace {
// This module's archive reader; the window itself reads nothing through it.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();

constexpr int kRefreshInterval = 1000;
} // namespace

void Launcher::Form::setupUi(QMainWindow* window) {
    if (window->objectName().isEmpty()) {
        window->setObjectName("LauncherClass");
    }
    window->resize(600, 400); // the window's fixed size wins
    menuBar = new QMenuBar(window);
    menuBar->setObjectName("menuBar");
    window->setMenuBar(menuBar);
    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName("mainToolBar");
    window->addToolBar(mainToolBar);
    centralWidget = new QWidget(window);
    centralWidget->setObjectName("centralWidget");
    window->setCentralWidget(centralWidget);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName("statusBar");
    window->setStatusBar(statusBar);
    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void Launcher::Form::retranslateUi(QMainWindow* window) {
    window->setWindowTitle(QCoreApplication::translate("LauncherClass", "Launcher"));
}

Launcher::Launcher(QWidget* parent) : QMainWindow(parent) {
    using namespace std::placeholders;
    setFixedSize(1024, 768);
    // No system frame or title bar: the top bar stands in for them.
    setWindowFlags(Qt::FramelessWindowHint);
    ui.setupUi(this);

    process = new QProcess(this);
    connect(process, SIGNAL(started()), this, SLOT(processStart()));
    connect(process, SIGNAL(finished(int)), this, SLOT(processFinished(int)));

    timer = new QTimer(this);
    timer->setSingleShot(false);
    connect(timer, SIGNAL(timeout()), this, SLOT(update()));
    timer->start(kRefreshInterval);

    topMenu = new TopMenuLayout(this);
    topMenu->setObjectName("topMenu");
    topMenu->resize(1024, 79);
    topMenu->setMoveCallback(std::bind(&Launcher::onMoveWindow, this, _1));
    topMenu->setCallback(0, std::bind(&Launcher::onMinimize, this, _1, _2));
    topMenu->setCallback(1, std::bind(&Launcher::onExit, this, _1, _2));
    topMenu->setCallback(2, std::bind(&Launcher::onShowGames, this, _1, _2));
    topMenu->setCallback(3, std::bind(&Launcher::onShowNotice, this, _1, _2));
    topMenu->setCallback(4, std::bind(&Launcher::onShowCharge, this, _1, _2));
    topMenu->setCallback(5, std::bind(&Launcher::onShowInfo, this, _1, _2));

    gameView = new GameView(this);
    gameView->setObjectName("gameView");
    gameView->resize(1024, 611);
    gameView->move(0, 79);
    gameView->show();
    gameView->setCallback(0, std::bind(&Launcher::startPoker, this, _1, _2));
    gameView->setCallback(1, std::bind(&Launcher::startMatgo, this, _1, _2));
    gameView->setCallback(2, std::bind(&Launcher::startHongsip, this, _1, _2));
    gameView->setCallback(3, std::bind(&Launcher::startMajong, this, _1, _2));

    // The notice, payment and information pages take the next three places, at
    // (0, 79) and 1024 x 611, hidden; until they exist their slots stay empty.
    pages = {gameView, nullptr, nullptr, nullptr};

    bottomMenu = new BottomMenu(this);
    bottomMenu->setObjectName("bottomMenu");
    bottomMenu->resize(1024, 78);
    bottomMenu->move(0, 690);
    bottomMenu->setCallback(1, std::bind(&Launcher::onExit, this, _1, _2));
    bottomMenu->setCallback(0, std::bind(&Launcher::onRefresh, this, _1, _2));
    bottomMenu->setCallback(2, std::bind(&Launcher::onFreeCoin, this, _1, _2));

    // The download window (392 x 192 at (316, 288), hidden) comes here.

    loginView = new LoginView(this);
    loginView->setObjectName("loginView");
    loginView->resize(569, 220);
    loginView->show();
    loginView->setCallback(0, std::bind(&Launcher::onLogin, this, _1, _2));
    loginView->setCallback(1, std::bind(&Launcher::onRegist, this, _1, _2));
    loginView->setCallback(2, std::bind(&Launcher::onSaveLogin, this, _1, _2));
    loginView->setCallback(3, std::bind(&Launcher::onExit, this, _1, _2));

    // Only the login dialog reacts until a login succeeds.
    topMenu->setActive(false);
    bottomMenu->setActive(false);
    gameView->setActive(false);

    // The web request object comes last.
}

Launcher::~Launcher() {
    // Deleting the process ends a game that is still running.
    delete process;
    delete timer;
    delete topMenu;
    delete gameView;
    delete bottomMenu;
    delete loginView;
}

void Launcher::processStart() {}

void Launcher::processFinished(int exitCode) {
    Q_UNUSED(exitCode);
}

void Launcher::update() {
    if (loggedIn) {
        requestLogin();
    }
}

bool Launcher::requestLogin() {
    return false;
}

void Launcher::hideAllPages() {
    for (QWidget* page : pages) {
        if (page != nullptr) {
            page->hide();
        }
    }
}

void Launcher::onMinimize(QPushButton*, int state) {
    if (state == 1) {
        showMinimized();
    }
}

void Launcher::onExit(QPushButton*, int state) {
    if (state == 1) {
        close();
    }
}

void Launcher::onShowGames(QPushButton*, int state) {
    if (state != 1 || currentPage == 0) {
        return;
    }
    hideAllPages();
    gameView->show();
    currentPage = 0;
}

void Launcher::onShowNotice(QPushButton*, int state) {
    if (state != 1 || currentPage == 1) {
        return;
    }
    hideAllPages();
    currentPage = 1;
}

void Launcher::onShowInfo(QPushButton*, int state) {
    if (state != 1 || currentPage == 3) {
        return;
    }
    hideAllPages();
    currentPage = 3;
}

void Launcher::onRefresh(QPushButton*, int state) {
    if (state != 1) {
        return;
    }
    if (currentPage < 1 || currentPage > 3) {
        requestLogin();
    }
}

void Launcher::onMoveWindow(const QPoint& offset) {
    move(pos() + offset);
}

void Launcher::onShowCharge(QPushButton*, int) {}

void Launcher::onFreeCoin(QPushButton*, int) {}

void Launcher::onLogin(QPushButton*, int) {}

void Launcher::onRegist(QPushButton*, int) {}

void Launcher::onSaveLogin(QPushButton*, int) {}

void Launcher::startPoker(QPushButton*, int) {}

void Launcher::startMatgo(QPushButton*, int) {}

void Launcher::startHongsip(QPushButton*, int) {}

void Launcher::startMajong(QPushButton*, int) {}

void Launcher::onDownloadFinished(const std::string&) {}
