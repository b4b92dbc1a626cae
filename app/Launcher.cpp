#include "app/Launcher.h"

#include <cstdio>
#include <functional>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenuBar>
#include <QMetaObject>
#include <QPoint>
#include <QProcess>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/CompareVersion.h"
#include "app/GameProgram.h"
#include "app/LogFile.h"
#include "app/MessageDialog.h"
#include "archive/ResourceArchive.h"
#include "archive/RunTree.h"
#include "platform/GameCommand.h"
#include "update/FtpDownloadView.h"
#include "update/GameView.h"
#include "utility/GameTable.h"
#include "utility/RequestJson.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"
#include "widgets/BottomMenu.h"
#include "widgets/InfoView.h"
#include "widgets/LoginView.h"
#include "widgets/NoticeView.h"
#include "widgets/PayView.h"
#include "widgets/TopMenuLayout.h"
#include "widgets/ZVButtonToggle.h"

namespace {
// This module's archive reader; the window itself reads nothing through it.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();

constexpr int kRefreshInterval = 1000;
// The archive's readers let their decrypted copy go once nothing was read for this long:
// opening it again for the next picture takes about a millisecond, keeping it half a
// megabyte for as long as the launcher stays open.
constexpr std::chrono::seconds kArchiveUnused{5};
const char kLoginCodeKey[] = "K4T7W2N9Q1X5M8P3";

QString gameFolder(const QString& name) {
    return runtree::gamesFolder + name;
}

QByteArray md5Hex(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QString message(int id) {
    return utility::XmlMsgParser::getInstance()->message(id);
}

QString webAddress() {
    return QString::fromLatin1(utility::XmlServerParser::getInstance()->webUrl().c_str());
}

} // namespace

class Launcher::BusyScope {
public:
    explicit BusyScope(Launcher& window) : window(window) { ++window.busy; }
    ~BusyScope() {
        if (--window.busy == 0 && (window.refreshQueued || window.freeCoinQueued)) {
            // Once the caller has finished with its own reply.
            QTimer::singleShot(0, &window, [w = &window] { w->runQueued(); });
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Launcher& window;
};

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
    topMenu->setCallback(TopMenuLayout::EventMinimize,
                         std::bind(&Launcher::onMinimize, this, _1, _2));
    topMenu->setCallback(TopMenuLayout::EventClose, std::bind(&Launcher::onExit, this, _1, _2));
    topMenu->setCallback(TopMenuLayout::EventGamesTab,
                         std::bind(&Launcher::onShowGames, this, _1, _2));
    topMenu->setCallback(TopMenuLayout::EventNoticeTab,
                         std::bind(&Launcher::onShowNotice, this, _1, _2));
    topMenu->setCallback(TopMenuLayout::EventChargeTab,
                         std::bind(&Launcher::onShowCharge, this, _1, _2));
    topMenu->setCallback(TopMenuLayout::EventInfoTab,
                         std::bind(&Launcher::onShowInfo, this, _1, _2));

    gameView = new GameView(this);
    gameView->setObjectName("gameView");
    gameView->resize(1024, 611);
    gameView->move(0, 79);
    gameView->show();
    gameView->setCallback(games::Poker, std::bind(&Launcher::startPoker, this, _1, _2));
    gameView->setCallback(games::Matgo, std::bind(&Launcher::startMatgo, this, _1, _2));
    gameView->setCallback(games::Hongsip, std::bind(&Launcher::startHongsip, this, _1, _2));
    gameView->setCallback(games::Majong, std::bind(&Launcher::startMajong, this, _1, _2));
    gameView->setMenuCallback(std::bind(&Launcher::onGameMenu, this, _1, _2));

    noticeView = new NoticeView(this);
    payView = new PayView(this);
    infoView = new InfoView(this);
    for (QWidget* page : {static_cast<QWidget*>(noticeView), static_cast<QWidget*>(payView),
                          static_cast<QWidget*>(infoView)}) {
        page->resize(1024, 611);
        page->move(0, 79);
        page->hide();
    }
    pages = {gameView, noticeView, payView, infoView};

    bottomMenu = new BottomMenu(this);
    bottomMenu->setObjectName("bottomMenu");
    bottomMenu->resize(1024, 78);
    bottomMenu->move(0, 690);
    bottomMenu->setCallback(BottomMenu::EventExit, std::bind(&Launcher::onExit, this, _1, _2));
    bottomMenu->setCallback(BottomMenu::EventRefresh,
                            std::bind(&Launcher::onRefresh, this, _1, _2));
    bottomMenu->setCallback(BottomMenu::EventFreeCoin,
                            std::bind(&Launcher::onFreeCoin, this, _1, _2));

    downloadView = new FtpDownloadView(this);
    downloadView->setObjectName("downloadView");
    downloadView->resize(392, 192);
    downloadView->move(316, 288);
    downloadView->setFinishedCallback(std::bind(&Launcher::onDownloadFinished, this, _1));
    downloadView->hide();

    loginView = new LoginView(this);
    loginView->setObjectName("loginView");
    loginView->resize(569, 220);
    loginView->show();
    loginView->setCallback(LoginView::EventLogin, std::bind(&Launcher::onLogin, this, _1, _2));
    loginView->setCallback(LoginView::EventJoin, std::bind(&Launcher::onRegist, this, _1, _2));
    loginView->setCallback(LoginView::EventRemember,
                           std::bind(&Launcher::onSaveLogin, this, _1, _2));
    loginView->setCallback(LoginView::EventClosed, std::bind(&Launcher::onExit, this, _1, _2));

    // Only the login dialog reacts until a login succeeds.
    topMenu->setActive(false);
    bottomMenu->setActive(false);
    gameView->setActive(false);

    request = new utility::RequestJson(this);

    // A game that cannot be started never reports finished(); without this the window
    // would stay inert for good. Its output goes to ours and to the log, as it comes,
    // so no pipe ever fills up.
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            qWarning().noquote() << "The game" << process->program()
                                 << "could not be started:" << process->errorString();
            launchFailed();
        }
    });
    connect(process, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray text = process->readAllStandardOutput();
        std::fwrite(text.constData(), 1, text.size(), stdout);
        std::fflush(stdout);
        LogFile::append(text);
    });
    connect(process, &QProcess::readyReadStandardError, this, [this] {
        const QByteArray text = process->readAllStandardError();
        std::fwrite(text.constData(), 1, text.size(), stderr);
        LogFile::append(text, 2);
    });
}

Launcher::~Launcher() {
    // Deleting the process ends a game that is still running.
    // The error handler must not run for a game killed here.
    process->disconnect(this);
    delete process;
    delete timer;
    delete topMenu;
    delete gameView;
    delete noticeView;
    delete payView;
    delete infoView;
    delete bottomMenu;
    delete downloadView;
    delete loginView;
    delete request;
}

QString& Launcher::serverVersion(int game) {
    QString* versions[games::Count] = {&pokerVer, &matgoVer, &hongsipVer, &majakVer};
    return *versions[games::isGame(game) ? game : games::Poker];
}

namespace {
int quickExitMs = 3000;
} // namespace

void Launcher::setQuickExitWindow(int milliseconds) {
    quickExitMs = milliseconds;
}

void Launcher::processStart() {
    gameClock.start();
}

void Launcher::processFinished(int exitCode) {
    // Exit code 1 is a game that ended normally and so is current. A game killed by
    // signal 1 reports the same number, but it did not end normally.
    const int game = gameView->currentGame;
    const bool normal = process->exitStatus() == QProcess::NormalExit;
    qInfo() << "The game ended with exit code" << exitCode << (normal ? "" : "(crashed or killed)");
    // Right after its update, a game that fails at once did not really start (Wine that
    // cannot run it, a missing library): its old version comes back, as for a program
    // that cannot be started. Once it has run, its new version stands.
    if (games::isGame(versionBeforeUpdate.game) && (!normal || exitCode != 0) &&
        gameClock.isValid() && gameClock.elapsed() < quickExitMs) {
        qWarning().noquote() << "The game" << process->program() << "ended within"
                             << gameClock.elapsed() << "ms of its start: taken as not started";
        launchFailed();
        return;
    }
    versionBeforeUpdate = PendingVersion();
    if (exitCode == 1 && process->exitStatus() == QProcess::NormalExit && games::isGame(game)) {
        utility::SaveData::getInstance()->setVersion(games::info(game).versionKey,
                                                     serverVersion(game));
    }
    setControlsActive(true);
    gameView->currentGame = games::None;
}

void Launcher::update() {
    // The pictures were read at start; the archive is opened again when one is next needed.
    ResourceArchive::releaseUnused(kArchiveUnused);
    if (loggedIn && busy == 0) {
        requestLogin();
    }
}

QByteArray Launcher::loginBody(const QString& id, const QString& password) {
    const QByteArray passwordDigest = md5Hex(password.toUtf8());
    QByteArray body = "userid=" + id.toUtf8() + "&pass=" + passwordDigest + "&is_mobile=n";
    const QByteArray code =
        md5Hex((id + kLoginCodeKey + QString::fromLatin1(passwordDigest)).toUtf8());
    return body + "&code=" + code;
}

bool Launcher::requestLogin() {
    BusyScope scope(*this);
    loginId = loginView->userId();
    loginPassword = loginView->password();
    const QUrl url(webAddress() + ":2356/webclient/qzclient");
    QUrlQuery form;
    form.addQueryItem("c", QString::fromLatin1(loginBody(loginId, loginPassword).toBase64()));

    if (!request->postEncoded(url, form)) {
        // A refresh that fails keeps the old data and says nothing.
        if (!loggedIn) {
            MessageDialog::show(message(204));
        }
        return false;
    }
    const QJsonObject reply = request->document()->object();
    if (reply.value("status").toString() != "OK") {
        // Refused while logged in (a session expired, closed or kicked): the session ends,
        // told once, and the player logs in again.
        const bool sessionEnded = loggedIn;
        if (sessionEnded) {
            loggedIn = false;
            setControlsActive(false);
            qInfo() << "The service refused the session: logged out";
        }
        MessageDialog::show(message(100));
        if (sessionEnded) {
            loginView->show();
        }
        return false;
    }
    applyLogin(reply);
    return true;
}

void Launcher::applyLogin(const QJsonObject& reply) {
    const QJsonObject versions = reply.value("versionInfo").toObject();
    pokerVer = versions.value("pokerVer").toString();
    hongsipVer = versions.value("hongsipVer").toString();
    majakVer = versions.value("majakVer").toString();
    matgoVer = versions.value("matgoVer").toString();

    const QJsonObject counts = reply.value("connUserInfo").toObject();
    for (int game = 0; game < games::Count; ++game) {
        gameView->setConnCount(game, counts.value(games::info(game).countKey).toString());
    }

    const QJsonObject user = reply.value("userInfo").toObject();
    bottomMenu->setNick(user.value("nick").toString());
    bottomMenu->setCoin(user.value("coin").toString());

    QString notice;
    for (const QJsonValue& value : reply.value("notices").toArray()) {
        const QJsonObject item = value.toObject();
        if (!notice.isEmpty()) {
            notice += ", ";
        }
        notice += item.value("subject").toString() + ":" + item.value("contents").toString();
    }
    bottomMenu->setNotice(notice);
}

void Launcher::showPage(int page, QWidget* view) {
    for (QWidget* each : pages) {
        each->hide();
    }
    view->show();
    currentPage = page;
}

void Launcher::setControlsActive(bool active) {
    // Nothing is usable between sessions, whatever ends meanwhile (a game, an update).
    active = active && loggedIn;
    topMenu->setActive(active);
    bottomMenu->setActive(active);
    gameView->setActive(active);
}

void Launcher::onMinimize(QPushButton*, int state) {
    if (state == ButtonPressed) {
        showMinimized();
    }
}

void Launcher::onExit(QPushButton*, int state) {
    if (state == ButtonPressed) {
        close();
    }
}

void Launcher::onShowGames(QPushButton*, int state) {
    if (state != ButtonPressed || currentPage == GamesPage) {
        return;
    }
    showPage(GamesPage, gameView);
}

void Launcher::onShowNotice(QPushButton*, int state) {
    if (state != ButtonPressed || currentPage == NoticePage) {
        return;
    }
    showPage(NoticePage, noticeView);
    noticeView->loadPage();
}

void Launcher::onShowInfo(QPushButton*, int state) {
    if (state != ButtonPressed || currentPage == InfoPage) {
        return;
    }
    showPage(InfoPage, infoView);
    infoView->loadPage();
}

void Launcher::onRefresh(QPushButton*, int state) {
    if (state != ButtonPressed) {
        return;
    }
    switch (currentPage) {
    case NoticePage:
        noticeView->reload();
        break;
    case ChargePage:
        payView->reload();
        break;
    case InfoPage:
        infoView->reload();
        break;
    default:
        if (busy == 0) {
            requestLogin();
        } else {
            refreshQueued = true;
        }
        break;
    }
}

void Launcher::runQueued() {
    if (busy > 0) {
        return;
    }
    // One at a time: the end of each sends the next.
    if (refreshQueued) {
        refreshQueued = false;
        requestLogin();
    } else if (freeCoinQueued) {
        freeCoinQueued = false;
        freeCoin();
    }
}

void Launcher::onMoveWindow(const QPoint& offset) {
    move(pos() + offset);
}

void Launcher::onShowCharge(QPushButton*, int state) {
    if (state != ButtonPressed || currentPage == ChargePage) {
        return;
    }
    loginId = loginView->userId();
    loginPassword = loginView->password();
    // The page gets the Base64 of the password's digest, never the password.
    const QByteArray pass = md5Hex(loginPassword.toUtf8()).toBase64();
    QUrlQuery form;
    form.addQueryItem("userid", loginId);
    form.addQueryItem("pass", QString::fromLatin1(pass));
    form.addQueryItem("is_mobile", "y");
    // The page is recorded at once, so that another tab pressed during the wait switches
    // away; after the wait the payment page stays current only if it is still the one shown.
    showPage(ChargePage, payView);
    payView->postPage(QUrl(webAddress() + "/charge/cash"), form);
    if (!payView->isHidden()) {
        currentPage = ChargePage;
    }
}

void Launcher::onFreeCoin(QPushButton*, int state) {
    if (state != ButtonPressed) {
        return;
    }
    if (busy > 0) {
        freeCoinQueued = true;
        return;
    }
    freeCoin();
}

void Launcher::freeCoin() {
    BusyScope scope(*this);
    QUrlQuery form;
    form.addQueryItem("userid", loginId);
    form.addQueryItem("is_mobile", "n");
    if (!request->post(QUrl(webAddress() + "/charge/freeCoin?"), form)) {
        return;
    }
    const QString text = request->document()->object().value("msg").toString();
    MessageDialog::show(text.isEmpty() ? message(204) : text);
}

void Launcher::onLogin(QPushButton*, int state) {
    if (state != ButtonPressed) {
        return;
    }
    loginView->hide();
    if (!requestLogin()) {
        loggedIn = false;
        loginView->show();
        return;
    }
    loggedIn = true;
    // A game or an update still running from the session before keeps the window inert.
    setControlsActive(!games::isGame(gameView->currentGame));
    utility::SaveData* saved = utility::SaveData::getInstance();
    // The pair the service has just accepted, not what the dialog holds by now.
    if (saved->isSave() && !loginId.isEmpty()) {
        saved->setUser(loginId, loginPassword);
    }
    saved->save();
}

void Launcher::onRegist(QPushButton*, int state) {
    if (state == ButtonPressed) {
        QDesktopServices::openUrl(QUrl(webAddress() + "/member/regist"));
    }
}

// The remember box reports 1 when ticked and 0 when unticked. Both are taken: a player
// who unticks it must not have the password remembered at the next login. The user itself
// is remembered at the next successful login, as it was accepted: the box may well be
// ticked before anything is typed, or with an id that is still wrong.
void Launcher::onSaveLogin(QPushButton* button, int state) {
    auto* toggle = qobject_cast<ZVButtonToggle*>(button);
    if (toggle == nullptr || (state != ButtonReleased && state != ButtonPressed)) {
        return;
    }
    utility::SaveData::getInstance()->setIsSave(toggle->isOn());
}

void Launcher::startPoker(QPushButton*, int state) {
    if (state == ButtonPressed) {
        startGame(games::Poker);
    }
}

void Launcher::startMatgo(QPushButton*, int state) {
    if (state == ButtonPressed) {
        startGame(games::Matgo);
    }
}

void Launcher::startHongsip(QPushButton*, int state) {
    if (state == ButtonPressed) {
        startGame(games::Hongsip);
    }
}

void Launcher::startMajong(QPushButton*, int state) {
    if (state == ButtonPressed) {
        startGame(games::Majong);
    }
}

void Launcher::startGame(int game) {
    setControlsActive(false);
    gameView->currentGame = game;
    const QString installed =
        utility::SaveData::getInstance()->getVersion(games::info(game).versionKey);
    const int newer = compareVersion(installed, serverVersion(game));
    const QString folder = games::info(game).folder;
    const bool behind = newer == 1 || newer == 2;
    const bool missing =
        GameProgram::locate(gameFolder(folder), games::info(game).program).isEmpty();
    if ((behind || missing) && !GameProgram::canWriteFolder(gameFolder(folder))) {
        qWarning().noquote() << "The game cannot be installed: its folder"
                             << QFileInfo(gameFolder(folder)).absoluteFilePath()
                             << "cannot be written";
        launchFailed();
        return;
    }
    // What the update is decided for is what gets recorded: the refresh may announce a
    // newer version while it runs, whose files it did not fetch.
    versionBeingInstalled = serverVersion(game);
    if (behind) {
        {
            BusyScope scope(*this);
            MessageDialog::show(message(203));
        }
        downloadView->show();
        downloadView->start(game);
        return;
    }
    if (missing) {
        downloadView->show();
        downloadView->start(game);
        return;
    }
    launch(folder, games::info(game).program);
}

void Launcher::onGameMenu(int game, int action) {
    if (!games::isGame(game) || downloadView->isBusy()) {
        return;
    }
    const QString folder = QFileInfo(gameFolder(games::info(game).folder)).absoluteFilePath();
    if (action == GameView::OpenGameFolder) {
        QDir().mkpath(folder);
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
            qWarning().noquote() << "No file manager opened" << folder;
        }
        return;
    }
    if (action != GameView::VerifyAndRepair) {
        return;
    }
    qInfo() << "verify and repair" << games::info(game).folder;
    setControlsActive(false);
    gameView->currentGame = game;
    repairing = true;
    downloadView->show();
    downloadView->verify(game);
}

void Launcher::onDownloadFinished(const std::string& name) {
    if (repairing) {
        // A repair records no version and starts nothing: it reports what it found.
        repairing = false;
        downloadView->hide();
        setControlsActive(true);
        gameView->currentGame = games::None;
        if (downloadView->wasCancelled()) {
            return;
        }
        BusyScope scope(*this);
        MessageDialog::show(name.empty() ? message(204) : downloadView->repairReport());
        return;
    }
    if (name.empty()) {
        downloadView->hide();
        setControlsActive(true);
        gameView->currentGame = games::None;
        if (downloadView->wasCancelled()) {
            return; // the player stopped it: nothing to tell them
        }
        BusyScope scope(*this);
        MessageDialog::show(message(204));
        return;
    }
    const int game = gameView->currentGame;
    if (games::isGame(game)) {
        utility::SaveData* saved = utility::SaveData::getInstance();
        versionBeforeUpdate = {game, saved->getVersion(games::info(game).versionKey)};
        saved->setVersion(games::info(game).versionKey, versionBeingInstalled);
    }
    utility::SaveData::getInstance()->save();
    downloadView->hide();
    const QString folder = QString::fromUtf8(name.c_str());
    // "<Folder>.exe" and the game's program name are one file only where case does not
    // count; here the program the direct start uses must win over a stale file whose
    // name differs from it in case alone.
    QString program = folder + ".exe";
    if (games::isGame(game) &&
        program.compare(QLatin1String(games::info(game).program), Qt::CaseInsensitive) == 0) {
        program = games::info(game).program;
    }
    launch(folder, program);
}

void Launcher::launch(const QString& folder, const QString& program) {
    const QString workDir = QFileInfo(gameFolder(folder)).absoluteFilePath();
    const QString path = GameProgram::locate(gameFolder(folder), program);
    if (path.isEmpty()) {
        qWarning().noquote() << "The game cannot be started: no" << program << "in" << workDir;
        launchFailed();
        return;
    }
    // How it starts is the platform's matter: as itself, made executable, or through Wine.
    const QString absolute = QFileInfo(path).absoluteFilePath();
    GameCommand command;
    if (!command.prepare(absolute.toStdString(),
                         {loginId.toStdString(), loginPassword.toStdString()})) {
        qWarning().noquote() << "The game" << absolute << QString::fromStdString(command.error);
        launchFailed();
        return;
    }
    if (!command.warning.empty()) {
        qWarning().noquote() << "The game" << absolute << QString::fromStdString(command.warning);
    }
    QStringList arguments;
    for (const std::string& argument : command.arguments) {
        arguments << QString::fromStdString(argument);
    }
    // Started by its full path in its own folder: the child inherits that folder as its
    // working directory, and our own stays as it is. The arguments hold the password
    // and are never logged.
    const QString started = QString::fromStdString(command.program);
    qInfo().noquote() << "Starting" << started << "in" << workDir;
    process->setWorkingDirectory(workDir);
    // A shell-started program trusts $PWD over getcwd(): it must name the game's folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PWD"), workDir);
    for (const auto& variable : command.environment) {
        environment.insert(QString::fromStdString(variable.first),
                           QString::fromStdString(variable.second));
    }
    process->setProcessEnvironment(environment);
    process->start(started, arguments, QIODevice::ReadWrite);
}

void Launcher::launchFailed() {
    const int game = versionBeforeUpdate.game;
    if (games::isGame(game)) {
        qDebug() << "the updated game did not start: its version goes back to"
                 << versionBeforeUpdate.version;
        utility::SaveData* saved = utility::SaveData::getInstance();
        saved->setVersion(games::info(game).versionKey, versionBeforeUpdate.version);
        saved->save();
        versionBeforeUpdate = PendingVersion();
    }
    setControlsActive(true);
    gameView->currentGame = games::None;
    BusyScope scope(*this);
    MessageDialog::show(message(204));
}
