#pragma once

#include <QRectF>

class QPainter;

// The pictures that tell the four games apart on their buttons. Each draws into a square-ish
// box of about 130 pixels.
namespace emblem {

void poker(QPainter& p, const QRectF& box);
void matgo(QPainter& p, const QRectF& box);
void hongsip(QPainter& p, const QRectF& box);
void majong(QPainter& p, const QRectF& box);

} // namespace emblem
