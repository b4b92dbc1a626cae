#pragma once

#include <string>
#include <utility>
#include <vector>

// How a game's program is started on this platform. On Windows: the program itself. On
// Linux: the program, made executable first (packages zipped on Windows record no modes),
// or Wine with the program as its first argument when it is a Windows program, with
// WINEDEBUG=-all unless the player set WINEDEBUG. Paths are UTF-8.
class GameCommand {
public:
    // Fills in the command for `path` (the program, absolute) and `arguments`; false, with
    // the reason in `error`, when the program cannot be started here. `warning` says what
    // went wrong on the way without stopping the start.
    bool prepare(const std::string& path, const std::vector<std::string>& arguments);

    std::string program;
    std::vector<std::string> arguments;
    // Set in the child's environment besides the launcher's own.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string error;
    std::string warning;

    // A Windows program: its first two bytes are "MZ".
    static bool isWindowsProgram(const std::string& path);
    // The full name of `name` in the first folder of `searchPath` (separated as PATH is)
    // that holds an executable file of that name; empty when none does.
    static std::string findOnPath(const std::string& name, const std::string& searchPath);
};
