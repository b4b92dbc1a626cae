#pragma once

#include <cstdlib>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

// What several fuzz targets share: a private folder tree laid out as the launcher's
// ("<tmp>/Launcher/bin/release" as the working folder, "../../resource" and the games
// beside it), made once per process.
namespace fuzzsupport {

// The launcher's diagnostics for every input would only slow the run down.
inline void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}
inline const bool quiet = (qInstallMessageHandler(dropMessage), true);

inline QTemporaryDir& runTree() {
    static QTemporaryDir dir(QDir::tempPath() + "/launcher-fuzz-XXXXXX");
    static const bool laidOut = [] {
        const QString work = dir.path() + "/Launcher/bin/release";
        return dir.isValid() && QDir().mkpath(work) &&
               QDir().mkpath(dir.path() + "/Launcher/resource") && QDir::setCurrent(work);
    }();
    if (!laidOut) {
        std::abort();
    }
    return dir;
}

// Qt's application object, needed by whatever reads text codecs, settings or widgets.
// Never deleted: it lives as long as the process, as its windows do.
template <typename App> App& application() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static App* app = new App(argc, argv);
    return *app;
}

} // namespace fuzzsupport
