#include "PackageInstaller.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <QThread>

#include <unzip.h>

namespace {

const std::string localFolder = "../../../";
constexpr int copyBufferSize = 4096;

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

bool interrupted() {
    return QThread::currentThread()->isInterruptionRequested();
}

// Programs and scripts made on Unix keep the execute bits their entry records.
void applyExecuteBits(const QString& path, unsigned long versionMadeBy,
                      unsigned long externalAttributes) {
#ifdef Q_OS_UNIX
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
#else
    Q_UNUSED(path);
    Q_UNUSED(versionMadeBy);
    Q_UNUSED(externalAttributes);
#endif
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

bool PackageInstaller::run() {
    const std::string package = localFolder + gameName + "/" + gameName + ".zip";
    const QString packagePath = QString::fromStdString(package);
    if (!QFileInfo(packagePath).isFile()) {
        // A game folder may hold plain files only: nothing to unpack is not a failure.
        qDebug() << package.c_str() << ": not found";
        return true;
    }
    unzFile zip = unzOpen64(QFile::encodeName(packagePath).constData());
    if (!zip && isEmptyArchive(packagePath)) {
        total = 0;
        current = 0;
        QDir::current().remove(packagePath);
        return true;
    }
    if (!zip) {
        qDebug() << package.c_str() << ": not a readable package";
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
        qDebug() << "debug extracting file " << name.c_str();
        if (!name.empty() && name.back() == '/') {
            qDebug() << "dir:" << name.c_str();
            if (!QDir().mkpath(gameFolder + QString::fromStdString(name))) {
                qDebug() << "could not create folder" << name.c_str();
                unzClose(zip);
                return false;
            }
        } else {
            qDebug() << "file:" << name.c_str();
            if (!extractFile(zip, name, info.version, info.external_fa)) {
                unzClose(zip);
                return false;
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

bool PackageInstaller::checkNames(void* handle, unsigned long long entries) {
    unzFile zip = static_cast<unzFile>(handle);
    for (unsigned long long i = 0; i < entries; ++i) {
        unz_file_info64 info;
        std::string name;
        if ((i == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip)) != UNZ_OK ||
            !readEntryInfo(zip, info, name)) {
            qDebug() << "could not read file info";
            return false;
        }
        if (!isSafeEntryName(name)) {
            qDebug() << "refused entry" << QByteArray::fromStdString(name);
            return false;
        }
    }
    return true;
}

bool PackageInstaller::extractFile(void* handle, const std::string& name,
                                   unsigned long versionMadeBy, unsigned long externalAttributes) {
    unzFile zip = static_cast<unzFile>(handle);
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        qDebug() << "could not open file";
        return false;
    }
    const QString path =
        QString::fromStdString(localFolder + gameName) + '/' + QString::fromStdString(name);
    qDebug() << path;

    // Entries need not list their folders first.
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        qDebug() << "could not create folder" << folder;
        unzCloseCurrentFile(zip);
        return false;
    }
    // Written aside and put in place only when the entry came out whole and checked.
    QSaveFile destination(path);
    if (!destination.open(QIODevice::WriteOnly)) {
        qDebug() << "could not open destination filen" << destination.errorString();
        unzCloseCurrentFile(zip);
        return false;
    }
    char buffer[copyBufferSize];
    for (;;) {
        if (interrupted()) {
            destination.cancelWriting();
            unzCloseCurrentFile(zip);
            return false;
        }
        const int read = unzReadCurrentFile(zip, buffer, copyBufferSize);
        if (read < 0) {
            qDebug() << "error " << read;
            destination.cancelWriting();
            unzCloseCurrentFile(zip);
            return false;
        }
        if (read == 0) {
            break;
        }
        if (destination.write(buffer, read) != read) {
            qDebug() << "could not write" << path << destination.errorString();
            unzCloseCurrentFile(zip);
            return false;
        }
        qDebug() << "debug bytes written " << read << name.c_str();
    }
    const int closed = unzCloseCurrentFile(zip);
    if (closed != UNZ_OK) {
        qDebug() << "error " << closed; // UNZ_CRCERROR: the data is not what was packed
        destination.cancelWriting();
        return false;
    }
    if (!destination.commit()) {
        qDebug() << "could not write" << path << destination.errorString();
        return false;
    }
    applyExecuteBits(path, versionMadeBy, externalAttributes);
    return true;
}
