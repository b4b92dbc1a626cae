#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include <QByteArray>
#include <QPixmap>
#include <QString>

// Progress of the archive's decryption: (total bytes, offset of the block just done),
// and (1, 1) once the archive is open.
using ProgressCallback = std::function<void(int, int)>;

// The launcher's resources: one zip archive on disk, SEED-encrypted whole, decrypted in
// memory and read through minizip over memory-backed file functions. Each module that
// reads resources owns one reader for the life of the process (see openDefault()).
// Not re-entrant: one thread at a time (the GUI thread, for the modules' readers).
class ResourceArchive {
public:
    static ResourceArchive* create(const std::string& path, const unsigned char key[16],
                                   const ProgressCallback& progress);
    // A reader over "../../resource/res.dat" with the compiled-in key. It returns at once:
    // the archive is opened on a worker thread, the readers one after another in the order
    // they were asked for, while the program goes on starting (the modules' readers are
    // made before main(), so the work overlaps the toolkit's own start). The readers share
    // one decrypted copy of the file while the file stays the same; each opens its own zip
    // reader over it and reports its opening. extract() waits for its reader's opening; a
    // reader whose archive cannot be opened finds no entry.
    static ResourceArchive* openDefault();

    ~ResourceArchive();
    ResourceArchive(const ResourceArchive&) = delete;
    ResourceArchive& operator=(const ResourceArchive&) = delete;

    // The whole uncompressed entry in a new array (release with delete[]); null and
    // size 0 when the entry is missing, damaged or cannot be held in memory.
    unsigned char* extract(const std::string& name, int& size);

    // When no default reader has been read for `unused`, each open one drops its zip reader
    // and, with the last of them, the decrypted copy goes; a reader opens the file again
    // (read, decrypted and reported anew) when it is next asked for an entry. The launcher
    // reads its pictures at start and then stays open for hours: half a megabyte it holds
    // for nothing. Call it on the thread that reads the readers.
    static void releaseUnused(std::chrono::milliseconds unused);

private:
    ResourceArchive() = default;
    bool open(const std::string& path, const unsigned char key[16],
              const ProgressCallback& progress);
    // open() for the default readers, over the copy the last of them decrypted when the
    // file is still the one it was read from.
    bool openShared(const std::string& path);
    // Opens the zip reader over a decrypted image of n bytes and reports the outcome.
    bool openImage(const std::string& path, std::shared_ptr<unsigned char> decrypted, unsigned n,
                   const ProgressCallback& progress);
    void waitUntilOpen();
    // Opens the queued default readers one after another until none is left.
    static void openQueued();

    // Set while a background opening may be pending or running (openDefault()).
    std::shared_future<void> opening;

    void* zipHandle = nullptr;
    bool released = false; // by releaseUnused(): opened again on the next extract()
    std::string path;
    // The decrypted zip image (shared by the default readers); must outlive zipHandle.
    std::shared_ptr<unsigned char> image;
};

// An entry decoded as an image; a null pixmap on any failure (null reader included).
QPixmap loadPixmap(ResourceArchive* reader, const QString& name);
// An entry's bytes in a new QByteArray owned by the caller; null on any failure.
QByteArray* loadBytes(ResourceArchive* reader, const QString& name);
