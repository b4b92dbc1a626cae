#include "platform/StateFolder.h"

#include <cstdlib>
#include <filesystem>

std::string StateFolder::path() {
#ifdef _WIN32
    const wchar_t* base = _wgetenv(L"LOCALAPPDATA");
    if (base == nullptr || *base == L'\0') {
        return std::string();
    }
    return (std::filesystem::path(base) / "boardgame-launcher").u8string();
#else
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/boardgame-launcher";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        return std::string();
    }
    return std::string(home) + "/.local/state/boardgame-launcher";
#endif
}
