#pragma once

#include <QByteArray>

namespace testsupport {

// Sends one file descriptor of this process (standard output by default, and so that of
// the children it starts) to a temporary file between construction and take(): the
// archive prints its diagnostics with printf, and games write to inherited channels.
class FdCapture {
public:
    explicit FdCapture(int fd = 1);
    ~FdCapture();
    FdCapture(const FdCapture&) = delete;
    FdCapture& operator=(const FdCapture&) = delete;

    QByteArray take();

private:
    int fd;
    int savedFd = -1;
    int fileFd = -1;
};

} // namespace testsupport
