#include "GameProgram.h"

#include <QDir>
#include <QFileInfo>

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
