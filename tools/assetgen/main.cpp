#include <cstdio>

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

#include "Drawing.h"
#include "Mockup.h"
#include "PictureSet.h"

namespace {

const char* const usage = "usage: assetgen [--font-dir DIR] OUTDIR\n"
                          "       assetgen --mockup WINDOW.png RESDIR\n"
                          "       assetgen --sheet SHEET.png RESDIR\n"
                          "OUTDIR receives res/<entry>.png for every picture and icon.ico.\n"
                          "--font-dir names where NanumSquareR.ttf and NanumSquareB.ttf lie.\n";

QString registerFont(const QString& path) {
    const int id = QFontDatabase::addApplicationFont(path);
    if (id < 0 || QFontDatabase::applicationFontFamilies(id).isEmpty()) {
        std::fprintf(stderr, "assetgen: cannot load %s, using the default font\n",
                     qPrintable(path));
        return {};
    }
    return QFontDatabase::applicationFontFamilies(id).first();
}

int writePictures(const QString& outDir, const QString& fontDir) {
    // NanumSquare is also the launcher's own font, so picture text and captions match.
    const QString regular = registerFont(QDir(fontDir).filePath("NanumSquareR.ttf"));
    const QString bold = registerFont(QDir(fontDir).filePath("NanumSquareB.ttf"));
    // Both files carry the same family name; the bold one is told apart by its weight.
    draw::setFontFamilies(regular, bold);

    QString error;
    if (!PictureSet().write(outDir, error)) {
        std::fprintf(stderr, "assetgen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

int writePreview(bool sheet, const QString& out, const QString& resDir) {
    Mockup mockup(resDir);
    const QImage img = sheet ? mockup.sheet() : mockup.window();
    for (const QString& name : mockup.missing()) {
        std::fprintf(stderr, "assetgen: missing %s\n", qPrintable(name));
    }
    if (!img.save(out, "png")) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return mockup.missing().isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // A drawing tool with no window: run headless unless told otherwise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);

    if (args.size() == 3 && (args[0] == "--mockup" || args[0] == "--sheet")) {
        return writePreview(args[0] == "--sheet", args[1], args[2]);
    }

    QString fontDir = "/usr/share/fonts/truetype/nanum";
    if (args.size() >= 2 && args[0] == "--font-dir") {
        fontDir = args[1];
        args = args.mid(2);
    }
    if (args.size() != 1 || args[0].startsWith("--")) {
        std::fputs(usage, stderr);
        return 2;
    }
    return writePictures(args[0], fontDir);
}
