// libFuzzer target: an arbitrary listing of a game's folder (its first byte's low bit
// chooses MLSD lines with facts or names alone), split into names,
// made into the tree and given local names through the gate. Folders cannot be listed here (there
// is no server), so the first folder ends the listing as a failed sub-listing does.
#include <cstdint>
#include <cstdlib>
#include <set>

#include <QCoreApplication>

#include "fuzz/FuzzSupport.h"
#include "update/FtpThread.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::application<QCoreApplication>();
    FtpThread thread("Poker");
    FtpNode* root = const_cast<FtpNode*>(thread.tree());
    if (size == 0) {
        return 0;
    }
    thread.setFactsListing((data[0] & 1) != 0);
    thread.onListReceived(root, "", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    if (!thread.decodeNames(false)) {
        return 0; // refused: the update stops before anything is written
    }
    // Whatever was taken names one thing inside the game folder, once.
    std::set<std::string> names;
    for (const auto& child : root->children) {
        const std::string& local = child->localName;
        if (local.empty() || local == "." || local == ".." || local == FtpThread::stagingName ||
            local.find_first_of("/\\") != std::string::npos ||
            local.find('\0') != std::string::npos || !names.insert(local).second) {
            std::abort();
        }
    }
    return 0;
}
