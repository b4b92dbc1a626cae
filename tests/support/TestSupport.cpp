#include "TestSupport.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QXmlStreamReader>

namespace testsupport {

int runProgram(const QString& program, const QStringList& args, QByteArray* out, QByteArray* err,
               const QByteArray& input, const QString& workingDirectory, int timeoutMs) {
    QProcess process;
    if (!workingDirectory.isEmpty()) {
        process.setWorkingDirectory(workingDirectory);
    }
    process.start(program, args);
    if (!process.waitForStarted(timeoutMs)) {
        return -2;
    }
    if (!input.isEmpty()) {
        process.write(input);
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -3;
    }
    if (out) {
        *out = process.readAllStandardOutput();
    }
    if (err) {
        *err = process.readAllStandardError();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -4;
}

QString restoolPath() {
    return QStringLiteral(RESTOOL_PATH);
}

QByteArray readOrMissing(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray privateLoopback(int last) {
    const qint64 pid = QCoreApplication::applicationPid();
    return "127." + QByteArray::number(1 + pid % 250) + '.' + QByteArray::number(pid / 250 % 250) +
           '.' + QByteArray::number(last);
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList pathsOutside(const QString& root, const QString& keep) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.startsWith(keep + "/")) {
            out << path;
        }
    }
    out.sort();
    return out;
}

QMap<QString, QString> savedVersions(const QString& appDat) {
    QMap<QString, QString> versions;
    QByteArray out;
    if (runProgram(restoolPath(), {"save-show", appDat}, &out) != 0) {
        return versions;
    }
    QXmlStreamReader reader(out);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("verInfo")) {
            versions.insert(reader.attributes().value("name").toString(),
                            reader.attributes().value("ver").toString());
        }
    }
    return versions;
}

QByteArray randomBytes(int size) {
    QByteArray data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    }
    return data;
}

QByteArray opensslSeed(const QByteArray& data, const QByteArray& key, bool encrypt) {
    QByteArray out;
    const QStringList args{"enc",       encrypt ? "-e" : "-d",
                           "-seed-ecb", "-nopad",
                           "-K",        QString::fromLatin1(key.toHex()),
                           "-provider", "legacy",
                           "-provider", "default"};
    if (runProgram("openssl", args, &out, nullptr, data) != 0) {
        return QByteArray();
    }
    return out;
}

} // namespace testsupport
