// libFuzzer target: arbitrary bytes as the saved data "../../resource/app.dat", loaded
// (decrypted and parsed), then written back and loaded again.
#include <cstdint>
#include <cstdlib>

#include <QFile>

#include "archive/Seed.h"
#include "fuzz/FuzzSupport.h"
#include "utility/SaveData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = fuzzsupport::runTree().path() + "/Launcher/resource/app.dat";
    if (size == 0) {
        return 0;
    }
    // The first byte chooses whether the rest is the text (sealed here, as the launcher
    // writes it) or the file's bytes as they lie on disk.
    QByteArray bytes(reinterpret_cast<const char*>(data) + 1, int(size - 1));
    if (data[0] & 1) {
        seedEncryptBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(),
                          kResourceKey);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::abort();
    }
    file.close();
    utility::SaveData* saved = utility::SaveData::getInstance();
    saved->setIsSave(false); // nothing of the last input is carried over
    if (!saved->load()) {
        return 0;
    }
    // What was read survives a save and a load unchanged.
    const auto users = saved->users();
    const auto versions = saved->versions();
    const bool remember = saved->isSave();
    if (!saved->save() || !saved->load() || saved->versions() != versions ||
        saved->isSave() != remember || (remember && saved->users() != users)) {
        std::abort();
    }
    return 0;
}
