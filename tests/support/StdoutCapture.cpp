#include "StdoutCapture.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace testsupport {

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    char name[] = "/tmp/stdout-capture-XXXXXX";
    fileFd = mkstemp(name);
    unlink(name);
    savedFd = dup(1);
    dup2(fileFd, 1);
}

StdoutCapture::~StdoutCapture() { take(); }

QByteArray StdoutCapture::take() {
    if (savedFd < 0) {
        return QByteArray();
    }
    std::fflush(stdout);
    dup2(savedFd, 1);
    close(savedFd);
    savedFd = -1;
    QByteArray data;
    lseek(fileFd, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fileFd, buffer, sizeof buffer)) > 0) {
        data.append(buffer, static_cast<int>(n));
    }
    close(fileFd);
    fileFd = -1;
    return data;
}

} // namespace testsupport
