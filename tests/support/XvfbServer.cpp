#include "XvfbServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include "TestSupport.h"

namespace testsupport {

XvfbServer::XvfbServer() {
    for (int number = 90; number < 140 && display_.isEmpty(); ++number) {
        if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)) ||
            QFile::exists(QString("/tmp/.X%1-lock").arg(number))) {
            continue;
        }
        process.start("Xvfb", {QString(":%1").arg(number), "-screen", "0", "1280x900x24",
                               "-nolisten", "tcp"});
        if (!process.waitForStarted(5000)) {
            return;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000 && process.state() == QProcess::Running) {
            if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number))) {
                display_ = QString(":%1").arg(number);
                break;
            }
            QThread::msleep(20);
        }
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
    if (runProgram("xwininfo", {"-display", display_, "-root", "-children"}, &out) != 0) {
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
