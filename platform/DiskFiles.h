#pragma once

#include <cstdio>
#include <string>

// File operations whose means differ between the platforms. Paths are UTF-8.
class DiskFiles {
public:
    // Puts `from` in the place of `to` in one step, replacing a file that is there.
    static bool replace(const std::string& from, const std::string& to);
    // Writes out what the folder's files hold to the disk: syncfs() of its file system on
    // Linux, FlushFileBuffers() on every file below it on Windows (read-only files are
    // skipped: nothing wrote them), sync() elsewhere.
    static bool syncFolder(const std::string& folder);
    // Readable and writable by its owner alone: mode 0600 on POSIX systems. On Windows
    // files below the user's profile already carry the profile's per-user rights, and
    // nothing is changed.
    static bool makeOwnerOnly(const std::string& path);
    // A file opened for buffered binary reading by its UTF-8 name, with 64-bit positions;
    // null when it cannot be opened.
    static std::FILE* openForReading(const std::string& path);
    static long long tell(std::FILE* file);
    static bool seek(std::FILE* file, long long offset, int whence);
};
