#include "XvfbServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include "TestSupport.h"

namespace testsupport {

XvfbServer::XvfbServer() {
    // The server picks a free display itself and reports its number: choosing one by
    // looking for lock files races with other test runs on the same machine.
    // No reset each time the last client leaves: the tests start and end many launchers.
    process.start(
        "Xvfb", {"-displayfd", "1", "-screen", "0", "1280x900x24", "-nolisten", "tcp", "-noreset"});
    if (!process.waitForStarted(5000)) {
        return;
    }
    QByteArray number;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && process.state() == QProcess::Running &&
           !number.endsWith('\n')) {
        process.waitForReadyRead(100);
        number += process.readAllStandardOutput();
    }
    if (number.endsWith('\n')) {
        display_ = ':' + QString::fromLatin1(number.trimmed());
    }
}

XvfbServer::~XvfbServer() {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
}

int XvfbServer::viewableWindows(int width, int height) const {
    QByteArray out;
    QByteArray err;
    const int status =
        runProgram("xwininfo", {"-display", display_, "-root", "-children"}, &out, &err);
    if (status != 0) {
        qWarning("xwininfo on %s: status %d, %s; Xvfb %s", qPrintable(display_), status,
                 err.constData(),
                 process.state() == QProcess::Running
                     ? "running"
                     : qPrintable(QString("ended (%1): %2")
                                      .arg(process.exitCode())
                                      .arg(QString::fromLocal8Bit(
                                          const_cast<QProcess&>(process).readAllStandardError()))));
        return -1;
    }
    int count = 0;
    static const QRegularExpression idPattern("^\\s+(0x[0-9a-f]+)");
    for (const QByteArray& line : out.split('\n')) {
        const auto match = idPattern.match(QString::fromUtf8(line));
        if (!match.hasMatch()) {
            continue;
        }
        QByteArray info;
        runProgram("xwininfo", {"-display", display_, "-id", match.captured(1)}, &info);
        if (info.contains("Map State: IsViewable") &&
            info.contains(QString("Width: %1\n").arg(width).toUtf8()) &&
            info.contains(QString("Height: %1\n").arg(height).toUtf8())) {
            ++count;
        }
    }
    return count;
}

} // namespace testsupport
