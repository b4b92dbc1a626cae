#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <system_error>

#include <QApplication>
#include <QDBusConnection>
#include <QFontDatabase>
#include <QIcon>
#include <QPixmapCache>
#include <QTimer>
#include <QtDebug>

#include "app/Launcher.h"
#include "app/LogFile.h"
#include "app/MessageDialog.h"
#include "app/SmoothPictureStyle.h"
#include "app/VerifyCommand.h"
#include "app/WakeUpListener.h"
#include "archive/PicturesAhead.h"
#include "archive/ResourceArchive.h"
#include "archive/RunTree.h"
#include "platform/Console.h"
#include "platform/DesktopBus.h"
#include "platform/FontConfiguration.h"
#include "platform/ProgramFolder.h"
#include "platform/SingleInstance.h"
#include "utility/SaveData.h"
#include "utility/XmlMsgParser.h"
#include "utility/XmlServerParser.h"

namespace {
const char kLockName[] = "zorvanBoardGameLauncher";

// Every path of the program is relative to its own folder, and each module's archive
// reader opens "../../resource/res.dat" while the program is still being loaded. So the
// program's folder becomes the working folder first, before any of those readers is
// built (they run at the default priority, after this one).
std::string& folderError() {
    static std::string error; // built on first use, not in the loader's order
    return error;
}
__attribute__((constructor(101))) void enterProgramFolder() {
    ProgramFolder::enter(folderError());
}

ResourceArchive* const archiveReader = ResourceArchive::openDefault();
constexpr int kNoLockMessage = 210;

// The pictures the window and the login dialog ask for as they are built, in that order:
// the top bar, the game page, the bottom bar, the login dialog. A picture missing here is
// only decoded later, on the window's thread.
const QStringList kFirstScreenPictures = {
    "main/up.png",      "main/min.png",    "main/exitsmall.png", "main/menupush.png",
    "main/menu.png",    "main/divide.png", "main/base.png",      "main/7poker.png",
    "main/gos.png",     "main/hongs.png",  "main/majong.png",    "main/down.png",
    "main/refresh.png", "main/exit.png",   "main/charge.png",    "login/logbase.png",
    "login/login.png",  "login/join.png",  "login/check.png",
};

// "--verify GAME": the game's files are checked and repaired without a window. Not while
// a copy of the launcher runs: it could be updating the same game.
int verifyGame(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!SingleInstance::claim(kLockName)) {
        consolePrint("The launcher is running: close it, then verify again.\n");
        return 1;
    }
    if (!LogFile::open(LogFile::defaultFolder())) {
        qWarning() << "No log file can be written";
    }
    utility::XmlMsgParser::getInstance()->load("script/msg.xml");
    utility::XmlServerParser::getInstance()->load("script/server.xml");
    const int result = VerifyCommand::run(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    LogFile::close();
    return result;
}
} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--verify") == 0) {
        return verifyGame(argc, argv);
    }
    if (!SingleInstance::claim(kLockName)) {
        std::exit(-1); // the first copy was asked to come to the front
    }
    // While the toolkit starts, a worker reads the system's font configuration and then
    // inflates the font's entry; main's reader is used nowhere else.
    const auto loadFont = [] {
        FontConfiguration::load();
        return std::unique_ptr<QByteArray>(loadBytes(archiveReader, "font/simhei.ttf"));
    };
    std::future<std::unique_ptr<QByteArray>> font;
    try {
        font = std::async(std::launch::async, loadFont);
    } catch (const std::system_error&) {
        // No thread to be had: the font is inflated below, on this thread.
    }
    // This copy is the only one: its log may now push the older runs' logs along.
    LogFile::openInBackground(LogFile::defaultFolder());
    if (!folderError().empty()) {
        qWarning() << "Cannot run in the program's folder:" << folderError().c_str();
    }
    if (!SingleInstance::errorString().empty()) {
        qWarning() << "Starting without the single-instance lock:"
                   << SingleInstance::errorString().c_str();
    }

    // The window follows the desktop's scale factor, rounded to a whole number so
    // that a screen a little denser than 96 dpi keeps every size exactly as it is.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Everything in the window is drawn by the CPU: pictures, text and web pages. A window
    // that OpenGL could draw into has the GL driver loaded with it (here Mesa and LLVM,
    // some 40 ms of start-up and several MiB) for nothing.
    QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication app(argc, argv);
    // The window's menu bar asks the desktop over its session bus whether it shows menus
    // itself, and its first text whether a screen reader listens: the first question
    // connects to the bus (or, with none announced, tries to start one). A worker connects
    // while this thread goes on; the questions then find the connection made.
    std::future<void> bus;
    if (DesktopBus::inUse()) {
        try {
            bus = std::async(std::launch::async, [] { QDBusConnection::sessionBus(); });
        } catch (const std::system_error&) {
            // The window's thread connects when the question comes.
        }
    }
    QApplication::setStyle(new SmoothPictureStyle);
    // The style keeps a drawn copy of each button's panel so that a repaint can reuse it:
    // for the game tiles that is a fifth of a megabyte held for hours, to save redrawing a
    // gradient when the pointer passes over one. Small pieces are still kept.
    QPixmapCache::setCacheLimit(64);
    QApplication::setWindowIcon(QIcon(runtree::iconPath));
    QApplication::setDesktopFileName("boardgame-launcher");

    const std::unique_ptr<QByteArray> fontData = font.valid() ? font.get() : loadFont();
    // Main's reader is free now: a worker decodes the first screen's pictures while this
    // thread builds the window (the toolkit has started, so the second core is free).
    PicturesAhead::expect(kFirstScreenPictures);
    std::future<void> pictures;
    try {
        pictures = std::async(std::launch::async, PicturesAhead::decodeExpected, archiveReader);
    } catch (const std::system_error&) {
        // The window's thread decodes each picture as it asks for it.
    }
    if (fontData != nullptr) {
        QFontDatabase::addApplicationFontFromData(*fontData);
    }
    // Each of these keeps its empty state when its data cannot be read; the window is
    // shown all the same.
    utility::XmlMsgParser::getInstance()->load("script/msg.xml");
    utility::XmlServerParser::getInstance()->load("script/server.xml");
    utility::SaveData::getInstance()->load();

    auto launcher = std::make_unique<Launcher>();
    WakeUpListener wakeUp(launcher.get());
    if (SingleInstance::listener() >= 0 && !wakeUp.listen(SingleInstance::listener())) {
        qWarning() << "A second copy cannot bring this one to the front";
    }
    launcher->show();
    PicturesAhead::clear();
    if (!SingleInstance::errorString().empty()) {
        // Said to the player as well: two copies could now update one game at once.
        QTimer::singleShot(0, launcher.get(), [] {
            QString text = utility::XmlMsgParser::getInstance()->message(kNoLockMessage);
            if (!text.contains(QLatin1String("%1"))) {
                text = QStringLiteral("The launcher runs without its single-instance lock (%1): "
                                      "a second copy would not be noticed.");
            }
            MessageDialog::show(text.arg(QString::fromStdString(SingleInstance::errorString())));
        });
    }
    const int result = app.exec();
    // The window goes first: it joins a running update, whose last lines still reach the
    // log and which still holds the lock (the wake-up listener's socket) while it finishes
    // an entry or writes the disk out, so no second copy can update the same folder.
    launcher.reset();
    LogFile::close();
    return result;
}
