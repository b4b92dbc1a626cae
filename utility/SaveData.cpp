#include "utility/SaveData.h"

#include <algorithm>
#include <cstddef>

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "archive/ResourceArchive.h"
#include "archive/RunTree.h"
#include "archive/Seed.h"
#include "utility/XmlEntityGuard.h"

namespace {
// Opened at start-up like every resource module's reader; the saved data lies beside the
// archive and is never read through it.
ResourceArchive* const archiveReader = ResourceArchive::openDefault();

const char* const kSavePath = runtree::savedDataPath;
} // namespace

namespace utility {

bool SaveData::load() {
    installedVersions.clear();
    QFile file(QString::fromLatin1(kSavePath));
    if (!file.open(QIODevice::ReadOnly)) {
        lastError = QStringLiteral("cannot open %1: %2").arg(kSavePath, file.errorString());
        return false;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        lastError = QStringLiteral("cannot read %1: %2").arg(kSavePath, file.errorString());
        return false;
    }
    file.close();

    // Whole blocks only; a tail shorter than a block stays as it was read.
    seedDecryptBuffer(reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<std::size_t>(data.size()), kResourceKey);
    // The zero padding, or any zero byte before it, ends the text.
    const int end = data.indexOf('\0');
    const QString text = QString::fromUtf8(data.constData(), end < 0 ? data.size() : end);
    if (text.isEmpty()) {
        lastError = QStringLiteral("no saved text");
        return false;
    }
    readDocument(text);
    return true;
}

void SaveData::readDocument(const QString& text) {
    QXmlStreamReader reader(text);
    guardEntityExpansion(reader, text);
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (!reader.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes attributes = reader.attributes();
        const auto value = [&attributes](const char* name) {
            return attributes.value(QLatin1String(name)).toString();
        };
        if (reader.name() == QLatin1String("root")) {
            // An absent or non-numeric value converts to 0.
            remember = attributes.value(QLatin1String("isSave")).toInt(nullptr, 10) != 0;
        } else if (reader.name() == QLatin1String("userInfo")) {
            userPasswords[value("id")] = value("pass");
        } else if (reader.name() == QLatin1String("verInfo")) {
            installedVersions[value("name")] = value("ver");
        }
    }
    if (reader.hasError()) {
        lastError = reader.errorString();
        qDebug().noquote() << QStringLiteral("XML error: ") + reader.errorString();
    } else if (reader.atEnd()) {
        qDebug().noquote() << QStringLiteral("Reached end, done");
    }
}

QString SaveData::writeDocument() const {
    QString text;
    QXmlStreamWriter writer(&text);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("root"));
    writer.writeAttribute(QStringLiteral("isSave"),
                          remember ? QStringLiteral("1") : QStringLiteral("0"));
    if (remember) {
        for (auto it = userPasswords.cbegin(); it != userPasswords.cend(); ++it) {
            writer.writeStartElement(QStringLiteral("userInfo"));
            writer.writeAttribute(QStringLiteral("id"), it.key());
            writer.writeAttribute(QStringLiteral("pass"), it.value());
            writer.writeEndElement();
        }
    }
    for (auto it = installedVersions.cbegin(); it != installedVersions.cend(); ++it) {
        writer.writeStartElement(QStringLiteral("verInfo"));
        writer.writeAttribute(QStringLiteral("name"), it.key());
        writer.writeAttribute(QStringLiteral("ver"), it.value());
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return text;
}

bool SaveData::writeInPlace(const QString& path, const QByteArray& data) {
    QFile file(path);
    // Not truncated on opening: a file that cannot be written is left as it was.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        lastError += QStringLiteral("; nor in place: %1").arg(file.errorString());
        return false;
    }
    // A longer document first takes its room at the end, in blocks of encrypted zeros that a
    // reader takes for padding after the old text: on a full disk that fails, the file is
    // cut back, and the old document is untouched.
    const qint64 oldSize = file.size();
    if (data.size() > oldSize) {
        QByteArray room(int(seedPaddedSize(std::size_t(data.size() - oldSize))), '\0');
        seedEncryptBuffer(reinterpret_cast<unsigned char*>(room.data()),
                          static_cast<std::size_t>(room.size()), kResourceKey);
        if (!file.seek(oldSize) || file.write(room) != room.size() || !file.flush()) {
            lastError = QStringLiteral("cannot make room for %1 in place: %2")
                            .arg(kSavePath, file.errorString());
            file.resize(oldSize);
            return false;
        }
        file.seek(0);
    }
    if (file.write(data) != data.size() || !file.resize(data.size()) || !file.flush()) {
        lastError =
            QStringLiteral("cannot write %1 in place: %2").arg(kSavePath, file.errorString());
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        lastError =
            QStringLiteral("cannot write %1 in place: %2").arg(kSavePath, file.errorString());
        return false;
    }
    lastError.clear();
    return true;
}

bool SaveData::mustNarrow(const QString& path) const {
    constexpr QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther;
    const bool narrow = remember && !userPasswords.isEmpty() && (QFile::permissions(path) & others);
    if (narrow) {
        qInfo().noquote() << kSavePath
                          << "holds passwords and could be read by others: it is "
                             "now for its owner alone";
    }
    return narrow;
}

bool SaveData::save() {
    const QByteArray utf8 = writeDocument().toUtf8();
    QByteArray data(static_cast<int>(seedPaddedSize(static_cast<std::size_t>(utf8.size()))), '\0');
    std::copy(utf8.cbegin(), utf8.cend(), data.begin());
    seedEncryptBuffer(reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<std::size_t>(data.size()), kResourceKey);

    // The new text goes to a temporary file that is renamed over app.dat only once it is
    // complete, so a failed or interrupted write never costs the previous login and versions.
    // Where the resource folder is closed to the player but app.dat is not, the file is
    // written in place instead: better than forgetting every installed version.
    const QString path = QString::fromLatin1(kSavePath);
    const bool existed = QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        lastError = QStringLiteral("cannot create %1: %2").arg(kSavePath, file.errorString());
        if (!existed || !writeInPlace(path, data)) {
            return false;
        }
        if (mustNarrow(path) &&
            !QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            qWarning().noquote() << kSavePath
                                 << "holds passwords others can read, and its mode "
                                    "cannot be changed by this user";
        }
        return true;
    }
    // It may hold passwords: a new file is for its owner alone. An existing one keeps its
    // mode, unless others could read the passwords it is about to hold (a file made before
    // modes were set).
    if ((!existed || mustNarrow(path)) &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        lastError = QStringLiteral("cannot protect %1: %2").arg(kSavePath, file.errorString());
        return false;
    }
    // Qt 5's commit() misses a failure of the final flush of its buffer and would put a cut-short
    // file in place, so the write is checked and flushed here; returning without commit() drops
    // the temporary file.
    if (file.write(data) != data.size() || !file.flush()) {
        lastError = QStringLiteral("cannot write %1: %2").arg(kSavePath, file.errorString());
        return false;
    }
    if (!file.commit()) {
        lastError = QStringLiteral("cannot replace %1: %2").arg(kSavePath, file.errorString());
        return false;
    }
    return true;
}

void SaveData::setUser(const QString& id, const QString& password) {
    userPasswords[id] = password;
}

void SaveData::setIsSave(bool on) {
    remember = on;
    if (!on) {
        userPasswords.clear();
    }
}

void SaveData::setVersion(const QString& key, const QString& version) {
    installedVersions[key] = version;
}

QString SaveData::getVersion(const QString& key) const {
    return installedVersions.value(key, QStringLiteral("0.0"));
}

} // namespace utility
