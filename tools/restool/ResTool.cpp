#include "ResTool.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <unzip.h>
#include <zip.h>

#include "archive/MemoryFile.h"
#include "archive/Seed.h"

ResTool::ResTool(QTextStream& err) : err(err) {
    std::memcpy(key, kResourceKey, sizeof key);
}

int ResTool::usage() {
    err << "usage: restool [--key HEX] pack DIR OUT\n"
           "       restool [--key HEX] list RES\n"
           "       restool [--key HEX] cat RES ENTRY\n"
           "       restool [--key HEX] save-show APP.DAT\n"
           "       restool [--key HEX] save-write TEXTFILE APP.DAT\n";
    err.flush();
    return 2;
}

int ResTool::fail(const QString& message) {
    err << "restool: " << message << "\n";
    err.flush();
    return 1;
}

int ResTool::run(const QStringList& arguments) {
    QStringList args = arguments;
    if (args.size() >= 2 && args[0] == "--key") {
        const QByteArray hex = args[1].toLatin1();
        const QByteArray raw = QByteArray::fromHex(hex);
        if (hex.size() != 32 || raw.size() != 16 || raw.toHex() != hex.toLower()) {
            return fail("the key must be 32 hexadecimal digits");
        }
        std::memcpy(key, raw.constData(), sizeof key);
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        return usage();
    }
    const QString command = args.takeFirst();
    if (command == "pack" && args.size() == 2) {
        return pack(args[0], args[1]);
    }
    if (command == "list" && args.size() == 1) {
        return list(args[0]);
    }
    if (command == "cat" && args.size() == 2) {
        return cat(args[0], args[1]);
    }
    if (command == "save-show" && args.size() == 1) {
        return saveShow(args[0]);
    }
    if (command == "save-write" && args.size() == 2) {
        return saveWrite(args[0], args[1]);
    }
    return usage();
}

bool ResTool::readFile(const QString& path, QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QString("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    data = file.readAll();
    return true;
}

bool ResTool::writeFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        fail(QString("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

int ResTool::pack(const QString& dir, const QString& out) {
    // Absolute, so that the entry names come out relative to it whichever way the folder
    // was given: a relative root would hand relative paths back unchanged.
    const QDir root(QDir(dir).absolutePath());
    if (!root.exists()) {
        return fail(QString("no such folder: %1").arg(dir));
    }
    QStringList names;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names << root.relativeFilePath(it.next());
    }
    names.sort();

    QTemporaryDir work;
    if (!work.isValid()) {
        return fail("cannot create a temporary folder");
    }
    const QByteArray zipPath = QFile::encodeName(work.filePath("archive.zip"));
    zipFile zip = zipOpen(zipPath.constData(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        return fail("cannot create the zip image");
    }
    for (const QString& name : names) {
        QByteArray data;
        if (!readFile(root.filePath(name), data)) {
            zipClose(zip, nullptr);
            return 1;
        }
        const QByteArray entry = name.toUtf8();
        if (entry.size() >= 256) {
            zipClose(zip, nullptr);
            return fail(QString("entry name too long: %1").arg(name));
        }
        zip_fileinfo info{};
        // Pictures and the font are already compressed; storing them costs nothing at
        // start-up and keeps the archive lean where deflate gains nothing.
        const bool compress = !name.endsWith(".png", Qt::CaseInsensitive);
        if (zipOpenNewFileInZip(zip, entry.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                compress ? Z_DEFLATED : 0,
                                compress ? Z_BEST_COMPRESSION : 0) != ZIP_OK ||
            zipWriteInFileInZip(zip, data.constData(), static_cast<unsigned>(data.size())) !=
                ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            return fail(QString("cannot add %1").arg(name));
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK) {
        return fail("cannot finish the zip image");
    }
    QByteArray image;
    if (!readFile(work.filePath("archive.zip"), image)) {
        return 1;
    }
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(image.data()),
                      static_cast<std::size_t>(image.size()), key);
    return writeFile(out, image) ? 0 : 1;
}

bool ResTool::openArchive(const QString& res, QByteArray& image, void*& zip) {
    if (!readFile(res, image)) {
        return false;
    }
    seedDecryptBuffer(reinterpret_cast<unsigned char*>(image.data()),
                      static_cast<std::size_t>(image.size()), key);
    zip = image.isEmpty()
              ? nullptr
              : openZipFromMemory(image.constData(), static_cast<unsigned>(image.size()));
    if (zip == nullptr) {
        fail(QString("%1 is not a resource archive for this key").arg(res));
        return false;
    }
    return true;
}

int ResTool::list(const QString& res) {
    QByteArray image;
    void* zip = nullptr;
    if (!openArchive(res, image, zip)) {
        return 1;
    }
    QTextStream out(stdout);
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        char name[257] = {};
        unz_file_info info;
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            unzClose(zip);
            return fail("the archive's directory is damaged");
        }
        out << QString::fromUtf8(name) << " " << info.uncompressed_size << "\n";
        status = unzGoToNextFile(zip);
    }
    unzClose(zip);
    out.flush();
    return status == UNZ_END_OF_LIST_OF_FILE ? 0 : fail("the archive's directory is damaged");
}

int ResTool::cat(const QString& res, const QString& entry) {
    QByteArray image;
    void* zip = nullptr;
    if (!openArchive(res, image, zip)) {
        return 1;
    }
    int size = 0;
    std::unique_ptr<unsigned char[]> data(readZipEntry(zip, entry.toStdString(), size));
    unzClose(zip);
    if (!data) {
        return fail(QString("no readable entry %1 in %2").arg(entry, res));
    }
    std::fwrite(data.get(), 1, static_cast<std::size_t>(size), stdout);
    std::fflush(stdout);
    return 0;
}

int ResTool::saveShow(const QString& appDat) {
    QByteArray data;
    if (!readFile(appDat, data)) {
        return 1;
    }
    seedDecryptBuffer(reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<std::size_t>(data.size()), key);
    // The text ends at the first zero byte (the padding).
    const int end = data.indexOf('\0');
    const QByteArray text = end < 0 ? data : data.left(end);
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fflush(stdout);
    return 0;
}

int ResTool::saveWrite(const QString& textFile, const QString& appDat) {
    QByteArray data;
    if (!readFile(textFile, data)) {
        return 1;
    }
    if (data.contains('\0')) {
        return fail("saved data is text and cannot hold zero bytes");
    }
    data.append(QByteArray(static_cast<int>(seedPaddedSize(data.size()) - data.size()), '\0'));
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<std::size_t>(data.size()), key);
    return writeFile(appDat, data) ? 0 : 1;
}
