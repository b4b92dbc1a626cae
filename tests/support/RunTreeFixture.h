#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A temporary run tree for one test case: "<root>/Launcher/bin/release" made and made the
// working folder (as the launcher has it), "<root>/Launcher/resource" beside it, and the
// games' folders at "<root>/<Game>". The destructor goes back to the previous working
// folder and removes the tree. Lives on the test's thread.
class RunTreeFixture {
public:
    // The game folders to make along with it (none, or e.g. "Poker").
    explicit RunTreeFixture(const QString& game = QString());
    ~RunTreeFixture();
    RunTreeFixture(const RunTreeFixture&) = delete;
    RunTreeFixture& operator=(const RunTreeFixture&) = delete;

    // The tree was made and is the working folder.
    bool isValid() const { return valid; }
    QString root() const { return dir.path(); }
    QString workDir() const { return dir.path() + "/Launcher/bin/release"; }
    QString resource(const QString& rel = QString()) const;
    // "<root>/<game>/<rel>".
    QString game(const QString& game, const QString& rel = QString()) const;

private:
    QTemporaryDir dir;
    QString previous;
    bool valid = false;
};

} // namespace testsupport
