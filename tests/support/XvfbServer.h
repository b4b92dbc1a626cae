#pragma once

#include <QProcess>
#include <QString>

namespace testsupport {

// A private X server (Xvfb) for tests that need real windows; stopped on destruction.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();

    bool isRunning() const { return !display_.isEmpty(); }
    QString display() const { return display_; }

    // Top-level windows of the given size that are mapped (viewable) right now.
    int viewableWindows(int width, int height) const;

private:
    QProcess process;
    QString display_;
};

} // namespace testsupport
