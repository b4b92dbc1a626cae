#pragma once

#include <cstddef>
#include <cstdint>

// SEED (RFC 4269): 128-bit blocks, 128-bit key, 16 rounds. Blocks and keys are read
// as big-endian 32-bit words whatever the host byte order is.
struct SeedRoundKeys {
    std::uint32_t k[32];
};

// The one key of the resource archive and of the saved login data.
extern const unsigned char kResourceKey[16];

void seedExpandKey(const unsigned char key[16], SeedRoundKeys& roundKeys);
void seedEncryptBlock(unsigned char block[16], const SeedRoundKeys& roundKeys);
void seedDecryptBlock(unsigned char block[16], const SeedRoundKeys& roundKeys);

// The file procedure shared by the archive and the saved data: ECB over the
// floor(size / 16) whole blocks, in place; a tail of size % 16 bytes is left as it is.
void seedEncryptBuffer(unsigned char* data, std::size_t size, const unsigned char key[16]);
void seedDecryptBuffer(unsigned char* data, std::size_t size, const unsigned char key[16]);

// Which code the buffer functions run: the portable one, or 32 blocks at a time with
// AVX-512 byte permutes where the processor has them. Tests force the portable path to check
// it on a machine that would take the other.
enum class SeedPath { Portable, Vector };
SeedPath seedActivePath();
void seedForcePortable(bool on);

// Length of a text after zero padding to the next multiple of 16 (unchanged when it
// already is one); saved files are written at this length.
inline std::size_t seedPaddedSize(std::size_t size) {
    return (size + 15) / 16 * 16;
}
