#pragma once

#include <QImage>
#include <QString>

class QAbstractButton;
class ResourceArchive;

namespace testsupport {

// The tests' own reader of the shipped archive (run tree), opened on first use.
ResourceArchive* testReader();
// A picture of the archive, in a format that compares pixel for pixel.
QImage pictureOf(const QString& path);
// The picture a button shows right now; a null image when it shows none.
QImage shownPicture(const QAbstractButton* button);

} // namespace testsupport
