#pragma once

#include <string>

// Makes the program's own folder the working folder. Every path of the launcher is
// relative to it ("../../resource", "../../../<Game>"), so however the program was
// started (a menu entry, a shell in the home folder, a file manager) it must run there
// before the first file is read. Linux (/proc/self/exe) and Windows (GetModuleFileNameW);
// paths are UTF-8.
class ProgramFolder {
public:
    // The folder of the running program, empty when it cannot be found.
    static std::string path();
    // Changes into path(); false, with the reason in `error`, when that fails.
    static bool enter(std::string& error);
};
