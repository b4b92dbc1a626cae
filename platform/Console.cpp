#include "platform/Console.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

void consolePrint(const char* utf8) {
#ifdef _WIN32
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wideLength);
    const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetACP();
    const int length =
        WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string local(length, '\0');
    WideCharToMultiByte(codePage, 0, wide.c_str(), -1, local.data(), length, nullptr, nullptr);
    std::printf("%s", local.c_str());
#else
    std::printf("%s", utf8);
#endif
    std::fflush(stdout);
}

void consolePrintWithName(const char* format, const std::string& name) {
    char text[512];
    std::snprintf(text, sizeof text, format, name.c_str());
    consolePrint(text);
}
