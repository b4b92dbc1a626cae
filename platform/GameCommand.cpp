#include "platform/GameCommand.h"

#include <cstdlib>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

bool GameCommand::isWindowsProgram(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char magic[2] = {};
    return file.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

std::string GameCommand::findOnPath(const std::string& name, const std::string& searchPath) {
#ifdef _WIN32
    (void)name;
    (void)searchPath;
    return std::string(); // not needed: programs start as themselves
#else
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        const std::string folder = searchPath.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder[0] != '/') {
            continue; // relative entries would depend on the working folder
        }
        const std::string candidate = folder + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::string();
#endif
}

bool GameCommand::prepare(const std::string& path, const std::vector<std::string>& args) {
    program = path;
    arguments = args;
    environment.clear();
    error.clear();
    warning.clear();
#ifndef _WIN32
    if (isWindowsProgram(path)) {
        const char* searchPath = std::getenv("PATH");
        const std::string wine = findOnPath("wine", searchPath != nullptr ? searchPath : "");
        if (wine.empty()) {
            error = "is a Windows program: Wine is needed to start it, and it is not installed";
            return false;
        }
        program = wine;
        arguments.insert(arguments.begin(), path);
        // Wine's diagnostics would fill the log; the player's own setting wins.
        if (std::getenv("WINEDEBUG") == nullptr) {
            environment.emplace_back("WINEDEBUG", "-all");
        }
        return true;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR) == 0 &&
        ::chmod(path.c_str(), (info.st_mode & 07777) | S_IXUSR) != 0) {
        warning = "cannot be made executable";
    }
#endif
    return true;
}
