#include "PaletteQuantizer.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include <QHash>

namespace {

using Vec = std::array<double, 4>;

struct Colour {
    QRgb rgba;
    Vec v;
    double count;
};

// Channel weights: the eye is most sensitive to green and least to blue; alpha errors show as
// ragged edges, so they weigh like green.
constexpr Vec kWeights = {0.30, 0.59, 0.11, 0.59};

Vec toVec(QRgb c) {
    return {double(qRed(c)), double(qGreen(c)), double(qBlue(c)), double(qAlpha(c))};
}

double distance(const Vec& a, const Vec& b) {
    double d = 0;
    for (int k = 0; k < 4; ++k) {
        d += kWeights[k] * (a[k] - b[k]) * (a[k] - b[k]);
    }
    return d;
}

struct Box {
    int begin;
    int end;
    Vec mean;
    double error; // weighted sum of squared distances to the mean
    int axis;     // channel of largest weighted variance
};

Box makeBox(const std::vector<Colour>& colours, int begin, int end) {
    Box box{begin, end, {0, 0, 0, 0}, 0, 0};
    double total = 0;
    for (int i = begin; i < end; ++i) {
        for (int k = 0; k < 4; ++k) {
            box.mean[k] += colours[i].v[k] * colours[i].count;
        }
        total += colours[i].count;
    }
    for (double& m : box.mean) {
        m /= total;
    }
    Vec spread = {0, 0, 0, 0};
    for (int i = begin; i < end; ++i) {
        for (int k = 0; k < 4; ++k) {
            const double d = colours[i].v[k] - box.mean[k];
            spread[k] += kWeights[k] * d * d * colours[i].count;
        }
    }
    for (int k = 0; k < 4; ++k) {
        box.error += spread[k];
        if (spread[k] > spread[box.axis]) {
            box.axis = k;
        }
    }
    return box;
}

int nearest(const std::vector<Vec>& palette, const Vec& v) {
    double best = std::numeric_limits<double>::max();
    int chosen = 0;
    for (size_t j = 0; j < palette.size(); ++j) {
        const double d = distance(v, palette[j]);
        if (d < best) {
            best = d;
            chosen = int(j);
        }
    }
    return chosen;
}

QRgb toRgba(const Vec& v) {
    auto c = [](double x) { return std::clamp(int(x + 0.5), 0, 255); };
    return qRgba(c(v[0]), c(v[1]), c(v[2]), c(v[3]));
}

} // namespace

PaletteQuantizer::PaletteQuantizer(int colours) : maxColours(std::clamp(colours, 2, 256)) {}

QImage PaletteQuantizer::quantize(const QImage& image) const {
    if (image.isNull()) {
        return image;
    }
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);

    // All fully transparent pixels are one colour, whatever their RGB.
    QHash<QRgb, int> counts;
    for (int y = 0; y < src.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            ++counts[qAlpha(line[x]) == 0 ? 0u : line[x]];
        }
    }
    // Fully transparent pixels get an entry of their own, so that clustering cannot give them
    // the colour of a half-transparent edge.
    const bool hasClear = counts.contains(0u);
    counts.remove(0u);
    const int budget = maxColours - (hasClear ? 1 : 0);
    std::vector<Colour> colours;
    colours.reserve(counts.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        colours.push_back({it.key(), toVec(it.key()), double(it.value())});
    }
    // QHash order changes from run to run; a fixed order keeps the output files reproducible.
    std::sort(colours.begin(), colours.end(),
              [](const Colour& a, const Colour& b) { return a.rgba < b.rgba; });

    std::vector<Vec> palette;
    if (int(colours.size()) <= budget) {
        for (const Colour& c : colours) {
            palette.push_back(c.v);
        }
    } else {
        // Half the palette holds the most frequent colours exactly: large gradient-shaded areas
        // consist of them, and merging neighbouring shades there shows as bands.
        std::sort(colours.begin(), colours.end(), [](const Colour& a, const Colour& b) {
            return a.count != b.count ? a.count > b.count : a.rgba < b.rgba;
        });
        const int pinned = budget / 2;
        for (int i = 0; i < pinned; ++i) {
            palette.push_back(colours[i].v);
        }

        // The rest come from a median cut over the remaining colours, always splitting the box
        // that carries the largest error, so that small but distinct details keep their hue.
        std::vector<Box> boxes{makeBox(colours, pinned, int(colours.size()))};
        while (int(boxes.size()) < budget - pinned) {
            auto worst =
                std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
                    return (a.end - a.begin < 2 ? -1 : a.error) <
                           (b.end - b.begin < 2 ? -1 : b.error);
                });
            if (worst->end - worst->begin < 2 || worst->error <= 0) {
                break;
            }
            const Box box = *worst;
            std::sort(colours.begin() + box.begin, colours.begin() + box.end,
                      [axis = box.axis](const Colour& a, const Colour& b) {
                          return a.v[axis] != b.v[axis] ? a.v[axis] < b.v[axis] : a.rgba < b.rgba;
                      });
            double total = 0;
            for (int i = box.begin; i < box.end; ++i) {
                total += colours[i].count;
            }
            double seen = 0;
            int split = box.begin + 1;
            for (int i = box.begin; i < box.end - 1; ++i) {
                seen += colours[i].count;
                if (seen * 2 >= total) {
                    split = i + 1;
                    break;
                }
            }
            *worst = makeBox(colours, box.begin, split);
            boxes.push_back(makeBox(colours, split, box.end));
        }
        for (const Box& box : boxes) {
            palette.push_back(box.mean);
        }

        // A few rounds of k-means move the free entries to the centres of what they stand for;
        // the pinned ones stay exact.
        for (int round = 0; round < 6; ++round) {
            std::vector<Vec> sums(palette.size(), Vec{0, 0, 0, 0});
            std::vector<double> weights(palette.size(), 0);
            for (const Colour& c : colours) {
                const int j = nearest(palette, c.v);
                for (int k = 0; k < 4; ++k) {
                    sums[j][k] += c.v[k] * c.count;
                }
                weights[j] += c.count;
            }
            for (size_t j = pinned; j < palette.size(); ++j) {
                if (weights[j] > 0) {
                    for (int k = 0; k < 4; ++k) {
                        palette[j][k] = sums[j][k] / weights[j];
                    }
                }
            }
        }
    }

    QVector<QRgb> table;
    for (const Vec& v : palette) {
        table.push_back(toRgba(v));
    }
    QHash<QRgb, uchar> index;
    if (hasClear) {
        index.insert(0u, uchar(table.size()));
        table.push_back(0u);
    }
    for (const Colour& c : colours) {
        index.insert(c.rgba, uchar(nearest(palette, c.v)));
    }

    QImage out(src.size(), QImage::Format_Indexed8);
    out.setColorTable(table);
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* line = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x) {
            line[x] = index.value(qAlpha(in[x]) == 0 ? 0u : in[x]);
        }
    }
    return out;
}
