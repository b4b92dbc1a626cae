#pragma once

#include <QImage>
#include <QString>

class QAbstractButton;
class ResourceArchive;

namespace testsupport {

// The tests' own reader of the shipped archive (run tree), opened on first use.
ResourceArchive* testReader();
// Registers the archive's font as start-up does; its application font id, -1 when the
// font cannot be read or registered.
int registerShippedFont();
// A picture of the archive, in a format that compares pixel for pixel.
QImage pictureOf(const QString& path);
// The picture a button shows right now; a null image when it shows none.
QImage shownPicture(const QAbstractButton* button);

} // namespace testsupport
