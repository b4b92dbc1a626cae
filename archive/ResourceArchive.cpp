#include "archive/ResourceArchive.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <unzip.h>

#include "archive/ArchiveMessages.h"
#include "archive/MemoryFile.h"
#include "archive/PicturesAhead.h"
#include "archive/RunTree.h"
#include "archive/Seed.h"
#include "platform/Console.h"

namespace {
// What tells one archive file from another, or from itself rewritten.
struct FileStamp {
    std::filesystem::path file;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time;

    bool operator==(const FileStamp& other) const {
        return file == other.file && size == other.size && time == other.time;
    }
};

bool stampOf(const std::string& path, FileStamp& stamp) {
    std::error_code error;
    stamp.file = std::filesystem::absolute(path, error);
    if (!error) {
        stamp.size = std::filesystem::file_size(stamp.file, error);
    }
    if (!error) {
        stamp.time = std::filesystem::last_write_time(stamp.file, error);
    }
    return !error;
}

// The copy the default readers decrypted last, held only by the readers open over it.
struct SharedCopy {
    std::mutex mutex;
    FileStamp stamp;
    std::weak_ptr<unsigned char> image;
    unsigned size = 0;
};

// The default readers still to be opened, in the order they were asked for, and whether a
// thread is opening them.
struct OpeningQueue {
    std::mutex mutex;
    std::deque<std::pair<ResourceArchive*, std::promise<void>>> readers;
    bool running = false;
};

// The default readers, for releaseUnused(), and when one of them was last read.
struct DefaultReaders {
    std::mutex mutex;
    std::vector<ResourceArchive*> all;
    std::chrono::steady_clock::time_point lastRead = std::chrono::steady_clock::now();
    int reading = 0; // extract() calls under way
};

DefaultReaders& defaultReaders() {
    static auto* readers = new DefaultReaders; // never destroyed, as sharedCopy()
    return *readers;
}

OpeningQueue& openingQueue() {
    static auto* queue = new OpeningQueue; // never destroyed, as sharedCopy()
    return *queue;
}

SharedCopy& sharedCopy() {
    // Never destroyed: a reader may still be opening on its thread while the program ends.
    static auto* copy = new SharedCopy;
    return *copy;
}

// The file read whole and decrypted in place (whole blocks; the tail stays as read),
// reporting each block when asked to; null and n 0 when it cannot be read or is empty.
std::shared_ptr<unsigned char> readDecrypted(const std::string& path, const unsigned char key[16],
                                             const ProgressCallback& progress, unsigned& n) {
    SeedRoundKeys roundKeys;
    seedExpandKey(key, roundKeys);
    auto* buffer = static_cast<unsigned char*>(readWholeFile(path, "rb", n));
    if (buffer == nullptr) {
        return nullptr;
    }
    if (progress) {
        for (unsigned offset = 0; offset + 16 <= n; offset += 16) {
            seedDecryptBlock(buffer + offset, roundKeys);
            progress(static_cast<int>(n), static_cast<int>(offset));
        }
    } else {
        seedDecryptBuffer(buffer, n, key);
    }
    if (n == 0) {
        std::free(buffer);
        return nullptr;
    }
    return std::shared_ptr<unsigned char>(buffer, std::free);
}
} // namespace

ResourceArchive* ResourceArchive::create(const std::string& path, const unsigned char key[16],
                                         const ProgressCallback& progress) {
    auto* reader = new ResourceArchive;
    if (reader->open(path, key, progress)) {
        return reader;
    }
    delete reader;
    return nullptr;
}

ResourceArchive* ResourceArchive::openDefault() {
    auto* reader = new ResourceArchive;
    {
        DefaultReaders& readers = defaultReaders();
        const std::lock_guard<std::mutex> lock(readers.mutex);
        readers.all.push_back(reader);
    }
    std::promise<void> opened;
    reader->opening = opened.get_future().share();
    OpeningQueue& queue = openingQueue();
    std::unique_lock<std::mutex> lock(queue.mutex);
    queue.readers.emplace_back(reader, std::move(opened));
    if (!queue.running) {
        queue.running = true;
        try {
            // Nobody joins the thread (a reader that is never read never waits for it): it
            // opens what is queued, and ends.
            std::thread(&ResourceArchive::openQueued).detach();
        } catch (const std::system_error&) {
            lock.unlock();
            openQueued(); // no thread to be had: open them here and now
        }
    }
    return reader;
}

void ResourceArchive::openQueued() {
    // One thread opens the readers in turn, the other core keeps starting the program.
    OpeningQueue& queue = openingQueue();
    std::unique_lock<std::mutex> lock(queue.mutex);
    while (!queue.readers.empty()) {
        auto next = std::move(queue.readers.front());
        queue.readers.pop_front();
        lock.unlock();
        next.first->openShared(runtree::archivePath);
        next.second.set_value();
        lock.lock();
    }
    queue.running = false;
}

void ResourceArchive::waitUntilOpen() {
    if (opening.valid()) {
        opening.wait();
    }
}

bool ResourceArchive::open(const std::string& archivePath, const unsigned char key[16],
                           const ProgressCallback& progress) {
    if (archivePath.empty()) {
        return false;
    }
    unsigned n = 0;
    std::shared_ptr<unsigned char> decrypted = readDecrypted(archivePath, key, progress, n);
    return decrypted && openImage(archivePath, std::move(decrypted), n, progress);
}

bool ResourceArchive::openShared(const std::string& archivePath) {
    SharedCopy& shared = sharedCopy();
    FileStamp stamp;
    const bool stamped = stampOf(archivePath, stamp);
    std::shared_ptr<unsigned char> decrypted;
    unsigned n = 0;
    if (stamped) {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.stamp == stamp) {
            decrypted = shared.image.lock();
            n = shared.size;
        }
    }
    if (!decrypted) {
        decrypted = readDecrypted(archivePath, kResourceKey, ProgressCallback(), n);
        if (!decrypted) {
            return false;
        }
        if (stamped) {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            shared.stamp = stamp;
            shared.image = decrypted;
            shared.size = n;
        }
    }
    return openImage(archivePath, std::move(decrypted), n, ProgressCallback());
}

bool ResourceArchive::openImage(const std::string& archivePath,
                                std::shared_ptr<unsigned char> decrypted, unsigned n,
                                const ProgressCallback& progress) {
    zipHandle = openZipFromMemory(decrypted.get(), n);
    if (zipHandle != nullptr) {
        consolePrintWithName(kArchiveOpenedFormat, "buffer");
        path = archivePath;
        image = std::move(decrypted);
        if (progress) {
            progress(1, 1);
        }
        return true;
    }
    consolePrintWithName(kArchiveOpenFailedFormat, "buffer");
    path.clear();
    return false;
}

ResourceArchive::~ResourceArchive() {
    waitUntilOpen();
    if (opening.valid()) {
        DefaultReaders& readers = defaultReaders();
        const std::lock_guard<std::mutex> lock(readers.mutex);
        readers.all.erase(std::remove(readers.all.begin(), readers.all.end(), this),
                          readers.all.end());
    }
    if (zipHandle != nullptr) {
        unzClose(zipHandle);
        zipHandle = nullptr;
        consolePrintWithName(kArchiveClosedFormat, path);
        path.clear();
    }
}

unsigned char* ResourceArchive::extract(const std::string& name, int& size) {
    size = 0;
    waitUntilOpen();
    DefaultReaders& readers = defaultReaders();
    if (opening.valid()) {
        const std::lock_guard<std::mutex> lock(readers.mutex);
        readers.lastRead = std::chrono::steady_clock::now();
        ++readers.reading;
    }
    if (released) {
        released = false;
        openShared(path);
    }
    unsigned char* data = zipHandle != nullptr ? readZipEntry(zipHandle, name, size) : nullptr;
    if (opening.valid()) {
        const std::lock_guard<std::mutex> lock(readers.mutex);
        --readers.reading;
    }
    return data;
}

void ResourceArchive::releaseUnused(std::chrono::milliseconds unused) {
    DefaultReaders& readers = defaultReaders();
    const std::lock_guard<std::mutex> lock(readers.mutex);
    if (readers.reading > 0 || std::chrono::steady_clock::now() - readers.lastRead < unused) {
        return;
    }
    for (ResourceArchive* reader : readers.all) {
        // One still opening is left alone: its opening thread is using it.
        if (reader->opening.wait_for(std::chrono::seconds(0)) != std::future_status::ready ||
            reader->zipHandle == nullptr) {
            continue;
        }
        unzClose(reader->zipHandle);
        reader->zipHandle = nullptr;
        reader->image.reset();
        reader->released = true;
        consolePrintWithName(kArchiveClosedFormat, reader->path);
    }
}

QPixmap loadPixmap(ResourceArchive* reader, const QString& name) {
    return PicturesAhead::toPixmap(PicturesAhead::decode(reader, name));
}

QByteArray* loadBytes(ResourceArchive* reader, const QString& name) {
    if (reader == nullptr) {
        return nullptr;
    }
    int n = 0;
    unsigned char* data = reader->extract(name.toStdString(), n);
    if (data == nullptr) {
        return nullptr;
    }
    auto* bytes = new QByteArray(reinterpret_cast<const char*>(data), n);
    delete[] data;
    return bytes;
}
