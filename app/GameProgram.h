#pragma once

#include <QString>

// Finds a game's program inside its folder. The games were made for a file system that
// ignores case ("Matgo.exe" and "matgo.exe" are one file), so the name is matched
// without regard to case; an exact match wins.
class GameProgram {
public:
    // The program's path inside `folder`, or an empty text when there is none.
    static QString locate(const QString& folder, const QString& name);
    // True when files can be created in `folder`, made first if it does not exist.
    static bool canWriteFolder(const QString& folder);
};
