#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>

#include "Launcher.h"
#include "ResourceArchive.h"
#include "SaveData.h"
#include "SingleInstance.h"
#include "XmlMsgParser.h"
#include "XmlServerParser.h"

namespace {
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

int main(int argc, char** argv) {
    if (!SingleInstance::claim("zorvanBoardGameLauncher")) {
        std::exit(-1);
    }
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon("../../resource/icon.ico"));

    if (std::unique_ptr<QByteArray> font{loadBytes(archiveReader, "font/simhei.ttf")}) {
        QFontDatabase::addApplicationFontFromData(*font);
    }
    // Each of these keeps its empty state when its data cannot be read; the window is
    // shown all the same.
    utility::XmlMsgParser::getInstance()->load("script/msg.xml");
    utility::XmlServerParser::getInstance()->load("script/server.xml");
    utility::SaveData::getInstance()->load();

    Launcher launcher;
    launcher.show();
    return app.exec();
}
