#pragma once

// The SEED test vectors published with RFC 4269 (hexadecimal, bytes in the order the
// standard writes them), shared by the cipher's tests here and its Windows driver.
struct SeedVector {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
};

inline constexpr SeedVector kSeedVectors[] = {
    {"zero key", "00000000000000000000000000000000", "000102030405060708090A0B0C0D0E0F",
     "5EBAC6E0054E166819AFF1CC6D346CDB"},
    {"counting key", "000102030405060708090A0B0C0D0E0F", "00000000000000000000000000000000",
     "C11F22F20140505084483597E4370F43"},
    {"random key 1", "4706480851E61BE85D74BFB3FD956185", "83A2F8A288641FB9A4E9A5CC2F131C7D",
     "EE54D13EBCAE706D226BC3142CD40D4A"},
    {"random key 2", "28DBC3BC49FFD87DCFA509B11D422BE7", "B41E6BE2EBA84A148E2EED84593C5EC7",
     "9B9B7BFCD1813CB95D0B3618F40F5122"},
};
