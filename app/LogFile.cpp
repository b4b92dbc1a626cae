#include "app/LogFile.h"

#include <algorithm>
#include <future>
#include <iterator>
#include <system_error>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMutex>
#include <QMutexLocker>

#include "platform/StateFolder.h"

namespace {
QMutex mutex;
QFile* file = nullptr;
QtMessageHandler previousHandler = nullptr;
bool handling = false; // Qt's message output comes here
// A background opening: while it runs, what is written is held here.
std::future<void> opening;
bool holding = false;
QByteArray held;
// What this run has written, and whether it has been cut at the limit.
qint64 written = 0;
bool cut = false;
// The last message line (without its time) and how often it came again since.
QByteArray lastLine;
int repeats = 0;
// The length so far of the line of a game's output on each channel (1 and 2).
qint64 outputLineLength[3] = {};

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

QByteArray timeStamp() {
    return QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8();
}

// To the file, or held while it is being opened; the bytes taken. Mutex held.
qint64 writeOut(const QByteArray& bytes) {
    if (holding) {
        held += bytes;
        return bytes.size();
    }
    const qint64 taken = file->write(bytes);
    file->flush();
    return taken;
}

// Writes within the run's limit; the first write over it ends the log with one line.
// Called with the mutex held.
void put(const QByteArray& bytes) {
    if ((file == nullptr && !holding) || cut) {
        return;
    }
    if (written + bytes.size() > LogFile::kMaxBytes) {
        cut = true;
        writeOut("\n" + timeStamp() + " the log reached its limit of " +
                 QByteArray::number(LogFile::kMaxBytes) +
                 " bytes: the rest of this run is not kept\n");
        return;
    }
    written += writeOut(bytes);
}

// Moves the earlier runs' logs along and makes this run's; null when it cannot be written.
QFile* makeLog(const QString& folder) {
    const QDir dir(folder);
    if (!dir.mkpath(".")) {
        return nullptr;
    }
    // The folder is the player's alone before any log is made in it: nobody else can open
    // a log, even in the moment before its own mode is narrowed.
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString name = dir.filePath("launcher.log");
    // Two copies starting together (possible when another user holds the single-instance
    // lock's name) take turns: each moves the earlier logs along, then opens its own, and
    // the other's open log only changes its name.
    QLockFile turn(name + ".lock");
    turn.tryLock(5000);
    auto numbered = [&name](int run) {
        return run == 0 ? name : name + '.' + QString::number(run);
    };
    QFile::remove(numbered(LogFile::kKeptRuns - 1));
    for (int run = LogFile::kKeptRuns - 2; run >= 0; --run) {
        if (QFile::exists(numbered(run))) {
            QFile::rename(numbered(run), numbered(run + 1));
        }
    }
    auto* opened = new QFile(name);
    if (!opened->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        delete opened;
        return nullptr;
    }
    // Game output may name the player; the log is the player's alone.
    opened->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return opened;
}

// A new run's state, writing to `to` (null: holding until the file is there). Mutex held.
void startRun(QFile* to) {
    file = to;
    written = 0;
    cut = false;
    lastLine.clear();
    repeats = 0;
    std::fill(std::begin(outputLineLength), std::end(outputLineLength), 0);
}

// Says how often the last line came again, once a different one comes. Mutex held.
void putRepeats() {
    if (repeats > 0) {
        put(timeStamp() + " (the line above came " + QByteArray::number(repeats) +
            " more times)\n");
        repeats = 0;
    }
}

void writeLine(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    QByteArray line = levelName(type);
    if (context.category != nullptr && qstrcmp(context.category, "default") != 0) {
        line += ' ';
        line += context.category;
    }
    line += ": " + text.toUtf8() + '\n';
    {
        QMutexLocker lock(&mutex);
        // The same failure every second makes one line and a count, not a line a second.
        if (line == lastLine) {
            ++repeats;
        } else {
            putRepeats();
            lastLine = line;
            put(timeStamp() + ' ' + line);
        }
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}
} // namespace

QString LogFile::defaultFolder() {
    return QString::fromStdString(StateFolder::path());
}

bool LogFile::open(const QString& folder) {
    close();
    QFile* opened = makeLog(folder);
    if (opened == nullptr) {
        return false;
    }
    {
        QMutexLocker lock(&mutex);
        startRun(opened);
    }
    previousHandler = qInstallMessageHandler(writeLine);
    handling = true;
    return true;
}

void LogFile::openInBackground(const QString& folder) {
    close();
    {
        QMutexLocker lock(&mutex);
        startRun(nullptr);
        holding = true;
        held.clear();
    }
    previousHandler = qInstallMessageHandler(writeLine);
    handling = true;
    const auto makeAndAdopt = [folder] {
        QFile* opened = makeLog(folder);
        bool made = false;
        {
            QMutexLocker lock(&mutex);
            holding = false;
            if (opened != nullptr) {
                file = opened;
                file->write(held);
                made = file->flush();
            }
            held.clear();
        }
        if (opened == nullptr) {
            qWarning() << "No log file can be written in" << folder;
        } else if (!made) {
            qWarning() << "The log file could not be written:" << opened->errorString();
        }
    };
    try {
        opening = std::async(std::launch::async, makeAndAdopt);
    } catch (const std::system_error&) {
        makeAndAdopt(); // no thread to be had: opened here and now
    }
}

QString LogFile::path() {
    if (opening.valid()) {
        opening.wait();
    }
    QMutexLocker lock(&mutex);
    return file != nullptr ? file->fileName() : QString();
}

void LogFile::append(const QByteArray& text, int channel) {
    QMutexLocker lock(&mutex);
    putRepeats();
    lastLine.clear();
    // Lines of a game's output are kept to kMaxOutputLine bytes each: a game that prints
    // without end still has the run's limit to reach.
    qint64& length = outputLineLength[channel == 2 ? 2 : 1];
    QByteArray kept;
    for (const char c : text) {
        if (c == '\n') {
            length = 0;
        } else if (++length > kMaxOutputLine) {
            if (length == kMaxOutputLine + 1) {
                kept += " [line cut]";
            }
            continue;
        }
        kept += c;
    }
    put(kept);
}

void LogFile::close() {
    if (opening.valid()) {
        opening.get();
    }
    QFile* closing = nullptr;
    {
        QMutexLocker lock(&mutex);
        putRepeats();
        closing = file;
        file = nullptr;
    }
    if (!handling) {
        return;
    }
    handling = false;
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
    delete closing;
}
