#include "Pictures.h"

#include <memory>

#include <QAbstractButton>
#include <QFontDatabase>
#include <QPixmap>

#include "archive/ResourceArchive.h"

namespace testsupport {

ResourceArchive* testReader() {
    static ResourceArchive* const reader = ResourceArchive::openDefault();
    return reader;
}

int registerShippedFont() {
    std::unique_ptr<QByteArray> font(loadBytes(testReader(), "font/simhei.ttf"));
    return font ? QFontDatabase::addApplicationFontFromData(*font) : -1;
}

QImage pictureOf(const QString& path) {
    return loadPixmap(testReader(), path).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage shownPicture(const QAbstractButton* button) {
    if (button->icon().isNull()) {
        return QImage();
    }
    return button->icon()
        .pixmap(button->iconSize())
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace testsupport
