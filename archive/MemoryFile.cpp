#include "archive/MemoryFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/Console.h"

std::string memoryFileName(const void* data, unsigned size) {
    char name[48] = {};
    std::snprintf(name, sizeof name, "%llx %lx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(data)),
                  static_cast<unsigned long>(size));
    return name;
}

voidpf ZCALLBACK memOpen(voidpf, const char* name, int mode) {
    if (name == nullptr) {
        return nullptr;
    }
    char* end = nullptr;
    const unsigned long long address = std::strtoull(name, &end, 16);
    if (address == 0) {
        return nullptr;
    }
    const unsigned long size = std::strtoul(end, nullptr, 16);
    if (size == 0 || size > 0xffffffffUL) {
        return nullptr;
    }
    auto* file = new (std::nothrow) MemoryFile{};
    if (file == nullptr) {
        return nullptr;
    }
    file->base = reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(address));
    file->size = static_cast<std::uint32_t>(size);
    file->limit = (mode & ZLIB_FILEFUNC_MODE_CREATE) ? 0 : file->size;
    file->position = 0;
    return file;
}

uLong ZCALLBACK memRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* file = static_cast<MemoryFile*>(stream);
    const std::uint32_t available = file->size - file->position;
    const std::uint32_t n = size < available ? static_cast<std::uint32_t>(size) : available;
    std::memcpy(buf, file->base + file->position, n);
    file->position += n;
    return n;
}

uLong ZCALLBACK memWrite(voidpf, voidpf stream, const void* buf, uLong size) {
    auto* file = static_cast<MemoryFile*>(stream);
    const std::uint32_t available = file->size - file->position;
    const std::uint32_t n = size < available ? static_cast<std::uint32_t>(size) : available;
    std::memcpy(file->base + file->position, buf, n);
    file->position += n;
    if (file->position > file->limit) {
        file->limit = file->position;
    }
    return n;
}

long ZCALLBACK memTell(voidpf, voidpf stream) {
    return static_cast<long>(static_cast<MemoryFile*>(stream)->position);
}

long ZCALLBACK memSeek(voidpf, voidpf stream, uLong offset, int origin) {
    auto* file = static_cast<MemoryFile*>(stream);
    std::uint32_t target;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        target = static_cast<std::uint32_t>(offset);
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        target = file->position + static_cast<std::uint32_t>(offset);
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        target = file->limit + static_cast<std::uint32_t>(offset);
        break;
    default:
        return -1;
    }
    if (target > file->size) {
        return 1;
    }
    if (target > file->limit) {
        std::memset(file->base + file->limit, 0, target - file->limit);
    }
    file->position = target;
    return 0;
}

int ZCALLBACK memClose(voidpf, voidpf stream) {
    delete static_cast<MemoryFile*>(stream);
    return 0;
}

int ZCALLBACK memError(voidpf, voidpf) {
    return 0;
}

void fillMemoryFileFunctions(zlib_filefunc_def& functions) {
    functions.zopen_file = memOpen;
    functions.zread_file = memRead;
    functions.zwrite_file = memWrite;
    functions.ztell_file = memTell;
    functions.zseek_file = memSeek;
    functions.zclose_file = memClose;
    functions.zerror_file = memError;
    functions.opaque = nullptr;
}

void* readWholeFile(const std::string& path, const char* mode, unsigned& size) {
    size = 0;
    void* buffer = nullptr;
    if (FILE* file = std::fopen(path.c_str(), mode)) {
        long length = -1;
        if (std::fseek(file, 0, SEEK_END) == 0) {
            length = std::ftell(file);
        }
        std::fseek(file, 0, SEEK_SET);
        // Positions inside the image are 32-bit; a larger file cannot be an archive.
        if (length >= 0 && static_cast<unsigned long long>(length) <= 0xffffffffULL) {
            size = static_cast<unsigned>(length);
            buffer = std::malloc(size > 0 ? size : 1);
        }
        if (buffer != nullptr) {
            size = static_cast<unsigned>(std::fread(buffer, 1, size, file));
            std::fclose(file);
            return buffer;
        }
        std::fclose(file);
        size = 0;
    }
    const std::string text = "Get data from file(" + path + ") failed!";
    consolePrint(text.c_str());
    return nullptr;
}

unzFile openZipFromMemory(const void* data, unsigned size) {
    const std::string name = memoryFileName(data, size);
    zlib_filefunc_def functions;
    fillMemoryFileFunctions(functions);
    return unzOpen2(name.c_str(), &functions);
}

unsigned char* readZipEntry(unzFile zipHandle, const std::string& name, int& size) {
    size = 0;
    if (zipHandle == nullptr || name.empty() || name.size() >= 256) {
        return nullptr;
    }
    if (unzLocateFile(zipHandle, name.c_str(), 1) != UNZ_OK) {
        return nullptr;
    }
    unz_file_info info;
    if (unzGetCurrentFileInfo(zipHandle, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return nullptr;
    }
    if (info.uncompressed_size > 0x7fffffffUL) {
        return nullptr;
    }
    if (unzOpenCurrentFile(zipHandle) != UNZ_OK) {
        return nullptr;
    }
    const auto declared = static_cast<unsigned>(info.uncompressed_size);
    auto* data = new (std::nothrow) unsigned char[declared > 0 ? declared : 1];
    if (data == nullptr) {
        unzCloseCurrentFile(zipHandle);
        return nullptr;
    }
    // A damaged entry (read error, short data, CRC mismatch on close) yields nothing
    // rather than a buffer that looks good.
    unsigned got = 0;
    bool good = true;
    while (got < declared) {
        const int n = unzReadCurrentFile(zipHandle, data + got, declared - got);
        if (n <= 0) {
            good = false;
            break;
        }
        got += static_cast<unsigned>(n);
    }
    if (good) {
        char probe;
        good = unzReadCurrentFile(zipHandle, &probe, 1) == 0;
    }
    if (unzCloseCurrentFile(zipHandle) != UNZ_OK) {
        good = false;
    }
    if (!good) {
        delete[] data;
        return nullptr;
    }
    size = static_cast<int>(declared);
    return data;
}
