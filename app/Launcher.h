#pragma once

#include <string>
#include <vector>

#include <QMainWindow>
#include <QString>

class BottomMenu;
class FtpDownloadView;
class GameView;
class InfoView;
class LoginView;
class NoticeView;
class PayView;
class QMenuBar;
class QPoint;
class QProcess;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolBar;
class TopMenuLayout;
namespace utility {
class RequestJson;
}

// The launcher's only main window: frameless and fixed at 1024 x 768, with the top bar,
// the pages, the bottom menu and the login dialog. Every button reports here by event
// number and the handlers decide what happens. GUI thread; start-up owns it.
class Launcher : public QMainWindow {
    Q_OBJECT

public:
    explicit Launcher(QWidget* parent = nullptr);
    ~Launcher() override;

public slots:
    void processStart();
    void processFinished(int exitCode);
    // The refresh tick. Hides QWidget::update() on purpose: the timer is connected by
    // signature and must land here, not on the repaint slot.
    void update();

private:
    // The standard main-window parts the window was first laid out with.
    struct Form {
        QMenuBar* menuBar = nullptr;
        QToolBar* mainToolBar = nullptr;
        QWidget* centralWidget = nullptr;
        QStatusBar* statusBar = nullptr;

        void setupUi(QMainWindow* window);
        void retranslateUi(QMainWindow* window);
    };

    bool requestLogin();
    void hideAllPages();

    void onMinimize(QPushButton* button, int state);
    void onExit(QPushButton* button, int state);
    void onShowGames(QPushButton* button, int state);
    void onShowNotice(QPushButton* button, int state);
    void onShowCharge(QPushButton* button, int state);
    void onShowInfo(QPushButton* button, int state);
    void onRefresh(QPushButton* button, int state);
    void onFreeCoin(QPushButton* button, int state);
    void onLogin(QPushButton* button, int state);
    void onRegist(QPushButton* button, int state);
    void onSaveLogin(QPushButton* button, int state);
    void startPoker(QPushButton* button, int state);
    void startMatgo(QPushButton* button, int state);
    void startHongsip(QPushButton* button, int state);
    void startMajong(QPushButton* button, int state);
    void onMoveWindow(const QPoint& offset);
    void onDownloadFinished(const std::string& name);

    Form ui;
    QProcess* process = nullptr;
    QTimer* timer = nullptr;
    TopMenuLayout* topMenu = nullptr;
    BottomMenu* bottomMenu = nullptr;
    GameView* gameView = nullptr;
    NoticeView* noticeView = nullptr;
    PayView* payView = nullptr;
    InfoView* infoView = nullptr;
    LoginView* loginView = nullptr;
    FtpDownloadView* downloadView = nullptr;
    utility::RequestJson* request = nullptr;
    std::vector<QWidget*> pages;
    int currentPage = 0;
    QString pokerVer;
    QString hongsipVer;
    QString majakVer;
    QString matgoVer;
    QString loginId;
    QString loginPassword;
    bool loggedIn = false;

    friend class TestLauncherWindow;
};
