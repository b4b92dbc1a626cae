#pragma once

#include <cstdint>
#include <string>

#include <unzip.h>

// Memory-backed file functions for minizip: the zip reader opens a "file" whose name
// encodes a buffer's address and size ("%llx %lx"), and reads it from memory.
struct MemoryFile {
    unsigned char* base;
    std::uint32_t size;
    std::uint32_t limit;
    std::uint32_t position;
};

// The pseudo file name of a buffer.
std::string memoryFileName(const void* data, unsigned size);

voidpf ZCALLBACK memOpen(voidpf opaque, const char* name, int mode);
uLong ZCALLBACK memRead(voidpf opaque, voidpf stream, void* buf, uLong size);
uLong ZCALLBACK memWrite(voidpf opaque, voidpf stream, const void* buf, uLong size);
long ZCALLBACK memTell(voidpf opaque, voidpf stream);
long ZCALLBACK memSeek(voidpf opaque, voidpf stream, uLong offset, int origin);
int ZCALLBACK memClose(voidpf opaque, voidpf stream);
int ZCALLBACK memError(voidpf opaque, voidpf stream);

// The 32-bit table: unzOpen2 then uses 32-bit positions.
void fillMemoryFileFunctions(zlib_filefunc_def& functions);

// Reads a disk file whole into a malloc'ed buffer (release with free); null on failure.
void* readWholeFile(const std::string& path, const char* mode, unsigned& size);

// Opens a zip archive over a memory buffer that must stay valid while it is open.
unzFile openZipFromMemory(const void* data, unsigned size);

// The whole uncompressed entry `name` (matched case-sensitively) in a new array
// (release with delete[]); null and size 0 when it is missing, damaged (read error,
// short data, CRC mismatch) or too large to hold.
unsigned char* readZipEntry(unzFile zip, const std::string& name, int& size);
