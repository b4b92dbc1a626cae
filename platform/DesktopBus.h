#pragma once

// The desktop's message bus for a session (D-Bus), through which the toolkit asks the
// desktop whether it shows the window's menus itself and whether a screen reader listens.
// The first such question connects to the bus, or, with none announced, tries to start one
// (a child process): milliseconds the window's thread need not wait for when a worker
// connects while the window is being built.
class DesktopBus {
public:
    // Whether the toolkit talks to the desktop over a session bus here (Linux), so that
    // connecting to it ahead pays off; false where it does not (Windows).
    static bool inUse();
};
