#include "archive/ResourceArchive.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include <QImage>

#include <unzip.h>

#include "archive/ArchiveMessages.h"
#include "archive/MemoryFile.h"
#include "archive/RunTree.h"
#include "archive/Seed.h"
#include "platform/Console.h"

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
    // Each opening waits for the one asked for before it: one core reads the readers in
    // turn, the other keeps starting the program.
    static std::shared_future<void> previous;
    auto* reader = new ResourceArchive;
    auto openAfter = [reader](const std::shared_future<void>& before) {
        if (before.valid()) {
            before.wait();
        }
        reader->open(runtree::archivePath, kResourceKey, ProgressCallback());
    };
    std::promise<void> opened;
    std::shared_future<void> opening = opened.get_future().share();
    try {
        // Nobody joins the thread (a reader that is never read never waits for it): it
        // reports its work done, and ends.
        std::thread([openAfter, before = previous, opened = std::move(opened)]() mutable {
            openAfter(before);
            opened.set_value();
        }).detach();
        reader->opening = opening;
        previous = opening;
    } catch (const std::system_error&) {
        openAfter(previous); // no thread to be had: open it here and now
    }
    return reader;
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
    SeedRoundKeys roundKeys;
    seedExpandKey(key, roundKeys);
    unsigned n = 0;
    auto* buffer = static_cast<unsigned char*>(readWholeFile(archivePath, "rb", n));
    if (buffer == nullptr) {
        return false;
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
        return false;
    }
    zipHandle = openZipFromMemory(buffer, n);
    if (zipHandle != nullptr) {
        consolePrintWithName(kArchiveOpenedFormat, "buffer");
        path = archivePath;
        image = buffer;
        if (progress) {
            progress(1, 1);
        }
        return true;
    }
    consolePrintWithName(kArchiveOpenFailedFormat, "buffer");
    path.clear();
    std::free(buffer);
    return false;
}

ResourceArchive::~ResourceArchive() {
    waitUntilOpen();
    if (zipHandle != nullptr) {
        unzClose(zipHandle);
        zipHandle = nullptr;
        consolePrintWithName(kArchiveClosedFormat, path);
        path.clear();
    }
    std::free(image);
}

unsigned char* ResourceArchive::extract(const std::string& name, int& size) {
    size = 0;
    waitUntilOpen();
    if (zipHandle == nullptr) {
        return nullptr;
    }
    return readZipEntry(zipHandle, name, size);
}

QPixmap loadPixmap(ResourceArchive* reader, const QString& name) {
    QPixmap pixmap;
    const std::unique_ptr<QByteArray> bytes{loadBytes(reader, name)};
    QImage image;
    if (bytes && image.loadFromData(*bytes)) {
        // Handed over, the decoded image is converted to the screen's format in place
        // rather than copied.
        pixmap = QPixmap::fromImage(std::move(image));
    }
    return pixmap;
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
