#pragma once

#include <functional>

#include <QString>

// The launcher's modal message boxes: no parent, one OK button, a catalogue text. Every
// box the main window opens goes through here, so tests can answer them instead.
class MessageDialog {
public:
    using Handler = std::function<void(const QString& text)>;

    // Shows the box and returns when it is closed (OK is its only answer). A mouse grab
    // still held, by a drag of the window, is released first.
    static void show(const QString& text);
    // Replaces the box by `handler` (an empty handler restores the box).
    static void setHandler(Handler handler);
};
