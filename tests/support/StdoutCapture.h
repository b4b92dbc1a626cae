#pragma once

#include <QByteArray>

namespace testsupport {

// Captures what this process writes to standard output (file descriptor 1) between
// construction and take(): the archive prints its diagnostics with printf.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    QByteArray take();

private:
    int savedFd = -1;
    int fileFd = -1;
};

} // namespace testsupport
