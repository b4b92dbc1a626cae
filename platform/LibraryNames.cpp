#include "platform/LibraryNames.h"

std::vector<std::string> LibraryNames::curl() {
#if defined(_WIN32)
    return {"libcurl-4.dll", "libcurl.dll", "curl.dll"};
#elif defined(__APPLE__)
    return {"libcurl.4.dylib", "libcurl.dylib"};
#else
    return {"libcurl.so.4", "libcurl.so"};
#endif
}
