#include "app/LogFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex mutex;
QFile* file = nullptr;
QtMessageHandler previousHandler = nullptr;

const char* levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

void writeLine(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8();
    line += ' ';
    line += levelName(type);
    if (context.category != nullptr && qstrcmp(context.category, "default") != 0) {
        line += ' ';
        line += context.category;
    }
    line += ": " + text.toUtf8() + '\n';
    {
        QMutexLocker lock(&mutex);
        if (file != nullptr) {
            file->write(line);
            file->flush();
        }
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}
} // namespace

QString LogFile::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + "/.local/state";
    }
    return base + "/boardgame-launcher";
}

bool LogFile::open(const QString& folder) {
    close();
    const QDir dir(folder);
    if (!dir.mkpath(".")) {
        return false;
    }
    const QString name = dir.filePath("launcher.log");
    auto numbered = [&name](int run) {
        return run == 0 ? name : name + '.' + QString::number(run);
    };
    QFile::remove(numbered(kKeptRuns - 1));
    for (int run = kKeptRuns - 2; run >= 0; --run) {
        if (QFile::exists(numbered(run))) {
            QFile::rename(numbered(run), numbered(run + 1));
        }
    }
    auto* opened = new QFile(name);
    if (!opened->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        delete opened;
        return false;
    }
    // Game output may name the player; the log is the player's alone.
    opened->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        QMutexLocker lock(&mutex);
        file = opened;
    }
    previousHandler = qInstallMessageHandler(writeLine);
    return true;
}

QString LogFile::path() {
    QMutexLocker lock(&mutex);
    return file != nullptr ? file->fileName() : QString();
}

void LogFile::append(const QByteArray& text) {
    QMutexLocker lock(&mutex);
    if (file != nullptr) {
        file->write(text);
        file->flush();
    }
}

void LogFile::close() {
    QFile* closing = nullptr;
    {
        QMutexLocker lock(&mutex);
        closing = file;
        file = nullptr;
    }
    if (closing == nullptr) {
        return;
    }
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
    delete closing;
}
