#pragma once

// The system's font configuration, which the toolkit reads the first time it needs a font.
// Where fonts are found through fontconfig (Linux), reading it means parsing some forty
// configuration files and loading the font lists' caches: a few milliseconds that can be
// spent on a worker thread while the toolkit starts, instead of on the window's thread.
class FontConfiguration {
public:
    // Reads the configuration on the calling thread and makes it the process's own, where
    // the toolkit then finds it. Safe on any thread, before or alongside the toolkit's
    // start; does nothing where the toolkit reads no such configuration (Windows).
    static void load();
};
