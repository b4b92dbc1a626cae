// libFuzzer target: an arbitrary file as a game's package, installed into a game folder
// of a private tree. Anything written outside the game folder fails the run.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>

#include "fuzz/FuzzSupport.h"
#include "update/PackageInstaller.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::application<QCoreApplication>();
    const QString root = fuzzsupport::runTree().path();
    const QString game = root + "/Poker";
    QDir(game).removeRecursively();
    QFile package(game + "/Poker.zip");
    if (!QDir().mkpath(game) || !package.open(QIODevice::WriteOnly) ||
        package.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::abort();
    }
    package.close();
    std::atomic<int> total{0};
    std::atomic<int> current{0};
    PackageInstaller("Poker", total, current).run();
    // The tree holds the launcher's folders and the game folder, nothing else.
    const QStringList allowed{root + "/Launcher", root + "/Launcher/bin",
                              root + "/Launcher/bin/release", root + "/Launcher/resource", game};
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!allowed.contains(path) && !path.startsWith(game + '/')) {
            std::fprintf(stderr, "written outside the game folder: %s\n", qPrintable(path));
            std::abort();
        }
        // A link inside the game folder must not lead out of it either.
        if (it.fileInfo().isSymLink() && !it.fileInfo().canonicalFilePath().startsWith(game)) {
            std::fprintf(stderr, "link out of the game folder: %s\n", qPrintable(path));
            std::abort();
        }
    }
    return 0;
}
