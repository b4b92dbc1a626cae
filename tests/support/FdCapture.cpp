#include "FdCapture.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace testsupport {

FdCapture::FdCapture(int fd) : fd(fd) {
    std::fflush(nullptr);
    char name[] = "/tmp/fd-capture-XXXXXX";
    fileFd = mkstemp(name);
    unlink(name);
    savedFd = dup(fd);
    dup2(fileFd, fd);
}

FdCapture::~FdCapture() {
    take();
}

QByteArray FdCapture::take() {
    if (savedFd < 0) {
        return QByteArray();
    }
    std::fflush(nullptr);
    dup2(savedFd, fd);
    close(savedFd);
    savedFd = -1;
    QByteArray data;
    lseek(fileFd, 0, SEEK_SET);
    char buffer[65536];
    ssize_t n;
    while ((n = read(fileFd, buffer, sizeof buffer)) > 0) {
        data.append(buffer, static_cast<int>(n));
    }
    close(fileFd);
    fileFd = -1;
    return data;
}

} // namespace testsupport
