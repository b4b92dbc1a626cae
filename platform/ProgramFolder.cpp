#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

std::string ProgramFolder::path() {
    std::error_code error;
#ifdef _WIN32
    // Long paths included: the buffer grows until the whole name fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(name.size() * 2);
    }
    const std::filesystem::path program(name);
#else
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::string();
    }
#endif
    return program.parent_path().u8string();
}

bool ProgramFolder::enter(std::string& error) {
    const std::string folder = path();
    if (folder.empty()) {
        error = "the program's folder cannot be found";
        return false;
    }
    std::error_code code;
    std::filesystem::current_path(std::filesystem::u8path(folder), code);
    if (code) {
        error = folder + ": " + code.message();
        return false;
    }
#ifndef _WIN32
    // Children see the folder they were really started in, also through $PWD.
    setenv("PWD", folder.c_str(), 1);
#endif
    return true;
}
