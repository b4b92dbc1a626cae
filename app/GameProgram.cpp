#include "app/GameProgram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

QString GameProgram::locate(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QFileInfo exact(dir.filePath(name));
    if (exact.isFile()) {
        return exact.filePath();
    }
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& file : files) {
        if (file.fileName().compare(name, Qt::CaseInsensitive) == 0) {
            return file.filePath();
        }
    }
    return QString();
}

bool GameProgram::canWriteFolder(const QString& folder) {
    // Tried rather than read from the modes: only a real file tells about read-only
    // mounts, access lists and the rights of the user the program runs as.
    if (!QDir().mkpath(folder)) {
        return false;
    }
    QTemporaryFile probe(QDir(folder).filePath(".write-test-XXXXXX"));
    return probe.open();
}
