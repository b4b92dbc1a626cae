#pragma once

#include <QString>

// "launcher --verify GAME": checks one game's installed files and repairs what is damaged,
// without a window, for operators' support scripts. Runs on the main thread of a
// QCoreApplication; the result goes to standard output.
class VerifyCommand {
public:
    // The game named by its folder ("Poker", any case), or -1.
    static int gameIndex(const QString& name);
    // Verifies and repairs the game; 0 when every file is whole afterwards, 1 when
    // something could not be repaired (or the repair failed), 2 for an unknown game.
    static int run(const QString& name);
};
