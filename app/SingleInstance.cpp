#include "SingleInstance.h"

#include <algorithm>
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

bool SingleInstance::claim(const char* name) {
#ifdef _WIN32
    const int length = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), length);
    // The handle is kept open on purpose: the mutex lives as long as the process.
    CreateMutexW(nullptr, TRUE, wide.c_str());
    return GetLastError() != ERROR_ALREADY_EXISTS;
#else
    // A socket bound to a name in the abstract namespace: only one process can hold
    // the name, and the kernel releases it when the process ends, however it ends.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return true; // no lock can be taken; do not keep the player out
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(std::strlen(name), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name, length);
    const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        close(fd);
        return false;
    }
    return true; // fd stays open until the process ends
#endif
}
