#include "archive/Seed.h"

#include <array>
#include <atomic>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SEED_VECTOR_PATH 1
#endif

// The key is the product's own; archives and saved files must be made with it.
const unsigned char kResourceKey[16] = {0x5a, 0x6f, 0x72, 0x76, 0x61, 0x6e, 0x42, 0x47,
                                        0x4c, 0x2d, 0x52, 0x65, 0x73, 0x21, 0x37, 0xc3};

namespace {

constexpr std::uint8_t kS1[256] = {
    0xa9, 0x85, 0xd6, 0xd3, 0x54, 0x1d, 0xac, 0x25, 0x5d, 0x43, 0x18, 0x1e, 0x51, 0xfc, 0xca, 0x63,
    0x28, 0x44, 0x20, 0x9d, 0xe0, 0xe2, 0xc8, 0x17, 0xa5, 0x8f, 0x03, 0x7b, 0xbb, 0x13, 0xd2, 0xee,
    0x70, 0x8c, 0x3f, 0xa8, 0x32, 0xdd, 0xf6, 0x74, 0xec, 0x95, 0x0b, 0x57, 0x5c, 0x5b, 0xbd, 0x01,
    0x24, 0x1c, 0x73, 0x98, 0x10, 0xcc, 0xf2, 0xd9, 0x2c, 0xe7, 0x72, 0x83, 0x9b, 0xd1, 0x86, 0xc9,
    0x60, 0x50, 0xa3, 0xeb, 0x0d, 0xb6, 0x9e, 0x4f, 0xb7, 0x5a, 0xc6, 0x78, 0xa6, 0x12, 0xaf, 0xd5,
    0x61, 0xc3, 0xb4, 0x41, 0x52, 0x7d, 0x8d, 0x08, 0x1f, 0x99, 0x00, 0x19, 0x04, 0x53, 0xf7, 0xe1,
    0xfd, 0x76, 0x2f, 0x27, 0xb0, 0x8b, 0x0e, 0xab, 0xa2, 0x6e, 0x93, 0x4d, 0x69, 0x7c, 0x09, 0x0a,
    0xbf, 0xef, 0xf3, 0xc5, 0x87, 0x14, 0xfe, 0x64, 0xde, 0x2e, 0x4b, 0x1a, 0x06, 0x21, 0x6b, 0x66,
    0x02, 0xf5, 0x92, 0x8a, 0x0c, 0xb3, 0x7e, 0xd0, 0x7a, 0x47, 0x96, 0xe5, 0x26, 0x80, 0xad, 0xdf,
    0xa1, 0x30, 0x37, 0xae, 0x36, 0x15, 0x22, 0x38, 0xf4, 0xa7, 0x45, 0x4c, 0x81, 0xe9, 0x84, 0x97,
    0x35, 0xcb, 0xce, 0x3c, 0x71, 0x11, 0xc7, 0x89, 0x75, 0xfb, 0xda, 0xf8, 0x94, 0x59, 0x82, 0xc4,
    0xff, 0x49, 0x39, 0x67, 0xc0, 0xcf, 0xd7, 0xb8, 0x0f, 0x8e, 0x42, 0x23, 0x91, 0x6c, 0xdb, 0xa4,
    0x34, 0xf1, 0x48, 0xc2, 0x6f, 0x3d, 0x2d, 0x40, 0xbe, 0x3e, 0xbc, 0xc1, 0xaa, 0xba, 0x4e, 0x55,
    0x3b, 0xdc, 0x68, 0x7f, 0x9c, 0xd8, 0x4a, 0x56, 0x77, 0xa0, 0xed, 0x46, 0xb5, 0x2b, 0x65, 0xfa,
    0xe3, 0xb9, 0xb1, 0x9f, 0x5e, 0xf9, 0xe6, 0xb2, 0x31, 0xea, 0x6d, 0x5f, 0xe4, 0xf0, 0xcd, 0x88,
    0x16, 0x3a, 0x58, 0xd4, 0x62, 0x29, 0x07, 0x33, 0xe8, 0x1b, 0x05, 0x79, 0x90, 0x6a, 0x2a, 0x9a,
};
constexpr std::uint8_t kS2[256] = {
    0x38, 0xe8, 0x2d, 0xa6, 0xcf, 0xde, 0xb3, 0xb8, 0xaf, 0x60, 0x55, 0xc7, 0x44, 0x6f, 0x6b, 0x5b,
    0xc3, 0x62, 0x33, 0xb5, 0x29, 0xa0, 0xe2, 0xa7, 0xd3, 0x91, 0x11, 0x06, 0x1c, 0xbc, 0x36, 0x4b,
    0xef, 0x88, 0x6c, 0xa8, 0x17, 0xc4, 0x16, 0xf4, 0xc2, 0x45, 0xe1, 0xd6, 0x3f, 0x3d, 0x8e, 0x98,
    0x28, 0x4e, 0xf6, 0x3e, 0xa5, 0xf9, 0x0d, 0xdf, 0xd8, 0x2b, 0x66, 0x7a, 0x27, 0x2f, 0xf1, 0x72,
    0x42, 0xd4, 0x41, 0xc0, 0x73, 0x67, 0xac, 0x8b, 0xf7, 0xad, 0x80, 0x1f, 0xca, 0x2c, 0xaa, 0x34,
    0xd2, 0x0b, 0xee, 0xe9, 0x5d, 0x94, 0x18, 0xf8, 0x57, 0xae, 0x08, 0xc5, 0x13, 0xcd, 0x86, 0xb9,
    0xff, 0x7d, 0xc1, 0x31, 0xf5, 0x8a, 0x6a, 0xb1, 0xd1, 0x20, 0xd7, 0x02, 0x22, 0x04, 0x68, 0x71,
    0x07, 0xdb, 0x9d, 0x99, 0x61, 0xbe, 0xe6, 0x59, 0xdd, 0x51, 0x90, 0xdc, 0x9a, 0xa3, 0xab, 0xd0,
    0x81, 0x0f, 0x47, 0x1a, 0xe3, 0xec, 0x8d, 0xbf, 0x96, 0x7b, 0x5c, 0xa2, 0xa1, 0x63, 0x23, 0x4d,
    0xc8, 0x9e, 0x9c, 0x3a, 0x0c, 0x2e, 0xba, 0x6e, 0x9f, 0x5a, 0xf2, 0x92, 0xf3, 0x49, 0x78, 0xcc,
    0x15, 0xfb, 0x70, 0x75, 0x7f, 0x35, 0x10, 0x03, 0x64, 0x6d, 0xc6, 0x74, 0xd5, 0xb4, 0xea, 0x09,
    0x76, 0x19, 0xfe, 0x40, 0x12, 0xe0, 0xbd, 0x05, 0xfa, 0x01, 0xf0, 0x2a, 0x5e, 0xa9, 0x56, 0x43,
    0x85, 0x14, 0x89, 0x9b, 0xb0, 0xe5, 0x48, 0x79, 0x97, 0xfc, 0x1e, 0x82, 0x21, 0x8c, 0x1b, 0x5f,
    0x77, 0x54, 0xb2, 0x1d, 0x25, 0x4f, 0x00, 0x46, 0xed, 0x58, 0x52, 0xeb, 0x7e, 0xda, 0xc9, 0xfd,
    0x30, 0x95, 0x65, 0x3c, 0xb6, 0xe4, 0xbb, 0x7c, 0x0e, 0x50, 0x39, 0x26, 0x32, 0x84, 0x69, 0x93,
    0x37, 0xe7, 0x24, 0xa4, 0xcb, 0x53, 0x0a, 0x87, 0xd9, 0x4c, 0x83, 0x8f, 0xce, 0x3b, 0x4a, 0xb7,
};

// G's four tables: each input byte's S-box value with G's masks already applied and
// placed in its output byte, so that G is four lookups and three exclusive ors.
using Table = std::array<std::uint32_t, 256>;

constexpr std::uint32_t spread(std::uint8_t s, int rotation) {
    const std::uint8_t m[4] = {0xfc, 0xf3, 0xcf, 0x3f};
    std::uint32_t z = 0;
    for (int byte = 0; byte < 4; ++byte) {
        z |= std::uint32_t(s & m[(byte + rotation) & 3]) << (8 * byte);
    }
    return z;
}

constexpr Table makeTable(const std::uint8_t (&sbox)[256], int rotation) {
    Table t{};
    for (int i = 0; i < 256; ++i) {
        t[i] = spread(sbox[i], rotation);
    }
    return t;
}

constexpr Table kSS0 = makeTable(kS1, 0);
constexpr Table kSS1 = makeTable(kS2, 1);
constexpr Table kSS2 = makeTable(kS1, 2);
constexpr Table kSS3 = makeTable(kS2, 3);

inline std::uint32_t g(std::uint32_t x) {
    return kSS0[x & 0xff] ^ kSS1[(x >> 8) & 0xff] ^ kSS2[(x >> 16) & 0xff] ^ kSS3[x >> 24];
}

inline std::uint32_t load32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

inline void store32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// One Feistel round on (l0, l1) with the right half (r0, r1) and round keys k0, k1.
inline void round(std::uint32_t& l0, std::uint32_t& l1, std::uint32_t r0, std::uint32_t r1,
                  std::uint32_t k0, std::uint32_t k1) {
    std::uint32_t c = r0 ^ k0;
    std::uint32_t d = r1 ^ k1;
    d ^= c;
    d = g(d);
    c += d;
    c = g(c);
    d += c;
    d = g(d);
    c += d;
    l0 ^= c;
    l1 ^= d;
}

// Blocks of ECB are independent, so several are interleaved per pass: the table
// lookups of one block overlap with those of the others.
template <int N, bool Encrypt>
inline void cryptBlocks(unsigned char* data, const SeedRoundKeys& rk) {
    std::uint32_t l0[N], l1[N], r0[N], r1[N];
    for (int b = 0; b < N; ++b) {
        const unsigned char* p = data + 16 * b;
        l0[b] = load32(p);
        l1[b] = load32(p + 4);
        r0[b] = load32(p + 8);
        r1[b] = load32(p + 12);
    }
    for (int i = 0; i < 16; i += 2) {
        const int a = Encrypt ? 2 * i : 30 - 2 * i;
        const int c = Encrypt ? a + 2 : a - 2;
        for (int b = 0; b < N; ++b) {
            round(l0[b], l1[b], r0[b], r1[b], rk.k[a], rk.k[a + 1]);
        }
        for (int b = 0; b < N; ++b) {
            round(r0[b], r1[b], l0[b], l1[b], rk.k[c], rk.k[c + 1]);
        }
    }
    // The last round does not swap the halves; after an even number of unswapped
    // pairs the output is R || L.
    for (int b = 0; b < N; ++b) {
        unsigned char* p = data + 16 * b;
        store32(p, r0[b]);
        store32(p + 4, r1[b]);
        store32(p + 8, l0[b]);
        store32(p + 12, l1[b]);
    }
}

#ifdef SEED_VECTOR_PATH
// The same cipher on 16 blocks per 512-bit register, for processors with AVX-512 byte
// permutes (VBMI). G's lookups are the S-boxes themselves, each held in four registers
// and read 64 bytes at a time with a two-table byte permute; G's masks are applied to the
// looked-up bytes afterwards, as the four tables above have them applied in advance.
#define SEED_VECTOR_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct VectorTables {
    __m512i s1[4]; // S1 in 64-byte quarters
    __m512i s2[4];
};

SEED_VECTOR_TARGET inline __m512i quarter(const std::uint8_t (&sbox)[256], int q) {
    return _mm512_loadu_si512(sbox + 64 * q);
}

// sbox[x] for each byte x of v.
SEED_VECTOR_TARGET inline __m512i lookup(const __m512i (&t)[4], __m512i v) {
    const __m512i low = _mm512_permutex2var_epi8(t[0], v, t[1]);
    const __m512i high = _mm512_permutex2var_epi8(t[2], v, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
}

// Byte b of each word copied into all four of its bytes.
SEED_VECTOR_TARGET inline __m512i spreadByte(__m512i y, int b) {
    const int i = 0x01010101 * b;
    return _mm512_shuffle_epi8(
        y, _mm512_set4_epi32(0x0c0c0c0c + i, 0x08080808 + i, 0x04040404 + i, i));
}

SEED_VECTOR_TARGET inline __m512i gVector(const VectorTables& t, __m512i x) {
    // S1 on bytes 0 and 2 of each word, S2 on bytes 1 and 3.
    const __m512i y =
        _mm512_mask_blend_epi8(0xaaaaaaaaaaaaaaaaull, lookup(t.s1, x), lookup(t.s2, x));
    // Output byte b takes byte i's value masked with m[(b + i) & 3], m = fc f3 cf 3f.
    const __m512i m0 = _mm512_set1_epi32(0x3fcff3fc);
    const __m512i m1 = _mm512_set1_epi32(0xfc3fcff3);
    const __m512i m2 = _mm512_set1_epi32(0xf3fc3fcf);
    const __m512i m3 = _mm512_set1_epi32(0xcff3fc3f);
    constexpr int kAndXor = 0x6a; // (a & b) ^ c
    __m512i z = _mm512_and_si512(spreadByte(y, 0), m0);
    z = _mm512_ternarylogic_epi32(spreadByte(y, 1), m1, z, kAndXor);
    z = _mm512_ternarylogic_epi32(spreadByte(y, 2), m2, z, kAndXor);
    return _mm512_ternarylogic_epi32(spreadByte(y, 3), m3, z, kAndXor);
}

SEED_VECTOR_TARGET inline void roundVector(const VectorTables& t, __m512i& l0, __m512i& l1,
                                           __m512i r0, __m512i r1, std::uint32_t k0,
                                           std::uint32_t k1) {
    __m512i c = _mm512_xor_si512(r0, _mm512_set1_epi32(static_cast<int>(k0)));
    __m512i d = _mm512_ternarylogic_epi32(r1, _mm512_set1_epi32(static_cast<int>(k1)), c,
                                          0x96); // a ^ b ^ c
    d = gVector(t, d);
    c = _mm512_add_epi32(c, d);
    c = gVector(t, c);
    d = _mm512_add_epi32(d, c);
    d = gVector(t, d);
    c = _mm512_add_epi32(c, d);
    l0 = _mm512_xor_si512(l0, c);
    l1 = _mm512_xor_si512(l1, d);
}

// Four registers of four blocks each to the blocks' words 0 to 3 (and back: the
// transposition is its own inverse). Word w of a block lands in the same lane of register w.
// The zero-masking forms with every lane kept are the plain unpacks; GCC 12 warns about the
// undefined pass-through value the plain intrinsics hand to the builtin.
SEED_VECTOR_TARGET inline void transpose(__m512i& a, __m512i& b, __m512i& c, __m512i& d) {
    constexpr __mmask16 kAll32 = 0xffff;
    constexpr __mmask8 kAll64 = 0xff;
    const __m512i ab0 = _mm512_maskz_unpacklo_epi32(kAll32, a, b);
    const __m512i ab1 = _mm512_maskz_unpackhi_epi32(kAll32, a, b);
    const __m512i cd0 = _mm512_maskz_unpacklo_epi32(kAll32, c, d);
    const __m512i cd1 = _mm512_maskz_unpackhi_epi32(kAll32, c, d);
    a = _mm512_maskz_unpacklo_epi64(kAll64, ab0, cd0);
    b = _mm512_maskz_unpackhi_epi64(kAll64, ab0, cd0);
    c = _mm512_maskz_unpacklo_epi64(kAll64, ab1, cd1);
    d = _mm512_maskz_unpackhi_epi64(kAll64, ab1, cd1);
}

SEED_VECTOR_TARGET inline __m512i loadBigEndian(const unsigned char* p) {
    const __m512i swap = _mm512_set4_epi32(0x0c0d0e0f, 0x08090a0b, 0x04050607, 0x00010203);
    return _mm512_shuffle_epi8(_mm512_loadu_si512(p), swap);
}

SEED_VECTOR_TARGET inline void storeBigEndian(unsigned char* p, __m512i v) {
    const __m512i swap = _mm512_set4_epi32(0x0c0d0e0f, 0x08090a0b, 0x04050607, 0x00010203);
    _mm512_storeu_si512(p, _mm512_shuffle_epi8(v, swap));
}

constexpr int kGroups = 2; // groups of 16 blocks in flight, to hide the latency
constexpr int kVectorBlocks = 16 * kGroups;

// Whole passes of kVectorBlocks blocks; returns the number of blocks done.
template <bool Encrypt>
SEED_VECTOR_TARGET std::size_t cryptVector(unsigned char* data, std::size_t blocks,
                                           const SeedRoundKeys& rk) {
    VectorTables t;
    for (int q = 0; q < 4; ++q) {
        t.s1[q] = quarter(kS1, q);
        t.s2[q] = quarter(kS2, q);
    }
    std::size_t done = 0;
    for (; blocks - done >= kVectorBlocks; done += kVectorBlocks) {
        unsigned char* p = data + 16 * done;
        __m512i l0[kGroups], l1[kGroups], r0[kGroups], r1[kGroups];
        for (int g = 0; g < kGroups; ++g) {
            l0[g] = loadBigEndian(p + 256 * g);
            l1[g] = loadBigEndian(p + 256 * g + 64);
            r0[g] = loadBigEndian(p + 256 * g + 128);
            r1[g] = loadBigEndian(p + 256 * g + 192);
            transpose(l0[g], l1[g], r0[g], r1[g]);
        }
        for (int i = 0; i < 16; i += 2) {
            const int a = Encrypt ? 2 * i : 30 - 2 * i;
            const int c = Encrypt ? a + 2 : a - 2;
            for (int g = 0; g < kGroups; ++g) {
                roundVector(t, l0[g], l1[g], r0[g], r1[g], rk.k[a], rk.k[a + 1]);
            }
            for (int g = 0; g < kGroups; ++g) {
                roundVector(t, r0[g], r1[g], l0[g], l1[g], rk.k[c], rk.k[c + 1]);
            }
        }
        for (int g = 0; g < kGroups; ++g) {
            transpose(r0[g], r1[g], l0[g], l1[g]);
            storeBigEndian(p + 256 * g, r0[g]);
            storeBigEndian(p + 256 * g + 64, r1[g]);
            storeBigEndian(p + 256 * g + 128, l0[g]);
            storeBigEndian(p + 256 * g + 192, l1[g]);
        }
    }
    return done;
}

bool hasVectorPath() {
    static const bool has = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
}
#endif

std::atomic<bool> portableForced{false};

bool vectorPathTaken() {
#ifdef SEED_VECTOR_PATH
    return hasVectorPath() && !portableForced;
#else
    return false;
#endif
}

template <bool Encrypt>
void cryptBuffer(unsigned char* data, std::size_t size, const unsigned char key[16]) {
    SeedRoundKeys rk;
    seedExpandKey(key, rk);
    std::size_t blocks = size / 16;
#ifdef SEED_VECTOR_PATH
    if (vectorPathTaken()) {
        const std::size_t done = cryptVector<Encrypt>(data, blocks, rk);
        data += 16 * done;
        blocks -= done;
    }
#endif
    constexpr int kLanes = 4;
    for (; blocks >= kLanes; blocks -= kLanes, data += 16 * kLanes) {
        cryptBlocks<kLanes, Encrypt>(data, rk);
    }
    for (; blocks > 0; --blocks, data += 16) {
        cryptBlocks<1, Encrypt>(data, rk);
    }
}

} // namespace

void seedExpandKey(const unsigned char key[16], SeedRoundKeys& roundKeys) {
    std::uint32_t a = load32(key), b = load32(key + 4), c = load32(key + 8), d = load32(key + 12);
    std::uint32_t kc = 0x9e3779b9u;
    for (int i = 0; i < 16; ++i) {
        roundKeys.k[2 * i] = g(a + c - kc);
        roundKeys.k[2 * i + 1] = g(b - d + kc);
        if ((i & 1) == 0) {
            // A||B rotated right by 8 bits.
            const std::uint32_t t = a;
            a = (a >> 8) | (b << 24);
            b = (b >> 8) | (t << 24);
        } else {
            // C||D rotated left by 8 bits.
            const std::uint32_t t = c;
            c = (c << 8) | (d >> 24);
            d = (d << 8) | (t >> 24);
        }
        kc = (kc << 1) | (kc >> 31);
    }
}

void seedEncryptBlock(unsigned char block[16], const SeedRoundKeys& roundKeys) {
    cryptBlocks<1, true>(block, roundKeys);
}

void seedDecryptBlock(unsigned char block[16], const SeedRoundKeys& roundKeys) {
    cryptBlocks<1, false>(block, roundKeys);
}

void seedEncryptBuffer(unsigned char* data, std::size_t size, const unsigned char key[16]) {
    cryptBuffer<true>(data, size, key);
}

void seedDecryptBuffer(unsigned char* data, std::size_t size, const unsigned char key[16]) {
    cryptBuffer<false>(data, size, key);
}

SeedPath seedActivePath() {
    return vectorPathTaken() ? SeedPath::Vector : SeedPath::Portable;
}

void seedForcePortable(bool on) {
    portableForced = on;
}
