#pragma once

#include <string>
#include <vector>

// The file names a shared library goes by on this platform, most specific first.
class LibraryNames {
public:
    // libcurl: "libcurl.so.4" then "libcurl.so" on Linux; on Windows the DLL as builds name
    // it after the version, or not at all.
    static std::vector<std::string> curl();
};
