#pragma once

// Claims the machine-wide single-instance lock under `name`. The lock is held until
// the process ends, when the operating system drops it (also after a crash).
// Returns false when another running process already holds it.
class SingleInstance {
public:
    static bool claim(const char* name);
};
