#include "app/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string ProgramFolder::path() {
#ifdef __linux__
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        return program.parent_path().string();
    }
#endif
    return std::string();
}

bool ProgramFolder::enter(std::string& error) {
#ifdef __linux__
    const std::string folder = path();
    if (folder.empty()) {
        error = "the program's folder cannot be found";
        return false;
    }
    std::error_code code;
    std::filesystem::current_path(folder, code);
    if (code) {
        error = folder + ": " + code.message();
        return false;
    }
    // Children see the folder they were really started in, also through $PWD.
    setenv("PWD", folder.c_str(), 1);
#else
    (void)error;
#endif
    return true;
}
