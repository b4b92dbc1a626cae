#pragma once

#include <QProxyStyle>

// The platform's style, except that pictures drawn through it (the labels' pictures)
// are filtered when scaled, so they stay smooth on a screen scaled up by the desktop.
// Unscaled pictures come out exactly as before. Owned by the application.
class SmoothPictureStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                        const QPixmap& pixmap) const override;
};
