#include "Emblems.h"

#include <cmath>
#include <functional>
#include <initializer_list>

#include <QPainter>
#include <QPainterPath>

#include "Drawing.h"

namespace emblem {

namespace {

using draw::Suit;

// One card of a fan: its angle, and what paints it in the card's own coordinates.
struct FanCard {
    qreal angle;
    std::function<void()> draw;
};

// Draws the cards of a fan in order, each rotated by its angle about `pivot`.
void fan(QPainter& p, const QPointF& pivot, std::initializer_list<FanCard> cards) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (const FanCard& card : cards) {
        p.save();
        p.translate(pivot);
        p.rotate(card.angle);
        card.draw();
        p.restore();
    }
    p.restore();
}

// Where each card of a fan lies before it is turned: upright over the pivot, `lift` above it.
QRectF fanRect(const QSizeF& size, qreal lift) {
    return QRectF(-size.width() / 2, -size.height() - lift, size.width(), size.height());
}

void cardBody(QPainter& p, const QRectF& r, qreal radius, const QColor& fill, const QColor& edge) {
    draw::dropShadow(p, r, radius, 3, 60);
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

void playingCard(QPainter& p, const QRectF& r, const QString& rank, Suit suit) {
    cardBody(p, r, 5, QColor(draw::kIvory), QColor(120, 110, 95));
    const QColor ink = draw::suitColour(suit);
    p.setPen(ink);
    p.setFont(draw::font(r.width() * 0.3, true));
    p.drawText(QRectF(r.left() + 3, r.top() + 2, r.width() * 0.35, r.width() * 0.32),
               Qt::AlignCenter, rank);
    const qreal small = r.width() * 0.2;
    p.fillPath(draw::suitPath(suit, QRectF(r.left() + 3 + (r.width() * 0.35 - small) / 2,
                                           r.top() + 4 + r.width() * 0.32, small, small)),
               ink);
    const qreal big = r.width() * 0.52;
    p.fillPath(draw::suitPath(suit, QRectF(r.center().x() - big / 2 + 4,
                                           r.center().y() - big / 2 + 6, big, big)),
               ink);
}

// Flower cards are small and thick, with a red back and a picture framed in white.
QRectF hwatuFace(QPainter& p, const QRectF& r) {
    cardBody(p, r, 3, QColor(0xb2, 0x1f, 0x28), QColor(60, 10, 12));
    const QRectF face = r.adjusted(3, 3, -3, -3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(draw::kIvory));
    p.drawRect(face);
    return face.adjusted(2, 2, -2, -2);
}

void hwatuMoon(QPainter& p, const QRectF& r) {
    const QRectF f = hwatuFace(p, r);
    p.save();
    p.setClipRect(f);
    QLinearGradient sky(f.topLeft(), f.bottomLeft());
    sky.setColorAt(0, QColor(0xd9, 0x3a, 0x2b));
    sky.setColorAt(1, QColor(0xf0, 0x8a, 0x3c));
    p.fillRect(f, sky);
    p.setBrush(QColor(0xff, 0xf8, 0xe6));
    p.drawEllipse(QPointF(f.center().x(), f.top() + f.height() * 0.36), f.width() * 0.36,
                  f.width() * 0.36);
    QPainterPath hill;
    hill.moveTo(f.left(), f.bottom());
    hill.lineTo(f.left(), f.top() + f.height() * 0.62);
    hill.quadTo(f.center().x(), f.top() + f.height() * 0.42, f.right(),
                f.top() + f.height() * 0.66);
    hill.lineTo(f.right(), f.bottom());
    hill.closeSubpath();
    p.fillPath(hill, QColor(0x1a, 0x14, 0x12));
    // Grass blades on the hill.
    p.setPen(QPen(QColor(0xf5, 0xe9, 0xd0), 1));
    for (int i = 0; i < 5; ++i) {
        const qreal x = f.left() + f.width() * (0.15 + 0.17 * i);
        p.drawLine(QPointF(x, f.bottom() - 2), QPointF(x + 4, f.top() + f.height() * 0.7));
    }
    p.restore();
}

void hwatuPlum(QPainter& p, const QRectF& r) {
    const QRectF f = hwatuFace(p, r);
    p.save();
    p.setClipRect(f);
    p.fillRect(f, QColor(0xf4, 0xe7, 0xcf));
    QPainterPath branch;
    branch.moveTo(f.left(), f.top() + f.height() * 0.75);
    branch.cubicTo(f.left() + f.width() * 0.4, f.top() + f.height() * 0.7,
                   f.left() + f.width() * 0.5, f.top() + f.height() * 0.3, f.right(),
                   f.top() + f.height() * 0.15);
    p.setPen(QPen(QColor(0x2a, 0x1a, 0x12), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(branch);
    const QPointF blossoms[] = {{0.3, 0.68}, {0.62, 0.42}, {0.82, 0.22}, {0.5, 0.58}};
    for (const QPointF& b : blossoms) {
        const QPointF c(f.left() + f.width() * b.x(), f.top() + f.height() * b.y());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd4, 0x1e, 0x3a));
        for (int i = 0; i < 5; ++i) {
            const qreal a = i * 2 * M_PI / 5;
            p.drawEllipse(c + QPointF(std::cos(a) * 3.6, std::sin(a) * 3.6), 3.0, 3.0);
        }
        p.setBrush(QColor(0xf7, 0xd2, 0x3e));
        p.drawEllipse(c, 1.6, 1.6);
    }
    // The red poem ribbon.
    const QRectF ribbon(f.left() + f.width() * 0.12, f.top() + 4, f.width() * 0.26,
                        f.height() * 0.5);
    p.fillRect(ribbon, QColor(0xc8, 0x1d, 0x25));
    p.setPen(QPen(QColor(0x1a, 0x14, 0x12), 1));
    for (int i = 0; i < 3; ++i) {
        const qreal y = ribbon.top() + 6 + i * 7;
        p.drawLine(QPointF(ribbon.center().x() - 2, y), QPointF(ribbon.center().x() + 2, y + 3));
    }
    p.restore();
}

void hwatuBack(QPainter& p, const QRectF& r) {
    cardBody(p, r, 3, QColor(0xb2, 0x1f, 0x28), QColor(60, 10, 12));
    p.setPen(QPen(QColor(0x7a, 0x10, 0x17), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(5, 5, -5, -5));
}

void dominoPips(QPainter& p, const QRectF& half, int count, const QColor& colour) {
    static const QPointF layouts[7][6] = {
        {},
        {{0.5, 0.5}},
        {{0.3, 0.3}, {0.7, 0.7}},
        {{0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}},
        {{0.3, 0.3}, {0.7, 0.3}, {0.3, 0.7}, {0.7, 0.7}},
        {{0.27, 0.27}, {0.73, 0.27}, {0.5, 0.5}, {0.27, 0.73}, {0.73, 0.73}},
        {{0.3, 0.22}, {0.7, 0.22}, {0.3, 0.5}, {0.7, 0.5}, {0.3, 0.78}, {0.7, 0.78}},
    };
    const qreal radius = half.width() * 0.1;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int i = 0; i < count; ++i) {
        const QPointF& u = layouts[count][i];
        p.drawEllipse(
            QPointF(half.left() + half.width() * u.x(), half.top() + half.height() * u.y()), radius,
            radius);
    }
}

void domino(QPainter& p, const QRectF& r, int top, int bottom) {
    cardBody(p, r, 6, QColor(draw::kIvory), QColor(110, 95, 70));
    const qreal mid = r.center().y();
    p.setPen(QPen(QColor(90, 75, 55), 1.5));
    p.drawLine(QPointF(r.left() + 6, mid), QPointF(r.right() - 6, mid));
    const QRectF upper(r.left() + 3, r.top() + 3, r.width() - 6, mid - r.top() - 5);
    const QRectF lower(r.left() + 3, mid + 2, r.width() - 6, r.bottom() - mid - 5);
    dominoPips(p, upper, top, QColor(draw::kCardRed));
    dominoPips(p, lower, bottom, QColor(draw::kInk));
}

// A mahjong tile standing up: a green back shows below and to the right of the ivory face.
QRectF mahjongTile(QPainter& p, const QRectF& face) {
    draw::dropShadow(p, face.adjusted(0, 0, 3, 4), 5, 3, 60);
    p.setPen(QPen(QColor(0x0b, 0x40, 0x2a), 1));
    p.setBrush(QColor(0x1f, 0x8a, 0x5a));
    p.drawRoundedRect(face.adjusted(0.5, 2.5, 3.5, 4.5), 5, 5);
    p.setPen(QPen(QColor(140, 125, 100), 1));
    QLinearGradient g(face.topLeft(), face.bottomRight());
    g.setColorAt(0, QColor(0xff, 0xfd, 0xf4));
    g.setColorAt(1, QColor(0xe8, 0xe0, 0xc8));
    p.setBrush(g);
    p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    return face.adjusted(5, 5, -5, -5);
}

void circlesTile(QPainter& p, const QRectF& face, int count) {
    const QRectF f = mahjongTile(p, face);
    static const QPointF one[] = {{0.5, 0.5}};
    static const QPointF two[] = {{0.5, 0.25}, {0.5, 0.75}};
    static const QPointF five[] = {{0.25, 0.2}, {0.75, 0.2}, {0.5, 0.5}, {0.25, 0.8}, {0.75, 0.8}};
    const QPointF* spots = count == 1 ? one : count == 2 ? two : five;
    const int n = count == 1 ? 1 : count == 2 ? 2 : 5;
    const qreal radius = count == 1   ? f.width() * 0.42
                         : count == 2 ? f.width() * 0.26
                                      : f.width() * 0.2;
    const QColor colours[] = {QColor(0x1d, 0x5f, 0xb4), QColor(0x2a, 0x8a, 0x3e),
                              QColor(0xc8, 0x28, 0x32)};
    for (int i = 0; i < n; ++i) {
        const QPointF c(f.left() + f.width() * spots[i].x(), f.top() + f.height() * spots[i].y());
        const QColor col = colours[(i + count) % 3];
        p.setPen(QPen(col, std::max<qreal>(1.2, radius * 0.28)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, radius * 0.82, radius * 0.82);
        p.setPen(Qt::NoPen);
        p.setBrush(count == 1 ? QColor(0xc8, 0x28, 0x32) : col);
        p.drawEllipse(c, radius * 0.32, radius * 0.32);
    }
}

void bambooTile(QPainter& p, const QRectF& face, int count) {
    const QRectF f = mahjongTile(p, face);
    const qreal w = f.width() * 0.16;
    auto stick = [&](qreal cx, qreal top, qreal bottom, const QColor& col) {
        p.setPen(Qt::NoPen);
        p.setBrush(col);
        p.drawRoundedRect(QRectF(cx - w / 2, top, w, bottom - top), w / 2, w / 2);
        p.setPen(QPen(col.darker(160), 1.2));
        const qreal mid = (top + bottom) / 2;
        p.drawLine(QPointF(cx - w / 2 - 1, mid), QPointF(cx + w / 2 + 1, mid));
    };
    const QColor green(0x2a, 0x8a, 0x3e);
    if (count == 2) {
        stick(f.center().x(), f.top(), f.center().y() - 2, green);
        stick(f.center().x(), f.center().y() + 2, f.bottom(), QColor(0x1d, 0x5f, 0xb4));
    } else {
        stick(f.center().x(), f.top(), f.center().y() - 2, QColor(0xc8, 0x28, 0x32));
        stick(f.left() + f.width() * 0.22, f.center().y() + 2, f.bottom(), green);
        stick(f.left() + f.width() * 0.78, f.center().y() + 2, f.bottom(), green);
    }
}

void whiteDragonTile(QPainter& p, const QRectF& face) {
    const QRectF f = mahjongTile(p, face).adjusted(1, 2, -1, -2);
    p.setPen(QPen(QColor(0x1d, 0x5f, 0xb4), 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f);
    p.setPen(QPen(QColor(0x1d, 0x5f, 0xb4), 1));
    p.drawRect(f.adjusted(3.5, 3.5, -3.5, -3.5));
}

} // namespace

void poker(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF rect = fanRect(QSizeF(60, 86), 30);
    fan(p, QPointF(box.center().x() + 4, box.bottom() + 10),
        {{-22, [&] { playingCard(p, rect, "A", Suit::Spade); }},
         {-4, [&] { playingCard(p, rect, "K", Suit::Heart); }},
         {14, [&] { playingCard(p, rect, "7", Suit::Diamond); }}});
    // A short stack of chips in front of the fan.
    const QPointF base(box.left() + 22, box.bottom() - 16);
    for (int i = 0; i < 3; ++i) {
        draw::chip(p, base - QPointF(0, i * 5), 15, QColor(0x1d, 0x4f, 0x9c));
    }
    draw::chip(p, base + QPointF(26, 6), 15, QColor(0xb8, 0x22, 0x2c));
    p.restore();
}

void matgo(QPainter& p, const QRectF& box) {
    const QRectF rect = fanRect(QSizeF(56, 86), 34);
    fan(p, QPointF(box.center().x(), box.bottom() + 18),
        {{-24, [&] { hwatuBack(p, rect); }},
         {-3, [&] { hwatuPlum(p, rect); }},
         {18, [&] { hwatuMoon(p, rect); }}});
}

void hongsip(QPainter& p, const QRectF& box) {
    const QRectF rect = fanRect(QSizeF(46, 92), 22);
    fan(p, QPointF(box.center().x(), box.bottom() + 14),
        {{-22, [&] { domino(p, rect, 4, 6); }},
         {0, [&] { domino(p, rect, 1, 3); }},
         {22, [&] { domino(p, rect, 5, 5); }}});
}

void majong(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = 38;
    const qreal h = 52;
    const qreal gap = 4;
    const qreal rowWidth = 3 * w + 2 * gap;
    const qreal left = box.center().x() - rowWidth / 2 - 1;
    const qreal top = box.top() + 8;
    circlesTile(p, QRectF(left + (w + gap) / 2, top, w, h), 1);
    bambooTile(p, QRectF(left + (w + gap) * 1.5, top, w, h), 2);
    const qreal lower = top + h + 10;
    circlesTile(p, QRectF(left, lower, w, h), 5);
    whiteDragonTile(p, QRectF(left + w + gap, lower, w, h));
    bambooTile(p, QRectF(left + 2 * (w + gap), lower, w, h), 3);
    p.restore();
}

} // namespace emblem
