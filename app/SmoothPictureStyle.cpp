#include "app/SmoothPictureStyle.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

#include "app/DeferredIconEngine.h"

void SmoothPictureStyle::drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                                        const QPixmap& pixmap) const {
    const bool smooth = painter->testRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    QProxyStyle::drawItemPixmap(painter, rect, alignment, pixmap);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

QIcon SmoothPictureStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                       const QWidget* widget) const {
    if (icon != SP_ToolBarHorizontalExtensionButton && icon != SP_ToolBarVerticalExtensionButton) {
        return QProxyStyle::standardIcon(icon, option, widget);
    }
    // The arrow points the way the text runs when it is asked for, as it would have.
    QStyleOption direction;
    direction.direction =
        option != nullptr ? option->direction : QGuiApplication::layoutDirection();
    const QPointer<const SmoothPictureStyle> style(this);
    return QIcon(new DeferredIconEngine([style, icon, direction] {
        return style ? style->QProxyStyle::standardIcon(icon, &direction) : QIcon();
    }));
}
