#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>

#include "Launcher.h"
#include "ResourceArchive.h"
#include "SingleInstance.h"

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

    Launcher launcher;
    launcher.show();
    return app.exec();
}
