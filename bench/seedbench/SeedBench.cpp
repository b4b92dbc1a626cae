// Throughput of the file procedure (SEED-ECB over a 5 MB buffer) next to OpenSSL's
// SEED-ECB, measured in the same run. Exits with 1 when ours, on the path this machine
// runs, is below kLimit times OpenSSL's; the portable path is measured and printed beside
// it (on a machine without the vector path the two are the same).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <openssl/evp.h>
#include <openssl/provider.h>

#include "archive/Seed.h"

namespace {

constexpr std::size_t kSize = 5 * 1024 * 1024;
constexpr int kRounds = 15;
constexpr double kLimit = 3.0;

template <class F> double megabytesPerSecond(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return kSize / seconds / 1e6;
}

} // namespace

int main() {
    std::vector<unsigned char> buffer(kSize);
    for (std::size_t i = 0; i < kSize; ++i) {
        buffer[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    }
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "SEED-ECB", nullptr);
    if (cipher == nullptr) {
        std::fprintf(stderr, "OpenSSL has no SEED-ECB (legacy provider missing)\n");
        return 1;
    }
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    std::vector<unsigned char> out(kSize + 16);
    // The two take turns, so that a busy machine slows both alike; the best round of each counts.
    double ours = 0;
    double portable = 0;
    double openssl = 0;
    const bool vector = seedActivePath() == SeedPath::Vector;
    const auto decrypt = [&] { seedDecryptBuffer(buffer.data(), kSize, kResourceKey); };
    for (int round = 0; round < kRounds; ++round) {
        ours = std::max(ours, megabytesPerSecond(decrypt));
        seedForcePortable(true);
        portable = std::max(portable, megabytesPerSecond(decrypt));
        seedForcePortable(false);
        openssl = std::max(openssl, megabytesPerSecond([&] {
                               int n = 0;
                               EVP_DecryptInit_ex(context, cipher, nullptr, kResourceKey, nullptr);
                               EVP_CIPHER_CTX_set_padding(context, 0);
                               EVP_DecryptUpdate(context, out.data(), &n, buffer.data(),
                                                 static_cast<int>(kSize));
                           }));
    }
    EVP_CIPHER_CTX_free(context);
    EVP_CIPHER_free(cipher);

    const double ratio = ours / openssl;
    std::printf("launcher SEED-ECB: %.1f MB/s (%s path)\n", ours, vector ? "vector" : "portable");
    std::printf("portable path:     %.1f MB/s, %.2fx OpenSSL (information)\n", portable,
                portable / openssl);
    std::printf("OpenSSL SEED-ECB:  %.1f MB/s\nratio: %.2f (limit %.1f)\n", openssl, ratio, kLimit);
    if (ratio < kLimit) {
        std::printf("FAIL: below %.1fx OpenSSL\n", kLimit);
        return 1;
    }
    return 0;
}
