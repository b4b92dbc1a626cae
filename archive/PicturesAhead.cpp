#include "archive/PicturesAhead.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include "archive/ResourceArchive.h"

namespace {
struct Expected {
    enum State { Queued, Decoding, Done };
    QString name;
    State state = Queued;
    QImage image;
};

std::mutex mutex;
std::condition_variable decoded;
std::vector<Expected> expected;

// The entry for `name`, or null. Mutex held.
Expected* find(const QString& name) {
    for (Expected& entry : expected) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// Keeps what was decoded for `name`, unless the list was replaced or cleared meanwhile.
// Mutex held.
void store(const QString& name, QImage image) {
    Expected* entry = find(name);
    if (entry != nullptr && entry->state == Expected::Decoding) {
        entry->image = std::move(image);
        entry->state = Expected::Done;
    }
}
} // namespace

void PicturesAhead::expect(const QStringList& names) {
    const std::lock_guard<std::mutex> lock(mutex);
    expected.clear();
    for (const QString& name : names) {
        expected.push_back({name, Expected::Queued, QImage()});
    }
}

void PicturesAhead::decodeExpected(ResourceArchive* reader) {
    for (;;) {
        QString name;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            for (Expected& entry : expected) {
                if (entry.state == Expected::Queued) {
                    entry.state = Expected::Decoding;
                    name = entry.name;
                    break;
                }
            }
        }
        if (name.isNull()) {
            return;
        }
        QImage image = decode(reader, name);
        {
            const std::lock_guard<std::mutex> lock(mutex);
            store(name, std::move(image));
        }
        decoded.notify_all();
    }
}

QPixmap PicturesAhead::pixmap(ResourceArchive* reader, const QString& name) {
    std::unique_lock<std::mutex> lock(mutex);
    Expected* entry = find(name);
    if (entry == nullptr) {
        lock.unlock();
        return loadPixmap(reader, name);
    }
    if (entry->state == Expected::Queued) {
        // Taken up here rather than waited for: other threads asking for it wait.
        entry->state = Expected::Decoding;
        lock.unlock();
        QImage image = decode(reader, name);
        lock.lock();
        store(name, image);
        lock.unlock();
        decoded.notify_all();
        return toPixmap(std::move(image));
    }
    decoded.wait(lock, [&name] {
        const Expected* waited = find(name);
        return waited == nullptr || waited->state == Expected::Done;
    });
    entry = find(name);
    QImage image = entry != nullptr ? entry->image : QImage();
    lock.unlock();
    return entry != nullptr ? toPixmap(std::move(image)) : loadPixmap(reader, name);
}

void PicturesAhead::clear() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        expected.clear();
    }
    decoded.notify_all();
}

QImage PicturesAhead::decode(ResourceArchive* reader, const QString& name) {
    const std::unique_ptr<QByteArray> data(loadBytes(reader, name));
    if (data == nullptr) {
        return QImage();
    }
    // Only the reader of the format the name's suffix says is asked: letting Qt recognise
    // the format, or check it against every reader, loads every image reader plugin there
    // is. A picture whose bytes are not what its name says is still recognised from them.
    QBuffer bytes(data.get());
    bytes.open(QIODevice::ReadOnly);
    QImageReader named(&bytes, QFileInfo(name).suffix().toLower().toLatin1());
    named.setAutoDetectImageFormat(false);
    QImage image = named.read();
    if (image.isNull()) {
        bytes.seek(0);
        QImageReader recognised(&bytes);
        image = recognised.read();
    }
    return image;
}

QPixmap PicturesAhead::toPixmap(QImage image) {
    if (image.isNull()) {
        return QPixmap();
    }
    // A palette picture stays one byte a pixel: drawing converts the colours as it goes, with
    // the same result, where a pixmap converted to the screen's format would hold four.
    const Qt::ImageConversionFlags flags =
        image.format() == QImage::Format_Indexed8 ? Qt::NoFormatConversion : Qt::AutoColor;
    return QPixmap::fromImage(std::move(image), flags);
}
