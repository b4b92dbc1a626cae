#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace testsupport {

// Runs a program to its end and returns its exit code (-2 when it could not start);
// standard output and error are handed back when asked for.
int runProgram(const QString& program, const QStringList& args, QByteArray* out = nullptr,
               QByteArray* err = nullptr, const QByteArray& input = QByteArray(),
               const QString& workingDirectory = QString(), int timeoutMs = 60000);

// Path of the resource tool built with the project.
QString restoolPath();

// A file's bytes, or "<missing>" when it cannot be read.
QByteArray readOrMissing(const QString& path);
// A loopback address of this test process's own ("127.A.B.<last>", A and B from the process
// id), for servers that must listen on a fixed port: another test run on the machine at
// the same time has another address.
QByteArray privateLoopback(int last);
// Writes a whole file (created or truncated); false when it could not.
bool writeFile(const QString& path, const QByteArray& data);

// Every path below `root` except those inside `keep` (a folder below it), sorted: what a
// test checks to show nothing was written where it must not be.
QStringList pathsOutside(const QString& root, const QString& keep);

// The "verInfo" entries (name to version) of a saved-data file, read back with the
// resource tool; empty when it cannot be read.
QMap<QString, QString> savedVersions(const QString& appDat);

// Random bytes for cross-checks.
QByteArray randomBytes(int size);

// OpenSSL's SEED-ECB over whole blocks with the given key: the independent reference
// the project's cipher is checked against.
QByteArray opensslSeed(const QByteArray& data, const QByteArray& key, bool encrypt);

} // namespace testsupport
