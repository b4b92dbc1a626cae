#pragma once

#include <string>

// Claims the single-instance lock under `name`. The lock is held until the process
// ends, when the operating system drops it (also after a crash). On Unix the lock is
// per user: the user id is part of its name, so players sharing a machine each run
// their own copy.
class SingleInstance {
public:
    // False only when a running copy of this user's holds the lock; it has been asked to
    // come to the front. Any other failure, a holder of another user among them, lets the
    // program start; errorString() then says why no lock is held.
    static bool claim(const char* name);
    // Why the last claim() could not take the lock although no copy of this user's held
    // it; empty when it took it (or found it held by such a copy).
    static const std::string& errorString();
    // Where the running copy that holds the lock listens for a wake-up: a listening
    // socket for QLocalServer::listen(qintptr), or -1 when there is none.
    static int listener();
    // Asks the copy that holds the lock to come to the front; false when it cannot be
    // reached.
    static bool wakeRunning(const char* name);
    // Whether the process at the other end of a connected local socket runs as this user
    // (SO_PEERCRED; true where the platform cannot tell).
    static bool isSameUser(int socketDescriptor);
};
