#pragma once

#include <QImage>
#include <QMap>
#include <QString>

#include "Drawing.h"

// Draws every picture of the launcher's resource folder and its window icon, and writes them
// out. Runs on the main thread of the generator; pictures are plain values.
class PictureSet {
public:
    // Every picture, keyed by its entry name in the resource archive ("main/base.png", ...).
    QMap<QString, QImage> pictures() const;
    QImage icon(int size) const;
    // Writes OUTDIR/res/<entry name> for every picture and OUTDIR/icon.ico.
    bool write(const QString& outDir, QString& error) const;

private:
    QImage base() const;
    QImage topBar() const;
    QImage bottomBar() const;
    QImage tab(bool on) const;
    QImage divider() const;
    QImage titleButton(bool close) const;
    QImage refreshButton(draw::Face face) const;
    QImage plainButton(int width, int height, const QColor& colour, draw::Face face) const;
    QImage gameButton(int game, draw::Face face) const;
    QImage loginBase() const;
    QImage checkBox(bool ticked) const;
    QImage installBase() const;
};
