#pragma once

#include <functional>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// Drawing helpers shared by every picture of the launcher, so that all of them keep one look:
// green baize, dark walnut bars and brass trim.
namespace draw {

// The house colours.
constexpr QRgb kFeltLight = 0xff1b7f4c;
constexpr QRgb kFelt = 0xff12623a;
constexpr QRgb kFeltDark = 0xff083a22;
constexpr QRgb kWoodLight = 0xff3e2c1f;
constexpr QRgb kWood = 0xff2a1e15;
constexpr QRgb kWoodDark = 0xff17100b;
constexpr QRgb kBrass = 0xffd4ae57;
constexpr QRgb kBrassLight = 0xfff2dc96;
constexpr QRgb kBrassDark = 0xff8e6a25;
constexpr QRgb kIvory = 0xfffbf6e8;
constexpr QRgb kCardRed = 0xffc62832;
constexpr QRgb kInk = 0xff1c1c1c;

// Look of a picture button in one of its three states.
enum class Face { Normal, Pressed, Hover };

enum class Suit { Spade, Heart, Diamond, Club };

// Families used for the text drawn into the pictures; empty means the default font.
void setFontFamilies(const QString& regular, const QString& bold);
QFont font(qreal pixelSize, bool bold = false);

// A transparent ARGB canvas of the given size.
QImage canvas(int width, int height);
QColor mix(const QColor& a, const QColor& b, qreal t);
QColor withAlpha(const QColor& c, int alpha);

QPainterPath rounded(const QRectF& r, qreal radius);
void fillVertical(QPainter& p, const QPainterPath& path, const QColor& top, const QColor& bottom);

// Fills `area` with colours on the line from `near` (t = 0) to `far` (t = 1), where
// t = tx(x) + ty(y), clamped to [0, 1]; x and y are relative to `area`.
void separableShade(QPainter& p, const QRect& area, const QColor& near, const QColor& far,
                    const std::function<qreal(int)>& tx, const std::function<qreal(int)>& ty);
// Green baize lit from `centre`, darkening towards the edges of `area`; `depth` below 1 keeps
// small pieces from running through the whole range of shades.
void felt(QPainter& p, const QRectF& area, const QPointF& centre, qreal depth = 1);
// Dark walnut strip with a faint grain.
void wood(QPainter& p, const QRectF& area);
// A brass rule with a highlight, `width` pixels wide, drawn inside `r`.
void brassFrame(QPainter& p, const QRectF& r, qreal radius, qreal width);
// A soft dark shadow around a rounded rectangle, for things that lie on the baize.
void dropShadow(QPainter& p, const QRectF& r, qreal radius, int spread, int strength);
// A recessed area (darker, shaded at the top), e.g. behind an input field.
void inset(QPainter& p, const QRectF& r, qreal radius, const QColor& fill);

// A button face: rounded, brass-rimmed, lit from above; darker and sunken when pressed,
// brighter with a brass glow under the pointer. `base` is the face colour at rest.
void buttonFace(QPainter& p, const QRectF& r, qreal radius, const QColor& base, Face face);

QPainterPath suitPath(Suit suit, const QRectF& box);
QColor suitColour(Suit suit);
// A casino chip seen from above.
void chip(QPainter& p, const QPointF& centre, qreal radius, const QColor& colour);
// The product mark: a brass chip carrying a spade.
void logo(QPainter& p, const QRectF& box);

// Text with a one-pixel dark shadow beneath it, for legibility on patterned ground.
void shadowText(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& f,
                const QColor& colour, int shadowAlpha = 160);

} // namespace draw
