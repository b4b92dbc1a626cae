#pragma once

#include <string>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include "utility/GameTable.h"

class BottomMenu;
class FtpDownloadView;
class GameView;
class InfoView;
class LoginView;
class NoticeView;
class PayView;
class QJsonObject;
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

    // The login body before its Base64 wrapping: the id as typed, the MD5 of the
    // password and a code digest over both, never the password itself.
    static QByteArray loginBody(const QString& id, const QString& password);
    // How soon after its start an updated game that ends with a non-zero status counts as
    // one that could not start (3 s; Wine, for one, starts and then reports its own failure).
    static void setQuickExitWindow(int milliseconds);

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

    // Counts an open request or message box of the window for as long as it lives.
    class BusyScope;

    // The pages by index of `pages`; the top bar's tabs show them in this order.
    enum Page : int {
        GamesPage = 0,
        NoticePage = 1,
        ChargePage = 2,
        InfoPage = 3,
    };

    // The version the service announced for a game.
    QString& serverVersion(int game);
    bool requestLogin();
    void freeCoin();
    // Sends a refresh or free-coin press that came while the window was busy.
    void runQueued();
    // Hides every page but `view` and makes `page` the current one.
    void showPage(int page, QWidget* view);
    void setControlsActive(bool active);
    // A game button: update first when the game is behind or missing, else start it.
    void startGame(int game);
    // Starts `program` inside the game folder "../../../<folder>" with the login as its
    // two arguments; false (controls active again, message 204) when it cannot start.
    void launch(const QString& folder, const QString& program);
    void launchFailed();
    void applyLogin(const QJsonObject& reply);

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
    void onGameMenu(int game, int action);

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
    int currentPage = GamesPage;
    QString pokerVer;
    QString hongsipVer;
    QString majakVer;
    QString matgoVer;
    QString loginId;
    QString loginPassword;
    bool loggedIn = false;
    bool repairing = false; // the download panel runs a repair, not an update
    // The version a game had before the update that just recorded a new one, kept until
    // the game has started: a game that cannot start gets it back, so the next press
    // offers the update again. game is games::None when nothing is pending.
    struct PendingVersion {
        int game = games::None;
        QString version;
    } versionBeforeUpdate;
    QElapsedTimer gameClock; // since the running game's start
    // The server's version when the running update was decided on.
    QString versionBeingInstalled;
    // Requests and message boxes of the window that are still open. The refresh is
    // skipped while any is, so at most one request is in flight and a refusing server
    // cannot stack one box per second.
    int busy = 0;
    // Presses of refresh and free coins that came while a request was in flight; each
    // goes out once, right after it.
    bool refreshQueued = false;
    bool freeCoinQueued = false;

    friend class TestLauncherWindow;
    friend class TestLoginExchange;
    friend class TestGameLaunch;
    friend class TestEndToEnd;
    friend class FuzzLoginReply;
};
