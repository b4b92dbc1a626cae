#pragma once

// The four games by game index, in one table: their folder (locally and on the update
// server), their program inside it, the saved-data key of their installed version and
// the reply key of their players-online count.
namespace games {

enum Index : int {
    Poker = 0,
    Matgo = 1,
    Hongsip = 2,
    Majong = 3,
    Count = 4,
    None = 4, // "no game": nothing chosen, or the chosen one has ended
};

struct GameInfo {
    const char* folder;
    const char* program;
    const char* versionKey;
    const char* countKey;
};

// True for the indexes of a game (0 to 3).
bool isGame(int index);
// The game's row; only for indexes of a game.
const GameInfo& info(int index);

} // namespace games
