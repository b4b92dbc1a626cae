// Console driver of the Qt-free core, built for Windows and run under Wine by
// tests/windows/wine-check.sh:
//   CoreDriver seed           RFC 4269 vectors and the file procedure; one line per check
//                             and "N passed, N failed"; exit 0 only when all passed
//   CoreDriver print-failure  the line a failed archive open prints, through the console
//                             printer (so in the console's code page)
//   CoreDriver lock try|hold  claims the launcher's single-instance lock and prints "held"
//                             or "taken" (exit 1); "hold" keeps it until standard input ends
//   CoreDriver platform       the platform layer's decisions, run from any folder: a game
//                             program starts as itself, the program's own folder, the log's
//                             folder under the profile, a file replaced and made durable
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "SeedVectors.h"
#include "archive/ArchiveMessages.h"
#include "archive/Seed.h"
#include "platform/Console.h"
#include "platform/DiskFiles.h"
#include "platform/GameCommand.h"
#include "platform/ProgramFolder.h"
#include "platform/SingleInstance.h"
#include "platform/StateFolder.h"

namespace {

int passed = 0;
int failed = 0;

std::string fromHex(const char* hex) {
    std::string bytes;
    for (std::size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
        const char pair[3] = {hex[i], hex[i + 1], '\0'};
        bytes.push_back(static_cast<char>(std::strtoul(pair, nullptr, 16)));
    }
    return bytes;
}

std::string toHex(const std::string& bytes) {
    std::string hex;
    char digits[3];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        hex += digits;
    }
    return hex;
}

unsigned char* bytesOf(std::string& s) {
    return reinterpret_cast<unsigned char*>(s.data());
}

void check(const std::string& name, const std::string& actual, const std::string& expected) {
    const bool ok = actual == expected;
    std::printf("%s %s", ok ? "PASS" : "FAIL", name.c_str());
    if (!ok) {
        std::printf(": got %s, expected %s", toHex(actual).c_str(), toHex(expected).c_str());
    }
    std::printf("\n");
    ++(ok ? passed : failed);
}

// The file procedure runs over two copies of a vector's block followed by a tail of
// `tailLength` bytes: the blocks must match the published vector in both directions and
// the tail must come out as it went in.
int seedCommand() {
    const std::string tail = "tail bytes, kept"; // 16 bytes; a prefix of it is the tail
    std::size_t tailLength = 0;
    for (const SeedVector& v : kSeedVectors) {
        std::string key = fromHex(v.key);
        const std::string plain = fromHex(v.plain);
        const std::string cipher = fromHex(v.cipher);
        SeedRoundKeys roundKeys;
        seedExpandKey(bytesOf(key), roundKeys);

        std::string block = plain;
        seedEncryptBlock(bytesOf(block), roundKeys);
        check(std::string(v.name) + ": encrypt block", block, cipher);
        block = cipher;
        seedDecryptBlock(bytesOf(block), roundKeys);
        check(std::string(v.name) + ": decrypt block", block, plain);

        const std::string end = tail.substr(0, tailLength);
        const std::string label = std::string(v.name) + ": file procedure, 2 blocks + " +
                                  std::to_string(tailLength) + "-byte tail, ";
        std::string buffer = plain + plain + end;
        seedEncryptBuffer(bytesOf(buffer), buffer.size(), bytesOf(key));
        check(label + "encrypt", buffer, cipher + cipher + end);
        buffer = cipher + cipher + end;
        seedDecryptBuffer(bytesOf(buffer), buffer.size(), bytesOf(key));
        check(label + "decrypt", buffer, plain + plain + end);
        tailLength = tailLength * 2 + 1; // 0, 1, 3, 7
    }
    for (std::size_t length : {std::size_t(1), std::size_t(15)}) {
        std::string buffer = tail.substr(0, length);
        seedEncryptBuffer(bytesOf(buffer), buffer.size(), kResourceKey);
        seedDecryptBuffer(bytesOf(buffer), buffer.size(), kResourceKey);
        check("file procedure, " + std::to_string(length) + "-byte buffer untouched", buffer,
              tail.substr(0, length));
    }
    // 100 blocks and a tail: 32 blocks at a time where the processor has the vector path,
    // then the rest; the same again on the portable path. Each against single blocks.
    std::string original(100 * 16 + 5, '\0');
    for (std::size_t i = 0; i < original.size(); ++i) {
        original[i] = static_cast<char>(i * 37 + 11);
    }
    SeedRoundKeys projectKeys;
    seedExpandKey(kResourceKey, projectKeys);
    std::string expected = original;
    for (std::size_t offset = 0; offset + 16 <= expected.size(); offset += 16) {
        seedEncryptBlock(bytesOf(expected) + offset, projectKeys);
    }
    for (bool portable : {false, true}) {
        seedForcePortable(portable);
        const std::string label = std::string("100 blocks and a tail, ") +
                                  (seedActivePath() == SeedPath::Vector ? "vector" : "portable") +
                                  " path, ";
        std::string buffer = original;
        seedEncryptBuffer(bytesOf(buffer), buffer.size(), kResourceKey);
        check(label + "encrypt", buffer, expected);
        seedDecryptBuffer(bytesOf(buffer), buffer.size(), kResourceKey);
        check(label + "decrypt", buffer, original);
    }
    seedForcePortable(false);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

int lockCommand(bool hold) {
    const bool held = SingleInstance::claim("zorvanBoardGameLauncher");
    std::printf("%s\n", held ? "held" : "taken");
    std::fflush(stdout);
    if (!held) {
        return 1;
    }
    while (hold && std::fgetc(stdin) != EOF) {
    }
    return 0;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void expect(const std::string& name, bool ok, const std::string& detail) {
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", name.c_str(), ok ? "" : ": ",
                ok ? "" : detail.c_str());
    ++(ok ? passed : failed);
}

int platformCommand() {
    namespace fs = std::filesystem;
    const fs::path work = fs::temp_directory_path() / "coredriver-platform";
    fs::remove_all(work);
    fs::create_directories(work);

    // A Windows program is started as itself, with the arguments as given.
    const fs::path game = work / "matgo.exe";
    std::ofstream(game, std::ios::binary) << "MZ\x90 a Windows program";
    GameCommand command;
    const bool prepared = command.prepare(game.u8string(), {"id", "pw"});
    expect("a Windows program starts as itself",
           prepared && command.program == game.u8string() && command.arguments.size() == 2 &&
               command.arguments[0] == "id" && command.environment.empty(),
           "program " + command.program + ", error " + command.error);

    // The program's own folder, whatever the working folder was.
    const std::string folder = ProgramFolder::path();
    std::string error;
    const bool entered = ProgramFolder::enter(error);
    expect("the program's folder", fs::exists(fs::u8path(folder) / "CoreDriver.exe"),
           "got " + folder);
    expect("the program's folder entered", entered && fs::current_path() == fs::u8path(folder),
           error + ", now in " + fs::current_path().u8string());

    // The log's folder lies in the user's local profile.
    const char* local = std::getenv("LOCALAPPDATA");
    const std::string state = StateFolder::path();
    expect("the log's folder under the profile",
           local != nullptr && *local != '\0' &&
               fs::u8path(state) == fs::u8path(local) / "boardgame-launcher",
           "got " + state);

    // A file put in place of another in one step, written out, owner-only as the profile is.
    const fs::path target = work / "app.dat";
    const fs::path temporary = work / "app.dat.new";
    std::ofstream(target, std::ios::binary) << "old";
    std::ofstream(temporary, std::ios::binary) << "new";
    const bool replaced = DiskFiles::replace(temporary.u8string(), target.u8string());
    expect("a file replaced in one step",
           replaced && readAll(target) == "new" && !fs::exists(temporary), readAll(target));
    expect("a folder written out", DiskFiles::syncFolder(work.u8string()), work.u8string());
    expect("a file made owner-only", DiskFiles::makeOwnerOnly(target.u8string()),
           target.u8string());
    std::FILE* file = DiskFiles::openForReading(target.u8string());
    const bool seeked = file != nullptr && DiskFiles::seek(file, 1, SEEK_SET) &&
                        DiskFiles::tell(file) == 1 && std::fgetc(file) == 'e';
    if (file != nullptr) {
        std::fclose(file);
    }
    expect("a file read with 64-bit positions", seeked, target.u8string());

    fs::remove_all(work);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const std::string mode = argc > 2 ? argv[2] : "";
    if (command == "seed") {
        return seedCommand();
    }
    if (command == "print-failure") {
        consolePrintWithName(kArchiveOpenFailedFormat, "buffer");
        return 0;
    }
    if (command == "lock" && (mode == "try" || mode == "hold")) {
        return lockCommand(mode == "hold");
    }
    if (command == "platform") {
        return platformCommand();
    }
    std::fprintf(stderr, "usage: CoreDriver seed | print-failure | lock try|hold | platform\n");
    return 2;
}
