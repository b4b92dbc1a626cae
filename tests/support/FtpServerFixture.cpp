#include "FtpServerFixture.h"

#include <filesystem>
#include <system_error>

#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace testsupport {

namespace {
const char* const python = "/usr/bin/python3";
}

FtpServerFixture::FtpServerFixture() {
    QDir().mkpath(rootPath());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

FtpServerFixture::~FtpServerFixture() {
    kill();
    // Some served names are not valid in the locale's encoding and cannot be removed through
    // QDir: the tree goes by its raw bytes.
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(dir.path()).toStdString(), error);
}

QString FtpServerFixture::rootPath() const {
    return dir.path() + "/root";
}

bool FtpServerFixture::addFile(const QString& relPath, const QByteArray& data) {
    const QString path = rootPath() + '/' + relPath;
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return false;
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool FtpServerFixture::addDir(const QString& relPath) {
    return QDir().mkpath(rootPath() + '/' + relPath);
}

bool FtpServerFixture::start() {
    return start(Options());
}

bool FtpServerFixture::start(const Options& options) {
    if (!dir.isValid()) {
        return false;
    }
    QJsonObject extra;
    for (auto it = options.extraNames.begin(); it != options.extraNames.end(); ++it) {
        extra.insert(it.key(), QJsonArray::fromStringList(it.value()));
    }
    // Through a file: a listing made long on purpose does not fit a command line.
    QFile extraFile(dir.path() + "/extra.json");
    if (!extraFile.open(QIODevice::WriteOnly) ||
        extraFile.write(QJsonDocument(extra).toJson(QJsonDocument::Compact)) < 0) {
        return false;
    }
    extraFile.close();
    QStringList args{QStringLiteral(TESTS_SOURCE_DIR "/support/ftp_fixture.py"),
                     "--root",
                     rootPath(),
                     "--log",
                     dir.path() + "/commands.log",
                     "--password",
                     QString::fromUtf8(options.password),
                     "--rate",
                     QString::number(options.bytesPerSecond),
                     "--extra-file",
                     extraFile.fileName(),
                     "--encoding",
                     QString::fromLatin1(options.encoding),
                     "--cut-after",
                     QString::number(options.cutAfter),
                     "--connections-per-address",
                     QString::number(options.connectionsPerAddress)};
    if (options.refuseRest) {
        args << "--refuse-rest";
    }
    if (options.namesOnly) {
        args << "--names-only";
    }
    process.start(python, args);
    if (!process.waitForStarted(10000)) {
        return false;
    }
    // The server prints its port once it listens.
    QDeadlineTimer deadline(15000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(int(deadline.remainingTime()))) {
            break;
        }
        out += process.readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (!line.startsWith("PORT ")) {
        kill();
        return false;
    }
    port = quint16(line.mid(5).toUInt());
    password = options.password;
    return port != 0;
}

QByteArray FtpServerFixture::url(const QByteArray& otherPassword) const {
    const QByteArray& pass = otherPassword.isNull() ? password : otherPassword;
    return "ftp://u:" + pass + "@127.0.0.1:" + QByteArray::number(port);
}

qint64 FtpServerFixture::bytesSent() const {
    qint64 sum = 0;
    for (const QString& line : commands()) {
        if (line.startsWith("SENT RETR ")) {
            sum += line.mid(10).toLongLong();
        }
    }
    return sum;
}

QStringList FtpServerFixture::commands() const {
    QFile log(dir.path() + "/commands.log");
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList FtpServerFixture::paths(const QString& command) const {
    QStringList out;
    for (const QString& line : commands()) {
        for (const QString& name : command.split('|')) {
            if (line.startsWith(name + ' ')) {
                out << line.mid(name.size() + 1);
            }
        }
    }
    return out;
}

QStringList FtpServerFixture::fetched() const {
    QStringList out = paths("RETR");
    out.sort();
    return out;
}

void FtpServerFixture::clearCommands() {
    QFile log(dir.path() + "/commands.log");
    if (log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        log.close();
    }
}

void FtpServerFixture::kill() {
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    resume();
    process.kill();
    process.waitForFinished(10000);
}

void FtpServerFixture::stall() {
    if (process.state() != QProcess::NotRunning && !stalled) {
        ::kill(pid_t(process.processId()), SIGSTOP);
        stalled = true;
    }
}

void FtpServerFixture::resume() {
    if (process.state() != QProcess::NotRunning && stalled) {
        ::kill(pid_t(process.processId()), SIGCONT);
        stalled = false;
    }
}

} // namespace testsupport
