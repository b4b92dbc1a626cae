#pragma once

#include <string>

// The folder of the launcher's own state (its log), per user: on Linux
// "$XDG_STATE_HOME/boardgame-launcher", or "~/.local/state/boardgame-launcher" when the
// variable is unset or not absolute; on Windows "%LOCALAPPDATA%\boardgame-launcher". UTF-8;
// empty when no base folder is known.
class StateFolder {
public:
    static std::string path();
};
