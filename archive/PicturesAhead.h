#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

class ResourceArchive;

// The first screen's pictures, decoded on a worker thread while the window's thread builds
// the widgets, and handed over as pixmaps (a pixmap is made on the window's thread only).
// A picture the worker has not started yet is decoded by the thread that asks for it, so
// nobody waits for work that is still queued; one being decoded is waited for.
class PicturesAhead {
public:
    // The pictures to decode ahead, in the order they will be asked for. Replaces any list
    // given before; the pictures already decoded are dropped.
    static void expect(const QStringList& names);
    // Decodes the expected pictures not yet taken up, one after another, reading them with
    // `reader`; meant to run on a worker, which must be the reader's only user meanwhile.
    static void decodeExpected(ResourceArchive* reader);
    // The picture `name`: the one decoded ahead when it was expected (decoded here with
    // `reader` if the worker has not started it), otherwise loadPixmap(reader, name).
    static QPixmap pixmap(ResourceArchive* reader, const QString& name);
    // Drops the decoded pictures once the first screen has them; later requests decode
    // again, as loadPixmap does.
    static void clear();

    // A picture entry decoded by the format its name says (recognised from its bytes when
    // that fails); a null image on any failure.
    static QImage decode(ResourceArchive* reader, const QString& name);
    // The image as a pixmap, a palette picture kept at one byte a pixel.
    static QPixmap toPixmap(QImage image);
};
