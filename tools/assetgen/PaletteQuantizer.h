#pragma once

#include <QImage>
#include <QVector>

// Reduces a picture to at most 256 colours (alpha included) for an 8-bit indexed PNG, which is
// a third to a fifth the size of the true-colour file for flat, gradient-shaded art. The palette
// comes from a variance-driven median cut refined by a few rounds of k-means; no dithering, so
// the files stay compressible. Used on the generator's main thread only.
class PaletteQuantizer {
public:
    explicit PaletteQuantizer(int maxColours = 256);

    // `image` in any format; the result is Format_Indexed8, or the input unchanged when it is null.
    QImage quantize(const QImage& image) const;

private:
    int maxColours;
};
