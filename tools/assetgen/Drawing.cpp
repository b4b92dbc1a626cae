#include "Drawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTransform>

namespace draw {

namespace {
QString regularFamily;
QString boldFamily;

QPainterPath mapUnit(const QPainterPath& unit, const QRectF& box) {
    QTransform t;
    t.translate(box.x(), box.y());
    t.scale(box.width(), box.height());
    return t.map(unit);
}
} // namespace

void setFontFamilies(const QString& regular, const QString& bold) {
    regularFamily = regular;
    boldFamily = bold.isEmpty() ? regular : bold;
}

QFont font(qreal pixelSize, bool bold) {
    QFont f;
    const QString& family = bold ? boldFamily : regularFamily;
    if (!family.isEmpty()) {
        f.setFamily(family);
    }
    f.setPixelSize(qRound(pixelSize));
    // The bold face is its own file; only ask for synthetic bold when there is none.
    f.setBold(bold && boldFamily == regularFamily);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QImage canvas(int width, int height) {
    QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QColor mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(
        a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
        a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor withAlpha(const QColor& c, int alpha) {
    QColor r = c;
    r.setAlpha(alpha);
    return r;
}

QPainterPath rounded(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void fillVertical(QPainter& p, const QPainterPath& path, const QColor& top, const QColor& bottom) {
    const QRectF b = path.boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillPath(path, g);
}

void separableShade(QPainter& p, const QRect& area, const QColor& near, const QColor& far,
                    const std::function<qreal(int)>& tx, const std::function<qreal(int)>& ty) {
    QImage img(area.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<qreal> columns(area.width());
    for (int x = 0; x < area.width(); ++x) {
        columns[x] = tx(x);
    }
    for (int y = 0; y < area.height(); ++y) {
        const qreal rowPart = ty(y);
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const qreal t = std::clamp(columns[x] + rowPart, 0.0, 1.0);
            line[x] = mix(near, far, t).rgba();
        }
    }
    p.drawImage(area.topLeft(), img);
}

void felt(QPainter& p, const QRectF& area, const QPointF& centre, qreal depth) {
    // An elliptical falloff: the sum of the squared distances along each axis.
    const QRect r = area.toAlignedRect();
    const qreal cx = centre.x() - r.left();
    const qreal cy = centre.y() - r.top();
    const qreal rx = std::max(cx, r.width() - cx) * 1.25;
    const qreal ry = std::max(cy, r.height() - cy) * 1.6;
    separableShade(
        p, r, QColor(kFeltLight), QColor(kFeltDark),
        [&](int x) { return std::pow((x - cx) / rx, 2) * 1.5 * depth; },
        [&](int y) { return std::pow((y - cy) / ry, 2) * 1.5 * depth; });
}

void wood(QPainter& p, const QRectF& area) {
    QLinearGradient g(area.topLeft(), area.bottomLeft());
    g.setColorAt(0, QColor(kWoodLight));
    g.setColorAt(0.45, QColor(kWood));
    g.setColorAt(1, QColor(kWoodDark));
    p.fillRect(area, g);

    // A few long, slow waves read as grain without costing much in the compressed file.
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing);
    const int lines = std::max(3, int(area.height() / 7));
    for (int i = 0; i < lines; ++i) {
        const qreal y0 = area.top() + (i + 0.5) * area.height() / lines;
        QPainterPath grain;
        grain.moveTo(area.left(), y0);
        for (qreal x = area.left(); x <= area.right() + 40; x += 40) {
            const qreal y = y0 + 1.6 * std::sin(x / (97.0 + 13 * i) + i * 1.7);
            grain.lineTo(x, y);
        }
        p.setPen(QPen(QColor(0, 0, 0, i % 2 ? 34 : 22), 1.0));
        p.drawPath(grain);
    }
    p.restore();
}

void brassFrame(QPainter& p, const QRectF& r, qreal radius, qreal width) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(kBrassLight));
    g.setColorAt(0.5, QColor(kBrass));
    g.setColorAt(1, QColor(kBrassDark));
    p.setPen(QPen(QBrush(g), width));
    p.setBrush(Qt::NoBrush);
    const qreal h = width / 2;
    p.drawPath(rounded(r.adjusted(h, h, -h, -h), std::max<qreal>(0, radius - h)));
    p.restore();
}

void dropShadow(QPainter& p, const QRectF& r, qreal radius, int spread, int strength) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int step = std::max(1, strength / std::max(1, spread));
    for (int i = spread; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, step));
        p.drawPath(rounded(r.adjusted(-i, -i + 2, i, i + 2), radius + i));
    }
    p.restore();
}

void inset(QPainter& p, const QRectF& r, qreal radius, const QColor& fill) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = rounded(r, radius);
    p.fillPath(path, fill);
    p.setClipPath(path);
    QLinearGradient shade(r.topLeft(), r.topLeft() + QPointF(0, 7));
    shade.setColorAt(0, QColor(0, 0, 0, 120));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(r, shade);
    p.setClipping(false);
    p.setPen(QPen(QColor(0, 0, 0, 150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    // Light catches the lower lip of the recess.
    p.setPen(QPen(QColor(255, 240, 200, 60), 1));
    p.drawLine(QPointF(r.left() + radius, r.bottom() + 0.5),
               QPointF(r.right() - radius, r.bottom() + 0.5));
    p.restore();
}

void buttonFace(QPainter& p, const QRectF& r, qreal radius, const QColor& base, Face face) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    QColor top;
    QColor bottom;
    switch (face) {
    case Face::Normal:
        top = base.lighter(135);
        bottom = base.darker(125);
        break;
    case Face::Hover:
        top = base.lighter(170);
        bottom = base.lighter(105);
        break;
    case Face::Pressed:
        top = base.darker(175);
        bottom = base.darker(120);
        break;
    }

    // Dark outer rim separates the button from whatever it sits on.
    p.setPen(QPen(QColor(10, 6, 3, 210), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));

    const QRectF faceRect = r.adjusted(1, 1, -1, -1);
    const QPainterPath facePath = rounded(faceRect, radius - 1);
    fillVertical(p, facePath, top, bottom);

    p.setClipPath(facePath);
    if (face == Face::Pressed) {
        QLinearGradient shade(faceRect.topLeft(), faceRect.topLeft() + QPointF(0, 6));
        shade.setColorAt(0, QColor(0, 0, 0, 130));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(faceRect, shade);
    } else {
        // Gloss on the upper half.
        QLinearGradient gloss(faceRect.topLeft(), QPointF(faceRect.left(), faceRect.center().y()));
        gloss.setColorAt(0, QColor(255, 255, 255, face == Face::Hover ? 70 : 45));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(faceRect.topLeft(), QSizeF(faceRect.width(), faceRect.height() / 2)),
                   gloss);
    }
    if (face == Face::Hover) {
        p.setPen(QPen(withAlpha(QColor(kBrassLight), 90), 6));
        p.drawPath(facePath);
    }
    p.setClipping(false);
    p.restore();

    if (face == Face::Hover) {
        brassFrame(p, r.adjusted(1, 1, -1, -1), radius - 1, 2);
    } else {
        QColor rim = face == Face::Pressed ? QColor(kBrassDark).darker(120) : QColor(kBrassDark);
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(rim, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(rounded(r.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5));
        p.restore();
    }
}

QPainterPath suitPath(Suit suit, const QRectF& box) {
    QPainterPath u;
    switch (suit) {
    case Suit::Heart:
        u.moveTo(0.5, 0.27);
        u.cubicTo(0.5, 0.0, 0.0, -0.02, 0.02, 0.34);
        u.cubicTo(0.04, 0.6, 0.36, 0.74, 0.5, 0.98);
        u.cubicTo(0.64, 0.74, 0.96, 0.6, 0.98, 0.34);
        u.cubicTo(1.0, -0.02, 0.5, 0.0, 0.5, 0.27);
        u.closeSubpath();
        break;
    case Suit::Spade:
        u.moveTo(0.5, 0.02);
        u.cubicTo(0.36, 0.24, 0.03, 0.38, 0.02, 0.6);
        u.cubicTo(0.01, 0.86, 0.36, 0.9, 0.46, 0.7);
        u.lineTo(0.38, 0.98);
        u.lineTo(0.62, 0.98);
        u.lineTo(0.54, 0.7);
        u.cubicTo(0.64, 0.9, 0.99, 0.86, 0.98, 0.6);
        u.cubicTo(0.97, 0.38, 0.64, 0.24, 0.5, 0.02);
        u.closeSubpath();
        break;
    case Suit::Diamond:
        u.moveTo(0.5, 0.0);
        u.quadTo(0.66, 0.28, 0.9, 0.5);
        u.quadTo(0.66, 0.72, 0.5, 1.0);
        u.quadTo(0.34, 0.72, 0.1, 0.5);
        u.quadTo(0.34, 0.28, 0.5, 0.0);
        u.closeSubpath();
        break;
    case Suit::Club: {
        QPainterPath parts;
        parts.addEllipse(QPointF(0.5, 0.26), 0.22, 0.22);
        parts.addEllipse(QPointF(0.24, 0.6), 0.22, 0.22);
        parts.addEllipse(QPointF(0.76, 0.6), 0.22, 0.22);
        parts.addEllipse(QPointF(0.5, 0.52), 0.12, 0.12);
        QPainterPath stem;
        stem.moveTo(0.46, 0.55);
        stem.lineTo(0.54, 0.55);
        stem.quadTo(0.56, 0.85, 0.64, 0.98);
        stem.lineTo(0.36, 0.98);
        stem.quadTo(0.44, 0.85, 0.46, 0.55);
        stem.closeSubpath();
        u = parts.united(stem);
        break;
    }
    }
    u.setFillRule(Qt::WindingFill);
    return mapUnit(u, box);
}

QColor suitColour(Suit suit) {
    return (suit == Suit::Heart || suit == Suit::Diamond) ? QColor(kCardRed) : QColor(kInk);
}

void chip(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(170), 1));
    QRadialGradient g(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.4);
    g.setColorAt(0, colour.lighter(130));
    g.setColorAt(1, colour.darker(120));
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
    // Edge spots.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kIvory));
    for (int i = 0; i < 6; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 60.0);
        p.drawRoundedRect(QRectF(-radius * 0.13, -radius * 0.97, radius * 0.26, radius * 0.28), 1,
                          1);
        p.restore();
    }
    p.setPen(QPen(withAlpha(QColor(kIvory), 200), std::max<qreal>(1, radius * 0.07), Qt::DashLine));
    p.setBrush(colour);
    p.drawEllipse(centre, radius * 0.6, radius * 0.6);
    p.restore();
}

void logo(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = box.center();
    const qreal r = std::min(box.width(), box.height()) / 2;

    QRadialGradient brass(c - QPointF(r * 0.35, r * 0.45), r * 1.5);
    brass.setColorAt(0, QColor(kBrassLight));
    brass.setColorAt(0.6, QColor(kBrass));
    brass.setColorAt(1, QColor(kBrassDark));
    p.setPen(QPen(QColor(kWoodDark), std::max<qreal>(1, r * 0.06)));
    p.setBrush(brass);
    p.drawEllipse(c, r * 0.96, r * 0.96);

    // Notches around the rim, as on a chip.
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(QColor(kWoodDark), 150));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0 + 22.5);
        p.drawRect(QRectF(-r * 0.09, -r * 0.93, r * 0.18, r * 0.2));
        p.restore();
    }

    QRadialGradient inner(c - QPointF(0, r * 0.2), r * 0.8);
    inner.setColorAt(0, QColor(kFeltLight));
    inner.setColorAt(1, QColor(kFeltDark));
    p.setPen(QPen(QColor(kBrassDark), std::max<qreal>(1, r * 0.05)));
    p.setBrush(inner);
    p.drawEllipse(c, r * 0.64, r * 0.64);

    const qreal s = r * 0.72;
    p.fillPath(suitPath(Suit::Spade, QRectF(c.x() - s / 2, c.y() - s / 2 - r * 0.02, s, s)),
               QColor(kIvory));
    p.restore();
}

void shadowText(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& f,
                const QColor& colour, int shadowAlpha) {
    p.save();
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, shadowAlpha));
    p.drawText(r.translated(1, 1), flags, text);
    p.setPen(colour);
    p.drawText(r, flags, text);
    p.restore();
}

} // namespace draw
