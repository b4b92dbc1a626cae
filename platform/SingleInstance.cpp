#include "platform/SingleInstance.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {
std::string lastError;
int listenerFd = -1;

#ifndef _WIN32
// The lock is a socket name in the abstract namespace, one per user.
socklen_t lockAddress(const char* name, sockaddr_un& address) {
    const std::string full = std::string(name) + "-" + std::to_string(getuid());
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(full.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, full.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// The user id of the process listening on the lock's name, -1 when it cannot be told (it
// accepts nothing more, or is gone). A holder of this user is asked to come to the front.
long holderUid(const sockaddr_un& address, socklen_t size) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    ucred credentials{};
    socklen_t length = sizeof credentials;
    const bool known = connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 &&
                       getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0;
    if (known && credentials.uid == getuid()) {
        const char request[] = "wake\n";
        send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
    }
    close(fd);
    return known ? static_cast<long>(credentials.uid) : -1;
}
#endif
} // namespace

bool SingleInstance::claim(const char* name) {
    lastError.clear();
#ifdef _WIN32
    const int length = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), length);
    // The handle is kept open on purpose: the mutex lives as long as the process.
    CreateMutexW(nullptr, TRUE, wide.c_str());
    return GetLastError() != ERROR_ALREADY_EXISTS;
#else
    // Only one process can hold the name, and the kernel releases it when the process
    // ends, however it ends. The same socket listens for a later copy's wake-up.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError = std::string("no socket for the lock: ") + std::strerror(errno);
        return true; // no lock can be taken; do not keep the player out
    }
    sockaddr_un address;
    const socklen_t size = lockAddress(name, address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        const int error = errno;
        close(fd);
        if (error != EADDRINUSE) {
            lastError = std::string("the lock cannot be taken: ") + std::strerror(error);
            return true;
        }
        // The name has no owner: anyone may bind it first. Only a copy of this user's keeps
        // this one out; any other holder is named, and this copy starts without the lock.
        const long holder = holderUid(address, size);
        if (holder == static_cast<long>(getuid())) {
            return false;
        }
        lastError = holder < 0 ? std::string("its holder cannot be asked who it is")
                               : "it is held by another user (uid " + std::to_string(holder) + ")";
        return true;
    }
    if (listen(fd, 4) != 0) {
        lastError = std::string("a later copy cannot wake this one: ") + std::strerror(errno);
        return true; // the lock is held all the same
    }
    listenerFd = fd; // stays open until the process ends
    return true;
#endif
}

const std::string& SingleInstance::errorString() {
    return lastError;
}

int SingleInstance::listener() {
    return listenerFd;
}

bool SingleInstance::wakeRunning(const char* name) {
#ifdef _WIN32
    (void)name;
    return false;
#else
    // Never waits: a copy that hangs with its queue full is not worth hanging for.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address;
    const socklen_t size = lockAddress(name, address);
    const char request[] = "wake\n";
    const bool sent = connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                      send(fd, request, sizeof request - 1, MSG_NOSIGNAL) ==
                          static_cast<ssize_t>(sizeof request - 1);
    close(fd);
    return sent;
#endif
}

bool SingleInstance::isSameUser(int socketDescriptor) {
#if defined(__linux__)
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == getuid();
#else
    (void)socketDescriptor;
    return true;
#endif
}
