#include "platform/DiskFiles.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
namespace {
std::wstring wide(const std::string& utf8) {
    return std::filesystem::u8path(utf8).wstring();
}
} // namespace
#endif

bool DiskFiles::replace(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool DiskFiles::syncFolder(const std::string& folder) {
#if defined(__linux__)
    // Only the file system holding the folder, not every disk of the machine.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
#elif defined(_WIN32)
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(std::filesystem::u8path(folder), error);
    if (error) {
        return false;
    }
    bool synced = true;
    for (const std::filesystem::directory_entry& entry : it) {
        if (!entry.is_regular_file(error)) {
            continue;
        }
        HANDLE file = CreateFileW(entry.path().wstring().c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue; // read-only: not written by this update
        }
        synced = FlushFileBuffers(file) != 0 && synced;
        CloseHandle(file);
    }
    return synced;
#else
    (void)folder;
    ::sync();
    return true;
#endif
}

bool DiskFiles::makeOwnerOnly(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return true;
#else
    return ::chmod(path.c_str(), S_IRUSR | S_IWUSR) == 0;
#endif
}

std::FILE* DiskFiles::openForReading(const std::string& path) {
#ifdef _WIN32
    return _wfopen(wide(path).c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

long long DiskFiles::tell(std::FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return static_cast<long long>(ftello(file));
#endif
}

bool DiskFiles::seek(std::FILE* file, long long offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, offset, whence) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}
