#include "update/PackageInstaller.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStorageInfo>
#include <QString>
#include <QThread>

#include <unzip.h>

#include "archive/RunTree.h"
#include "platform/DiskFiles.h"
#include "update/FtpThread.h"
#include "update/NameDecoder.h"

// One line for every block written: off unless asked for with
// QT_LOGGING_RULES="launcher.install.debug=true" (a 2 GB game writes tens of thousands).
Q_LOGGING_CATEGORY(installLog, "launcher.install", QtInfoMsg)

namespace {

const std::string localFolder = runtree::gamesFolder;
// Each entry is inflated through this buffer: memory stays the same whatever the package.
constexpr int copyBufferSize = 256 * 1024;
// An entry is written under this suffix beside its place and renamed over it when whole.
const char* const unfinishedSuffix = ".~new";
constexpr unsigned long utf8NameFlag = 1ul << 11;

// The entry's name, whatever its length: the length is asked for first.
bool readEntryInfo(unzFile zip, unz_file_info64& info, std::string& name) {
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return false;
    }
    name.assign(info.size_filename, '\0');
    if (info.size_filename > 0 && unzGetCurrentFileInfo64(zip, &info, &name[0], info.size_filename,
                                                          nullptr, 0, nullptr, 0) != UNZ_OK) {
        return false;
    }
    return true;
}

// minizip cannot find an end record at the very start of a file, which is all an archive
// without entries is: such a package is recognised here.
bool isEmptyArchive(const QString& path) {
    QFile file(path);
    constexpr qint64 recordSize = 22;
    if (!file.open(QIODevice::ReadOnly) || file.size() < recordSize ||
        file.size() > recordSize + 0xffff) {
        return false;
    }
    const QByteArray data = file.readAll();
    for (int pos = int(data.size() - recordSize); pos >= 0; --pos) {
        const auto* record = reinterpret_cast<const uchar*>(data.constData() + pos);
        if (record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6) {
            const int entries = record[10] | record[11] << 8;
            const int commentLength = record[20] | record[21] << 8;
            return entries == 0 && pos + recordSize + commentLength == data.size();
        }
    }
    return false;
}

// The package goes through a large read buffer: the reader takes it in pieces of 16 KiB
// and seeks before each, which through the default buffer costs two system calls a piece.
constexpr std::size_t packageBufferSize = 1024 * 1024;

struct PackageFile {
    FILE* file = nullptr;
    std::vector<char> buffer;
};

FILE* stream(voidpf handle) {
    return static_cast<PackageFile*>(handle)->file;
}

voidpf ZCALLBACK openPackage(voidpf, const void* name, int mode) {
    if (name == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
        return nullptr;
    }
    auto* package = new PackageFile;
    package->file = DiskFiles::openForReading(static_cast<const char*>(name));
    if (package->file == nullptr) {
        delete package;
        return nullptr;
    }
    package->buffer.resize(packageBufferSize);
    std::setvbuf(package->file, package->buffer.data(), _IOFBF, package->buffer.size());
    return package;
}

uLong ZCALLBACK readPackage(voidpf, voidpf handle, void* data, uLong size) {
    return static_cast<uLong>(std::fread(data, 1, size, stream(handle)));
}

ZPOS64_T ZCALLBACK tellPackage(voidpf, voidpf handle) {
    return static_cast<ZPOS64_T>(DiskFiles::tell(stream(handle)));
}

long ZCALLBACK seekPackage(voidpf, voidpf handle, ZPOS64_T offset, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR   ? SEEK_CUR
                       : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                          : SEEK_SET;
    return DiskFiles::seek(stream(handle), static_cast<long long>(offset), whence) ? 0 : -1;
}

int ZCALLBACK closePackage(voidpf, voidpf handle) {
    auto* package = static_cast<PackageFile*>(handle);
    const int result = std::fclose(package->file);
    delete package;
    return result;
}

int ZCALLBACK packageError(voidpf, voidpf handle) {
    return std::ferror(stream(handle));
}

unzFile openPackageFile(const QString& path) {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = openPackage;
    functions.zread_file = readPackage;
    functions.ztell64_file = tellPackage;
    functions.zseek64_file = seekPackage;
    functions.zclose_file = closePackage;
    functions.zerror_file = packageError;
    return unzOpen2_64(path.toUtf8().constData(), &functions);
}

bool interrupted() {
    return QThread::currentThread()->isInterruptionRequested();
}

// Programs and scripts made on Unix keep the execute bits their entry records (where the
// file system has none, setting them changes nothing).
void applyExecuteBits(const QString& path, unsigned long versionMadeBy,
                      unsigned long externalAttributes) {
    constexpr unsigned long madeOnUnix = 3;
    if ((versionMadeBy >> 8) != madeOnUnix) {
        return;
    }
    const unsigned long mode = externalAttributes >> 16;
    const unsigned long type = mode & 0170000;
    if (mode == 0 || (type != 0 && type != 0100000)) {
        return; // no mode recorded, or not a regular file
    }
    QFileDevice::Permissions permissions =
        QFile::permissions(path) & ~(QFileDevice::ExeOwner | QFileDevice::ExeUser |
                                     QFileDevice::ExeGroup | QFileDevice::ExeOther);
    if (mode & 0100) {
        permissions |= QFileDevice::ExeOwner;
    }
    if (mode & 0010) {
        permissions |= QFileDevice::ExeGroup;
    }
    if (mode & 0001) {
        permissions |= QFileDevice::ExeOther;
    }
    QFile::setPermissions(path, permissions);
}

} // namespace

PackageInstaller::PackageInstaller(const std::string& gameName, std::atomic<int>& total,
                                   std::atomic<int>& current)
    : gameName(gameName), total(total), current(current) {}

bool PackageInstaller::isSafeEntryName(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        return false;
    }
    if (name[0] == '/' || name[0] == '\\') {
        return false;
    }
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (name.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool PackageInstaller::replaceFile(const QString& from, const QString& to) {
    return DiskFiles::replace(from.toStdString(), to.toStdString());
}

bool PackageInstaller::syncFolder(const QString& folder) {
    return DiskFiles::syncFolder(folder.toStdString());
}

void PackageInstaller::unpackOnly(const QSet<QString>& paths) {
    onlySome = true;
    only = paths;
}

bool PackageInstaller::run() {
    const std::string package = localFolder + gameName + "/" + gameName + ".zip";
    const QString packagePath = QString::fromStdString(package);
    if (!QFileInfo(packagePath).isFile()) {
        // A game folder may hold plain files only: nothing to unpack is not a failure.
        qDebug() << package.c_str() << ": not found";
        return true;
    }
    unzFile zip = openPackageFile(packagePath);
    if (!zip && isEmptyArchive(packagePath)) {
        total = 0;
        current = 0;
        QDir::current().remove(packagePath);
        return true;
    }
    if (!zip) {
        qDebug() << package.c_str() << ": not a readable package";
        damaged = true;
        return false;
    }
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
        qDebug() << "could not read file global info";
        unzClose(zip);
        return false;
    }
    // A package that names anything outside the game folder is refused whole, before
    // a single entry is written.
    if (!checkNames(zip, global.number_entry)) {
        unzClose(zip);
        return false;
    }

    const ZPOS64_T entries = global.number_entry;
    total = static_cast<int>(std::min<ZPOS64_T>(entries, INT_MAX));
    current = 0;
    if (entries > 0 && unzGoToFirstFile(zip) != UNZ_OK) {
        qDebug() << "could not read file info";
        unzClose(zip);
        return false;
    }
    const QString gameFolder = QString::fromStdString(localFolder + gameName) + '/';
    for (ZPOS64_T i = 0; i < entries;) {
        if (interrupted()) {
            unzClose(zip);
            return false;
        }
        ++current;
        unz_file_info64 info;
        std::string name;
        if (!readEntryInfo(zip, info, name)) {
            qDebug() << "could not read file info";
            unzClose(zip);
            return false;
        }
        QString local;
        if (!localEntryName(name, info.flag, local)) {
            qDebug() << "unreadable entry name" << QByteArray::fromStdString(name);
            unzClose(zip);
            return false;
        }
        qDebug() << "debug extracting file " << local;
        if (local.endsWith('/')) {
            qDebug() << "dir:" << local;
            if (!QDir().mkpath(gameFolder + local)) {
                qDebug() << "could not create folder" << local;
                unzClose(zip);
                return false;
            }
        } else if (!onlySome || only.contains(local)) {
            InstallRecord::Item item;
            item.path = local;
            item.size = static_cast<qint64>(info.uncompressed_size);
            item.crc = static_cast<quint32>(info.crc);
            item.unpacked = true;
            if (onlyChanged &&
                InstallRecord::fileMatches(gameFolder + local, item.size, item.crc, copyBuffer)) {
                kept.append(item);
            } else {
                qDebug() << "file:" << local;
                if (!extractFile(zip, local, info.uncompressed_size, info.version,
                                 info.external_fa)) {
                    unzClose(zip);
                    return false;
                }
                unpacked.append(item);
            }
        }
        ++i;
        if (i < entries && unzGoToNextFile(zip) != UNZ_OK) {
            qDebug() << "cound not read next file";
            unzClose(zip);
            return false;
        }
    }
    unzClose(zip);
    if (!QDir::current().remove(packagePath)) {
        qDebug() << "could not delete" << package.c_str();
    }
    return true;
}

// The entry's name as the local disk takes it: UTF-8 when flagged, else in the package's
// encoding for unflagged names (a Korean name's CP949 bytes can happen to be valid UTF-8).
// Some Windows zip tools separate folders with backslashes; on disk they are folders.
bool PackageInstaller::localEntryName(const std::string& raw, unsigned long flag,
                                      QString& out) const {
    const bool decoded = (flag & utf8NameFlag) != 0 ? NameDecoder::fromPackage(raw, true, out)
                         : unflaggedUtf8            ? NameDecoder::fromServer(raw, out)
                                                    : NameDecoder::fromCp949(raw, out);
    if (!decoded) {
        return false;
    }
    out.replace('\\', '/');
    return true;
}

bool PackageInstaller::checkNames(void* handle, unsigned long long entries) {
    unzFile zip = static_cast<unzFile>(handle);
    unsigned long long declared = 0;
    // Entry i's information and name, the entries read in order.
    const auto readEntry = [zip](unsigned long long i, unz_file_info64& info, std::string& name) {
        if ((i == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip)) != UNZ_OK ||
            !readEntryInfo(zip, info, name)) {
            qDebug() << "could not read file info";
            return false;
        }
        return true;
    };
    unz_file_info64 info;
    std::string name;
    unflaggedUtf8 = true;
    for (unsigned long long i = 0; i < entries && unflaggedUtf8; ++i) {
        if (!readEntry(i, info, name)) {
            return false;
        }
        unflaggedUtf8 = (info.flag & utf8NameFlag) != 0 || NameDecoder::isUtf8(name);
    }
    for (unsigned long long i = 0; i < entries; ++i) {
        if (!readEntry(i, info, name)) {
            return false;
        }
        // The checks judge the name the disk will see, not its raw bytes.
        QString local;
        if (!localEntryName(name, info.flag, local)) {
            qDebug() << "refused entry: its name is neither UTF-8 nor CP949"
                     << QByteArray::fromStdString(name);
            return false;
        }
        const std::string converted = local.toUtf8().toStdString();
        const QString first = local.section('/', 0, 0);
        if (!isSafeEntryName(converted) || first == QLatin1String(FtpThread::stagingName) ||
            local == QLatin1String(InstallRecord::fileName)) {
            qDebug() << "refused entry" << local;
            return false;
        }
        declared += std::min<unsigned long long>(info.uncompressed_size, ULLONG_MAX - declared);
    }
    // Refused before anything is written when the entries would not fit on the disk.
    const QString gameFolder = QString::fromStdString(localFolder + gameName);
    const QStorageInfo storage(gameFolder);
    if (storage.isValid() && storage.bytesAvailable() >= 0) {
        const auto available = static_cast<unsigned long long>(storage.bytesAvailable());
        if (declared > available ||
            available - declared < static_cast<unsigned long long>(spareBytes)) {
            qDebug().noquote() << QString(
                                      "the package does not fit: its entries hold %1 bytes, "
                                      "%2 bytes are free on the disk of %3 and %4 must stay free")
                                      .arg(declared)
                                      .arg(available)
                                      .arg(gameFolder)
                                      .arg(spareBytes);
            return false;
        }
    }
    return true;
}

bool PackageInstaller::extractFile(void* handle, const QString& name,
                                   unsigned long long declaredSize, unsigned long versionMadeBy,
                                   unsigned long externalAttributes) {
    unzFile zip = static_cast<unzFile>(handle);
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        qDebug() << "could not open file";
        return false;
    }
    const QString path = QString::fromStdString(localFolder + gameName) + '/' + name;
    qDebug() << path;

    // Entries need not list their folders first.
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        qDebug() << "could not create folder" << folder;
        unzCloseCurrentFile(zip);
        return false;
    }
    // Written aside and put in place only when the entry came out whole and checked. Not
    // flushed to the disk one by one: the caller syncs once, after the last entry.
    const QString unfinished = path + unfinishedSuffix;
    QFile::remove(unfinished); // left by a run that was cut off
    QFile destination(unfinished);
    if (!destination.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        qDebug() << "could not open destination filen" << destination.errorString();
        unzCloseCurrentFile(zip);
        return false;
    }
    const auto cancelWriting = [&] {
        destination.close();
        destination.remove();
    };
    if (copyBuffer.size() != copyBufferSize) {
        copyBuffer.resize(copyBufferSize);
    }
    char* const buffer = copyBuffer.data();
    unsigned long long written = 0;
    // A stop request is honoured between entries (see run()): the entry being written
    // is finished, so no game file is left cut short.
    for (;;) {
        const int read = unzReadCurrentFile(zip, buffer, copyBufferSize);
        if (read < 0) {
            qDebug() << "error " << read;
            cancelWriting();
            unzCloseCurrentFile(zip);
            return false;
        }
        if (read == 0) {
            break;
        }
        // Never more than the entry declares, whatever its data would inflate to.
        if (static_cast<unsigned long long>(read) > declaredSize - written) {
            qDebug() << "entry longer than it declares:" << name;
            cancelWriting();
            unzCloseCurrentFile(zip);
            return false;
        }
        if (destination.write(buffer, read) != read) {
            qDebug() << "could not write" << path << destination.errorString();
            cancelWriting();
            unzCloseCurrentFile(zip);
            return false;
        }
        written += static_cast<unsigned long long>(read);
        qCDebug(installLog) << "debug bytes written " << read << name;
    }
    // The reader stops quietly where a cut-short entry's data ends, and checks the CRC
    // only of an entry read to its declared end: both are checked here.
    const int closed = unzCloseCurrentFile(zip);
    if (written != declaredSize) {
        qDebug() << "entry cut short:" << name << written << "of" << declaredSize << "bytes";
        damaged = true;
        cancelWriting();
        return false;
    }
    if (closed != UNZ_OK) {
        qDebug() << "error " << closed; // UNZ_CRCERROR: the data is not what was packed
        damaged = true;
        cancelWriting();
        return false;
    }
    destination.close();
    if (destination.error() != QFileDevice::NoError) {
        qDebug() << "could not write" << path << destination.errorString();
        destination.remove();
        return false;
    }
    // A file it replaces keeps its permissions, as a new one takes the usual ones.
    if (QFileInfo::exists(path)) {
        QFile::setPermissions(unfinished, QFile::permissions(path));
    }
    if (!replaceFile(unfinished, path)) {
        qDebug() << "could not write" << path;
        QFile::remove(unfinished);
        return false;
    }
    applyExecuteBits(path, versionMadeBy, externalAttributes);
    return true;
}
