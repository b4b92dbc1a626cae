#include "app/SmoothPictureStyle.h"

#include <QPainter>

void SmoothPictureStyle::drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                                        const QPixmap& pixmap) const {
    const bool smooth = painter->testRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    QProxyStyle::drawItemPixmap(painter, rect, alignment, pixmap);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}
