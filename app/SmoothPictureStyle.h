#pragma once

#include <QProxyStyle>

// The platform's style, except that pictures drawn through it (the labels' pictures)
// are filtered when scaled, so they stay smooth on a screen scaled up by the desktop.
// Unscaled pictures come out exactly as before. The tool bars' extension arrows are read
// the first time one is drawn: the window's empty tool bar never shows its arrow, and
// reading it at start would load every image reader Qt has. Owned by the application.
class SmoothPictureStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawItemPixmap(QPainter* painter, const QRect& rect, int alignment,
                        const QPixmap& pixmap) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
