#pragma once

#include <QByteArray>
#include <QString>

// The launcher's log for support: every diagnostic of the program (Qt's message output,
// which never carries a password) and the output of the games, written to
// "launcher.log" in the user's state folder. The logs of the last five runs are kept
// ("launcher.log", "launcher.log.1" ... "launcher.log.4"). Any thread may write.
class LogFile {
public:
    static constexpr int kKeptRuns = 5;
    // At most this much per run, then one line saying the rest was cut; a line of a game's
    // output is cut after kMaxOutputLine bytes; a message line repeated at once is written
    // once, followed by how often it came.
    static constexpr qint64 kMaxBytes = 4 << 20;
    static constexpr qint64 kMaxOutputLine = 1024;

    // The user's state folder for the launcher (see StateFolder): on Linux
    // "$XDG_STATE_HOME/boardgame-launcher" or "~/.local/state/boardgame-launcher".
    static QString defaultFolder();
    // Moves the earlier runs' logs one place up, starts this run's log in `folder` and
    // sends Qt's message output there too (it still reaches standard error). False when
    // the log cannot be written; the program runs on without it.
    static bool open(const QString& folder);
    // open() on a worker thread, so that the window does not wait for the disk: Qt's
    // message output is taken at once, and what comes before the file is open is held in
    // memory and written first. When the log cannot be written, a warning says so and the
    // held lines are dropped (they reached standard error all the same).
    static void openInBackground(const QString& folder);
    // The path of this run's log; empty when none is open.
    static QString path();
    // Raw output of a child process, added as it comes; `channel` (1 standard output, 2
    // standard error) keeps each channel's lines apart.
    static void append(const QByteArray& text, int channel = 1);
    // Stops writing (once a background opening has ended) and gives Qt's message output
    // back to its earlier handler.
    static void close();
};
