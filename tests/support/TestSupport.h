#pragma once

#include <chrono>
#include <future>
#include <thread>

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

// Stops the whole run when a step does not end in time: a step that hangs (a worker never
// joined, a call that waits for a peer) fails here, with a reason, rather than wait for the
// test runner's timeout.
template <typename Step> void withinSeconds(int seconds, const char* what, Step step) {
    std::promise<void> done;
    std::thread watchdog([&what, seconds, finished = done.get_future()] {
        if (finished.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
            qFatal("%s did not end within %d s", what, seconds);
        }
    });
    step();
    done.set_value();
    watchdog.join();
}

} // namespace testsupport
