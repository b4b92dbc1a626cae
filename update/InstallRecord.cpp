#include "update/InstallRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <zlib.h>

const char* const InstallRecord::fileName = ".installed";

namespace {

// A path the record may name: relative, inside the folder, no empty or dot component.
bool isPlainPath(const QString& path) {
    if (path.isEmpty() || path.contains('\\') || path.contains(QChar(0))) {
        return false;
    }
    for (const QString& part : path.split('/')) {
        if (part.isEmpty() || part == "." || part == "..") {
            return false;
        }
    }
    return true;
}

} // namespace

bool InstallRecord::load(const QString& gameFolder) {
    items.clear();
    QFile in(gameFolder + '/' + fileName);
    // Far beyond any game's record: a larger file is not ours.
    if (!in.open(QIODevice::ReadOnly) || in.size() > (256 << 20)) {
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll());
    const QJsonValue list = document.object().value("files");
    if (!list.isArray()) {
        return false;
    }
    for (const QJsonValue& value : list.toArray()) {
        const QJsonObject object = value.toObject();
        Item item;
        item.path = object.value("path").toString();
        item.size = static_cast<qint64>(object.value("size").toDouble(-1));
        item.unpacked = object.contains("crc");
        item.crc = static_cast<quint32>(object.value("crc").toDouble());
        item.modified = static_cast<qint64>(object.value("modified").toDouble(-1));
        if (!isPlainPath(item.path) || item.size < 0) {
            items.clear();
            return false;
        }
        items.append(item);
    }
    return true;
}

bool InstallRecord::save(const QString& gameFolder) const {
    QJsonArray list;
    for (const Item& item : items) {
        QJsonObject object{{"path", item.path}, {"size", double(item.size)}};
        if (item.unpacked) {
            object.insert("crc", double(item.crc));
        } else {
            object.insert("modified", double(item.modified));
        }
        list.append(object);
    }
    const QByteArray bytes = QJsonDocument(QJsonObject{{"files", list}}).toJson();
    QSaveFile out(gameFolder + '/' + fileName);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

InstallRecord::Item* InstallRecord::find(const QString& path) {
    for (Item& item : items) {
        if (item.path == path) {
            return &item;
        }
    }
    return nullptr;
}

void InstallRecord::put(const Item& item) {
    if (Item* known = find(item.path)) {
        *known = item;
    } else {
        items.append(item);
    }
}

bool InstallRecord::fileMatches(const QString& path, qint64 size, quint32 crc,
                                std::vector<char>& buffer, const std::function<bool()>& keepGoing) {
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() != size || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (buffer.empty()) {
        buffer.resize(1 << 20);
    }
    uLong sum = crc32(0L, Z_NULL, 0);
    for (;;) {
        const qint64 read = file.read(buffer.data(), qint64(buffer.size()));
        if (read < 0) {
            return false;
        }
        if (read == 0) {
            break;
        }
        sum = crc32(sum, reinterpret_cast<const Bytef*>(buffer.data()), uInt(read));
        if (keepGoing && !keepGoing()) {
            return false;
        }
    }
    return static_cast<quint32>(sum) == crc;
}
