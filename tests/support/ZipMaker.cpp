#include "ZipMaker.h"

#include <cstring>

#include <QFile>
#include <QtEndian>

#include <zip.h>
#include <zlib.h>

namespace testsupport {

bool makeZip(const QString& path, const QList<ZipEntry>& entries) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip) {
        return false;
    }
    bool ok = true;
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info = {};
        uLong versionMadeBy = 20; // FAT
        if (entry.unixMode >= 0) {
            versionMadeBy = (3 << 8) | 20;
            info.external_fa = uLong(entry.unixMode) << 16;
        }
        const int method = entry.stored ? 0 : Z_DEFLATED;
        const int level = entry.stored ? 0 : Z_DEFAULT_COMPRESSION;
        ok = zipOpenNewFileInZip4_64(zip, entry.name.constData(), &info, nullptr, 0, nullptr, 0,
                                     nullptr, method, level, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                     Z_DEFAULT_STRATEGY, nullptr, 0, versionMadeBy,
                                     entry.utf8Flag ? 1u << 11 : 0u, 0) == ZIP_OK;
        if (ok && !entry.data.isEmpty()) {
            ok = zipWriteInFileInZip(zip, entry.data.constData(), unsigned(entry.data.size())) ==
                 ZIP_OK;
        }
        if (ok) {
            ok = zipCloseFileInZip(zip) == ZIP_OK;
        }
        if (!ok) {
            break;
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

qint64 entryDataOffset(const QByteArray& archive, const QByteArray& name) {
    // Local file header: signature, then fixed fields; name length at 26, extra at 28.
    const QByteArray signature("PK\x03\x04", 4);
    qint64 pos = archive.indexOf(signature);
    while (pos >= 0 && pos + 30 <= archive.size()) {
        const auto* header = reinterpret_cast<const uchar*>(archive.constData() + pos);
        const quint16 nameLength = qFromLittleEndian<quint16>(header + 26);
        const quint16 extraLength = qFromLittleEndian<quint16>(header + 28);
        if (archive.mid(int(pos) + 30, nameLength) == name) {
            return pos + 30 + nameLength + extraLength;
        }
        pos = archive.indexOf(signature, int(pos) + 4);
    }
    return -1;
}

namespace {
void writeLittleEndian(QByteArray& bytes, int pos, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    std::memcpy(bytes.data() + pos, &little, sizeof little);
}
} // namespace

bool setDeclaredSize(QByteArray& archive, const QByteArray& name, quint32 size) {
    // Local header: uncompressed size at 22, name at 30. Central header: size at 24,
    // name length at 28, name at 46.
    bool local = false;
    bool central = false;
    for (int pos = 0; pos + 46 <= archive.size(); ++pos) {
        auto* header = reinterpret_cast<uchar*>(archive.data() + pos);
        if (header[0] != 'P' || header[1] != 'K') {
            continue;
        }
        if (header[2] == 3 && header[3] == 4 && archive.mid(pos + 30, name.size()) == name &&
            qFromLittleEndian<quint16>(header + 26) == name.size()) {
            writeLittleEndian(archive, pos + 22, size);
            local = true;
        } else if (header[2] == 1 && header[3] == 2 &&
                   qFromLittleEndian<quint16>(header + 28) == name.size() &&
                   archive.mid(pos + 46, name.size()) == name) {
            writeLittleEndian(archive, pos + 24, size);
            central = true;
        }
    }
    return local && central;
}

} // namespace testsupport
