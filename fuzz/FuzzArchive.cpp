// libFuzzer target: an arbitrary byte image opened as the resource archive's zip image
// through the memory file functions, and every entry extracted.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/MemoryFile.h"
#include "archive/Seed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > (1u << 24)) {
        return 0;
    }
    // The first byte chooses whether the rest is the plain image or the file as it lies
    // on disk (encrypted whole blocks, tail untouched).
    std::vector<unsigned char> image(data + 1, data + size);
    if (data[0] & 1) {
        seedDecryptBuffer(image.data(), image.size(), kResourceKey);
    }
    if (image.empty()) {
        return 0;
    }
    unzFile zip = openZipFromMemory(image.data(), static_cast<unsigned>(image.size()));
    if (zip == nullptr) {
        return 0;
    }
    int guard = 0;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK && guard < 1000;
         status = unzGoToNextFile(zip), ++guard) {
        char name[256] = {};
        unz_file_info info;
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            break;
        }
        unz_file_pos position;
        unzGetFilePos(zip, &position);
        int entrySize = 0;
        std::unique_ptr<unsigned char[]> entry(readZipEntry(zip, name, entrySize));
        if (entry && entrySize > 0) {
            volatile unsigned char sink = entry[entrySize - 1];
            (void)sink;
        }
        unzGoToFilePos(zip, &position);
    }
    unzClose(zip);
    return 0;
}
