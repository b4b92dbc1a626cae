#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace testsupport {

// One entry of a zip archive made for a test. A name ending in "/" is a folder entry.
struct ZipEntry {
    QByteArray name;
    QByteArray data;
    int unixMode = -1;     // recorded as made on Unix with this mode; -1: made on FAT, no mode
    bool stored = false;   // store instead of deflate
    bool utf8Flag = false; // general purpose bit 11: the name is UTF-8
};

// Writes a zip archive with minizip's zip API, names taken byte for byte (so hostile
// names such as "../x" can be made). False when it could not be written.
bool makeZip(const QString& path, const QList<ZipEntry>& entries);

// Offset of the named entry's data in an archive made by makeZip (after its local
// header), -1 when not found; used to damage an entry on purpose.
qint64 entryDataOffset(const QByteArray& archive, const QByteArray& name);

// Rewrites the uncompressed size the named entry declares, in its local header and in
// the central directory, so an entry can claim more or fewer bytes than it holds.
bool setDeclaredSize(QByteArray& archive, const QByteArray& name, quint32 size);

} // namespace testsupport
