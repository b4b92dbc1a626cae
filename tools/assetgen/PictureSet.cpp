#include "PictureSet.h"

#include <cmath>

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include "Emblems.h"
#include "PaletteQuantizer.h"

using draw::Face;

namespace {

// A picture being drawn: a transparent canvas with a painter on it.
struct Picture {
    Picture(int width, int height, QPainter::RenderHints hints = {})
        : image(draw::canvas(width, height)), painter(&image) {
        painter.setRenderHints(hints);
    }
    QImage done() {
        painter.end();
        return image;
    }

    QImage image;
    QPainter painter;
};

constexpr QRgb kExitRed = 0xff8e2a2a;
constexpr QRgb kChargeAmber = 0xffb0601a;
constexpr QRgb kGoGreen = 0xff23864f;
constexpr QRgb kSlate = 0xff34546f;

struct GameLook {
    const char* file;
    const char* name;
    const char* tagline;
    QRgb colour;
    void (*emblem)(QPainter&, const QRectF&);
};

const GameLook games[] = {
    {"7poker", "Poker", "Seven Card Stud", 0xff1f3a6b, emblem::poker},
    {"gos", "Matgo", "Flower Cards", 0xff7a1f24, emblem::matgo},
    {"hongs", "Hongsip", "Tiles & Cards", 0xff4e2f6e, emblem::hongsip},
    {"majong", "Majong", "Mahjong Tiles", 0xff0f5f5c, emblem::majong},
};

const QPointF gameSlots[] = {{43, 39}, {362, 39}, {681, 39}, {43, 225}};

const char* faceSuffix(Face face, const char* pushed, const char* hover) {
    switch (face) {
    case Face::Pressed:
        return pushed;
    case Face::Hover:
        return hover;
    case Face::Normal:
        break;
    }
    return "";
}

void personIcon(QPainter& p, const QRectF& r, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal head = r.width() * 0.3;
    p.drawEllipse(QPointF(r.center().x(), r.top() + head), head, head);
    QPainterPath body;
    body.moveTo(r.left(), r.bottom());
    body.cubicTo(r.left(), r.top() + r.height() * 0.55, r.right(), r.top() + r.height() * 0.55,
                 r.right(), r.bottom());
    body.closeSubpath();
    p.drawPath(body);
    p.restore();
}

void megaphoneIcon(QPainter& p, const QRectF& r, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath horn;
    horn.moveTo(r.left() + r.width() * 0.1, r.top() + r.height() * 0.38);
    horn.lineTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.38);
    horn.lineTo(r.left() + r.width() * 0.7, r.top() + r.height() * 0.12);
    horn.lineTo(r.left() + r.width() * 0.7, r.top() + r.height() * 0.88);
    horn.lineTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.62);
    horn.lineTo(r.left() + r.width() * 0.1, r.top() + r.height() * 0.62);
    horn.closeSubpath();
    p.drawPath(horn);
    p.drawRect(QRectF(r.left() + r.width() * 0.22, r.top() + r.height() * 0.6, r.width() * 0.12,
                      r.height() * 0.3));
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF c(r.left() + r.width() * 0.72, r.center().y());
    for (int i = 1; i <= 2; ++i) {
        const qreal rad = r.width() * 0.12 * i;
        p.drawArc(QRectF(c.x() - rad, c.y() - rad, 2 * rad, 2 * rad), -45 * 16, 90 * 16);
    }
    p.restore();
}

void downloadIcon(QPainter& p, const QRectF& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(r.center() - QPointF(r.width() * 0.2, r.height() * 0.25), r.width());
    g.setColorAt(0, QColor(draw::kBrassLight));
    g.setColorAt(1, QColor(draw::kBrassDark));
    p.setPen(QPen(QColor(draw::kWoodDark), 1));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    const QPointF c = r.center();
    const qreal s = r.width() / 34.0;
    QPainterPath arrow;
    arrow.moveTo(c + QPointF(-3.5 * s, -10 * s));
    arrow.lineTo(c + QPointF(3.5 * s, -10 * s));
    arrow.lineTo(c + QPointF(3.5 * s, 0));
    arrow.lineTo(c + QPointF(9 * s, 0));
    arrow.lineTo(c + QPointF(0, 9 * s));
    arrow.lineTo(c + QPointF(-9 * s, 0));
    arrow.lineTo(c + QPointF(-3.5 * s, 0));
    arrow.closeSubpath();
    p.fillPath(arrow, QColor(draw::kWood));
    p.fillRect(QRectF(c.x() - 9 * s, c.y() + 11 * s, 18 * s, 2.5 * s), QColor(draw::kWood));
    p.restore();
}

void brassRule(QPainter& p, qreal x1, qreal x2, qreal y) {
    QLinearGradient g(QPointF(x1, y), QPointF(x2, y));
    g.setColorAt(0, draw::withAlpha(QColor(draw::kBrass), 0));
    g.setColorAt(0.5, QColor(draw::kBrass));
    g.setColorAt(1, draw::withAlpha(QColor(draw::kBrass), 0));
    p.fillRect(QRectF(x1, y, x2 - x1, 1), g);
}

// A walnut bar set off by a brass line across it at `edge` with a dark line under that.
void woodBar(QPainter& p, const QRectF& r, qreal edge, const QColor& brass, int shadowAlpha) {
    draw::wood(p, r);
    p.fillRect(QRectF(r.left(), edge, r.width(), 1), brass);
    p.fillRect(QRectF(r.left(), edge + 1, r.width(), 1), QColor(0, 0, 0, shadowAlpha));
}

// A walnut board with rounded corners in a brass frame.
void woodPanel(QPainter& p, const QRectF& r, qreal radius) {
    p.save();
    p.setClipPath(draw::rounded(r, radius));
    draw::wood(p, r);
    p.restore();
    draw::brassFrame(p, r, radius, 2);
}

// A piece of baize set into a board: shaded under its upper edge, edged in dark brass.
void clothPanel(QPainter& p, const QRectF& cloth, qreal radius, const QPointF& light) {
    p.save();
    p.setClipPath(draw::rounded(cloth, radius));
    draw::felt(p, cloth, light, 0.45);
    QLinearGradient shade(cloth.topLeft(), cloth.topLeft() + QPointF(0, 8));
    shade.setColorAt(0, QColor(0, 0, 0, 110));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(cloth, shade);
    p.restore();
    p.setPen(QPen(QColor(draw::kBrassDark), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(draw::rounded(cloth.adjusted(0.5, 0.5, -0.5, -0.5), radius));
}

const draw::Suit suits[] = {draw::Suit::Spade, draw::Suit::Heart, draw::Suit::Diamond,
                            draw::Suit::Club};

} // namespace

QMap<QString, QImage> PictureSet::pictures() const {
    QMap<QString, QImage> all;
    all.insert("main/base.png", base());
    all.insert("main/up.png", topBar());
    all.insert("main/down.png", bottomBar());
    all.insert("main/menu.png", tab(false));
    all.insert("main/menupush.png", tab(true));
    all.insert("main/divide.png", divider());
    all.insert("main/min.png", titleButton(false));
    all.insert("main/exitsmall.png", titleButton(true));

    for (Face face : {Face::Normal, Face::Pressed, Face::Hover}) {
        for (int g = 0; g < 4; ++g) {
            all.insert(
                QString("main/%1%2.png").arg(games[g].file, faceSuffix(face, "_push", "_roll")),
                gameButton(g, face));
        }
        const QString joined = faceSuffix(face, "push", "roll");
        const QString refresh = face == Face::Pressed ? "_push" : joined;
        all.insert("main/refresh" + refresh + ".png", refreshButton(face));
        all.insert("main/exit" + joined + ".png", plainButton(74, 34, QColor(kExitRed), face));
        all.insert("main/charge" + joined + ".png",
                   plainButton(222, 34, QColor(kChargeAmber), face));

        const QString login = faceSuffix(face, "_push", "_roll");
        all.insert("login/login" + login + ".png", plainButton(139, 73, QColor(kGoGreen), face));
        all.insert("login/join" + login + ".png", plainButton(139, 34, QColor(kSlate), face));
    }

    all.insert("login/logbase.png", loginBase());
    all.insert("login/check.png", checkBox(false));
    all.insert("login/checkin.png", checkBox(true));
    all.insert("install/instbase.png", installBase());
    return all;
}

bool PictureSet::write(const QString& outDir, QString& error) const {
    const QDir root(outDir);
    const QMap<QString, QImage> all = pictures();
    const PaletteQuantizer quantizer;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const QString path = root.filePath("res/" + it.key());
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            error = "cannot create the folder of " + path;
            return false;
        }
        QImageWriter writer(path, "png");
        // Qt's PNG writer takes 0..100 here; 100 is zlib's strongest level.
        writer.setCompression(100);
        if (!writer.write(quantizer.quantize(it.value()))) {
            error = path + ": " + writer.errorString();
            return false;
        }
    }

    QImageWriter icoWriter(root.filePath("icon.ico"), "ico");
    if (!icoWriter.write(icon(64))) {
        error = root.filePath("icon.ico") + ": " + icoWriter.errorString();
        return false;
    }
    return true;
}

QImage PictureSet::icon(int size) const {
    Picture pic(size, size);
    QPainter& p = pic.painter;
    draw::logo(p, QRectF(0, 0, size, size));
    return pic.done().convertToFormat(QImage::Format_ARGB32);
}

QImage PictureSet::base() const {
    Picture pic(1024, 611, QPainter::Antialiasing | QPainter::TextAntialiasing);
    QPainter& p = pic.painter;
    draw::felt(p, QRectF(0, 0, 1024, 611), QPointF(512, 260));

    draw::shadowText(p, QRectF(46, 6, 400, 28), Qt::AlignLeft | Qt::AlignVCenter,
                     "CHOOSE YOUR TABLE", draw::font(15, true), QColor(draw::kBrassLight));
    brassRule(p, 230, 979, 20);

    // The buttons are drawn by the program; here they only cast a shadow on the cloth.
    for (const QPointF& slot : gameSlots) {
        draw::dropShadow(p, QRectF(slot, QSizeF(298, 162)), 14, 7, 105);
    }

    // Welcome banner in the free cell of the second row.
    const QRectF banner(362, 225, 617, 162);
    draw::dropShadow(p, banner, 14, 7, 105);
    woodPanel(p, banner, 14);
    p.setPen(QPen(draw::withAlpha(QColor(draw::kBrass), 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(draw::rounded(banner.adjusted(7.5, 7.5, -7.5, -7.5), 9));

    draw::logo(p, QRectF(386, 247, 118, 118));
    draw::shadowText(p, QRectF(528, 246, 330, 40), Qt::AlignLeft | Qt::AlignVCenter,
                     "Welcome to the table", draw::font(29, true), QColor(draw::kIvory));
    p.fillRect(QRectF(530, 292, 300, 1), QColor(draw::kBrass));
    draw::shadowText(p, QRectF(528, 300, 340, 26), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8("Poker \u00b7 Matgo \u00b7 Hongsip \u00b7 Majong"),
                     draw::font(17, true), QColor(draw::kBrassLight));
    draw::shadowText(p, QRectF(528, 328, 340, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     "Pick a game to play. Updates install by themselves.", draw::font(13),
                     draw::withAlpha(QColor(draw::kIvory), 210));

    // Chip stacks at the banner's right end.
    const QColor chipColours[] = {QColor(0xb8, 0x22, 0x2c), QColor(0x1d, 0x4f, 0x9c),
                                  QColor(0x1f, 0x1f, 0x22)};
    const int heights[] = {5, 3, 4};
    for (int s = 0; s < 3; ++s) {
        const QPointF foot(892 + s * 33, 352 - (s == 1 ? 18 : 0));
        for (int i = 0; i < heights[s]; ++i) {
            draw::chip(p, foot - QPointF(0, i * 6), 17, chipColours[s]);
        }
    }

    // The printed lines of a card table on the empty cloth below.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(draw::withAlpha(QColor(draw::kBrass), 120), 2));
    p.drawEllipse(QPointF(512, 240), 610, 330);
    p.setPen(QPen(draw::withAlpha(QColor(draw::kBrass), 70), 1));
    p.drawEllipse(QPointF(512, 240), 596, 316);

    for (int i = 0; i < 4; ++i) {
        const QRectF box(512 - 2 * 40 + i * 40 + 8, 462, 24, 24);
        p.fillPath(draw::suitPath(suits[i], box.translated(1, 1)), QColor(0, 0, 0, 70));
        p.fillPath(draw::suitPath(suits[i], box), draw::withAlpha(QColor(draw::kBrass), 200));
    }
    QFont mark = draw::font(13, true);
    mark.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    draw::shadowText(p, QRectF(312, 494, 400, 20), Qt::AlignCenter, "PLAY FAIR  \u00b7  HAVE FUN",
                     mark, draw::withAlpha(QColor(draw::kBrassLight), 150), 90);
    brassRule(p, 362, 662, 522);
    return pic.done();
}

QImage PictureSet::topBar() const {
    Picture pic(1024, 79, QPainter::Antialiasing);
    QPainter& p = pic.painter;
    woodBar(p, QRectF(0, 0, 1024, 37), 35, QColor(draw::kBrassDark), 150);
    // The tabs cover the lower strip; this only shows through their gaps.
    draw::fillVertical(p, draw::rounded(QRectF(0, 37, 1024, 42), 0), QColor(draw::kWood),
                       QColor(draw::kWoodDark));

    draw::logo(p, QRectF(9, 3, 30, 30));
    draw::shadowText(p, QRectF(48, 0, 400, 36), Qt::AlignLeft | Qt::AlignVCenter,
                     "Board Game Launcher", draw::font(18, true), QColor(draw::kIvory), 200);
    brassRule(p, 250, 700, 18);

    draw::inset(p, QRectF(955, 3, 63, 31), 7, QColor(0, 0, 0, 70));
    return pic.done();
}

QImage PictureSet::bottomBar() const {
    Picture pic(1024, 78, QPainter::Antialiasing);
    QPainter& p = pic.painter;
    woodBar(p, QRectF(0, 0, 1024, 78), 0, QColor(draw::kBrass), 140);

    megaphoneIcon(p, QRectF(12, 10, 26, 24), QColor(draw::kBrass));

    // The ticker paints its own box at (123, 7); this frames it.
    draw::inset(p, QRectF(119, 3, 870, 33), 6, QColor(0, 0, 0, 90));
    p.setPen(QPen(QColor(draw::kBrassDark), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(121.5, 5.5, 863, 28));

    personIcon(p, QRectF(102, 48, 16, 18), QColor(draw::kBrass));
    draw::chip(p, QPointF(386, 57), 9, QColor(draw::kBrass).darker(115));

    draw::inset(p, QRectF(633, 37, 364, 40), 8, QColor(0, 0, 0, 60));
    return pic.done();
}

QImage PictureSet::tab(bool on) const {
    Picture pic(256, 42);
    QPainter& p = pic.painter;
    const QRectF r(0, 0, 256, 42);
    if (on) {
        // The current tab runs into the baize of the page below it.
        draw::fillVertical(p, draw::rounded(r, 0), QColor(draw::kFeltLight).lighter(115),
                           QColor(draw::kFeltLight).darker(104));
        QLinearGradient bar(QPointF(0, 0), QPointF(0, 3));
        bar.setColorAt(0, QColor(draw::kBrassLight));
        bar.setColorAt(1, QColor(draw::kBrass));
        p.fillRect(QRectF(0, 0, 256, 3), bar);
        QLinearGradient sheen(QPointF(0, 3), QPointF(0, 22));
        sheen.setColorAt(0, QColor(255, 255, 255, 40));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(0, 3, 256, 19), sheen);
    } else {
        draw::fillVertical(p, draw::rounded(r, 0), QColor(0x3a, 0x2a, 0x1e),
                           QColor(0x1b, 0x13, 0x0d));
        p.fillRect(QRectF(0, 0, 256, 1), QColor(255, 235, 200, 28));
        p.fillRect(QRectF(0, 41, 256, 1), QColor(draw::kBrassDark));
    }
    return pic.done();
}

QImage PictureSet::divider() const {
    QImage img = draw::canvas(2, 26);
    for (int y = 0; y < 26; ++y) {
        // Fade out at both ends so the groove does not end abruptly.
        const qreal fade = std::sin(M_PI * (y + 0.5) / 26.0);
        img.setPixelColor(0, y, QColor(0, 0, 0, int(170 * fade)));
        img.setPixelColor(1, y, QColor(0xf2, 0xdc, 0x96, int(90 * fade)));
    }
    return img;
}

QImage PictureSet::titleButton(bool close) const {
    Picture pic(24, 25, QPainter::Antialiasing);
    QPainter& p = pic.painter;
    const QColor face = close ? QColor(kExitRed) : QColor(draw::kWoodLight).lighter(130);
    draw::buttonFace(p, QRectF(0, 0, 24, 25), 5, face, Face::Normal);
    p.setPen(QPen(QColor(draw::kIvory), 2, Qt::SolidLine, Qt::RoundCap));
    if (close) {
        p.drawLine(QPointF(8, 8.5), QPointF(16, 16.5));
        p.drawLine(QPointF(16, 8.5), QPointF(8, 16.5));
    } else {
        p.drawLine(QPointF(7.5, 16), QPointF(16.5, 16));
    }
    return pic.done();
}

QImage PictureSet::refreshButton(Face face) const {
    Picture pic(34, 34, QPainter::Antialiasing);
    QPainter& p = pic.painter;
    draw::buttonFace(p, QRectF(0, 0, 34, 34), 17, QColor(kGoGreen), face);
    const QPointF shift = face == Face::Pressed ? QPointF(0.8, 0.8) : QPointF();
    const QPointF c = QPointF(17, 17) + shift;
    const qreal r = 8.5;
    const QColor ink = face == Face::Hover ? QColor(Qt::white) : QColor(draw::kIvory);
    p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    // An open ring, clockwise from the upper right, with the arrow head at its end.
    const qreal startDeg = 60;
    const qreal spanDeg = 285;
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), int(startDeg * 16), int(spanDeg * 16));
    const qreal endRad = (startDeg + spanDeg) * M_PI / 180.0;
    const QPointF tip(c.x() + r * std::cos(endRad), c.y() - r * std::sin(endRad));
    // Tangent direction of travel (counter-clockwise in screen terms).
    const QPointF dir(-std::sin(endRad), -std::cos(endRad));
    const QPointF normal(std::cos(endRad), -std::sin(endRad));
    QPainterPath head;
    head.moveTo(tip + dir * 5.0);
    head.lineTo(tip + normal * 4.5);
    head.lineTo(tip - normal * 4.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.fillPath(head, ink);
    return pic.done();
}

QImage PictureSet::plainButton(int width, int height, const QColor& colour, Face face) const {
    Picture pic(width, height);
    QPainter& p = pic.painter;
    draw::buttonFace(p, QRectF(0, 0, width, height), height > 50 ? 11 : 8, colour, face);
    return pic.done();
}

QImage PictureSet::gameButton(int game, Face face) const {
    const GameLook& look = games[game];
    Picture pic(298, 162, QPainter::Antialiasing | QPainter::TextAntialiasing);
    QPainter& p = pic.painter;

    const QRectF r(0, 0, 298, 162);
    const QColor colour(look.colour);
    QColor top = colour.lighter(145);
    QColor bottom = colour.darker(135);
    if (face == Face::Hover) {
        top = colour.lighter(185);
        bottom = colour.lighter(110);
    } else if (face == Face::Pressed) {
        top = colour.darker(175);
        bottom = colour.darker(125);
    }
    const QPainterPath outer = draw::rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), 14);
    p.setPen(QPen(QColor(10, 6, 3, 220), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outer);
    const QRectF bodyRect = r.adjusted(1, 1, -1, -1);
    const QPainterPath body = draw::rounded(bodyRect, 13);

    p.save();
    p.setClipPath(body);
    // Lit from above; a pressed button is darker at the top, where the rim shades it.
    const bool pressed = face == Face::Pressed;
    draw::fillVertical(p, body, top, bottom);
    if (pressed) {
        QLinearGradient shade(QPointF(0, 1), QPointF(0, 12));
        shade.setColorAt(0, QColor(0, 0, 0, 150));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(bodyRect, shade);
    }
    p.restore();

    // Pressed buttons move their content down and right, as if pushed into the table.
    if (face == Face::Pressed) {
        p.translate(2, 2);
    }
    look.emblem(p, QRectF(14, 14, 134, 134));

    draw::shadowText(p, QRectF(148, 20, 142, 42), Qt::AlignCenter, look.name, draw::font(31, true),
                     QColor(Qt::white), 190);
    p.fillRect(QRectF(168, 64, 102, 1), QColor(draw::kBrass));
    draw::shadowText(p, QRectF(148, 70, 142, 22), Qt::AlignCenter, look.tagline,
                     draw::font(14, true), QColor(draw::kBrassLight), 170);
    if (face == Face::Pressed) {
        p.translate(-2, -2);
    }

    // Plate for the white player count the program writes right-aligned into (198, 132, 90, 30);
    // the figure with its green light says what the number counts.
    draw::inset(p, QRectF(174, 129, 117, 30), 8, QColor(0, 0, 0, 105));
    personIcon(p, QRectF(181, 134, 15, 19), draw::withAlpha(QColor(draw::kBrassLight), 220));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(QColor(0x4c, 0xe0, 0x6a));
    p.drawEllipse(QPointF(195, 151), 3.5, 3.5);

    if (face == Face::Hover) {
        p.save();
        p.setClipPath(body);
        p.setPen(QPen(draw::withAlpha(QColor(draw::kBrassLight), 110), 8));
        p.setBrush(Qt::NoBrush);
        p.drawPath(body);
        p.restore();
        draw::brassFrame(p, r.adjusted(1, 1, -1, -1), 13, 3);
    } else {
        p.setPen(QPen(face == Face::Pressed ? QColor(draw::kBrassDark).darker(130)
                                            : QColor(draw::kBrass),
                      1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(draw::rounded(r.adjusted(1.75, 1.75, -1.75, -1.75), 12.5));
    }
    return pic.done();
}

QImage PictureSet::loginBase() const {
    Picture pic(569, 220, QPainter::Antialiasing | QPainter::TextAntialiasing);
    QPainter& p = pic.painter;
    const QRectF r(0, 0, 569, 220);
    draw::wood(p, r);
    draw::brassFrame(p, r.adjusted(3, 3, -3, -3), 8, 2);

    draw::logo(p, QRectF(20, 11, 38, 38));
    draw::shadowText(p, QRectF(68, 10, 300, 40), Qt::AlignLeft | Qt::AlignVCenter,
                     "Sign in to play", draw::font(21, true), QColor(draw::kIvory), 200);
    draw::shadowText(p, QRectF(300, 10, 246, 40), Qt::AlignRight | Qt::AlignVCenter,
                     "Board Game Launcher", draw::font(13, true), QColor(draw::kBrassLight), 170);

    // The form lies on a piece of baize; the buttons sit on the wood to its right.
    clothPanel(p, QRectF(18, 57, 372, 147), 10, QPointF(200, 110));

    for (qreal y : {73.0, 117.0}) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawRoundedRect(QRectF(38, y, 95, 25), 6, 6);
    }
    for (qreal y : {70.0, 115.0}) {
        p.setPen(QPen(QColor(draw::kBrass), 1));
        p.setBrush(QColor(draw::kIvory));
        p.drawRoundedRect(QRectF(147.5, y - 2.5, 235, 35), 4, 4);
    }

    p.setPen(QPen(draw::withAlpha(QColor(draw::kBrass), 110), 1));
    p.drawLine(QPointF(397.5, 66), QPointF(397.5, 195));
    return pic.done();
}

QImage PictureSet::checkBox(bool ticked) const {
    Picture pic(40, 32, QPainter::Antialiasing);
    QPainter& p = pic.painter;
    const QRectF box(9, 5, 22, 22);
    draw::inset(p, box, 4, QColor(0x0a, 0x1f, 0x14, 230));
    p.setPen(QPen(QColor(draw::kBrass), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75), 4, 4);
    if (ticked) {
        QPainterPath tick;
        tick.moveTo(13.5, 15.5);
        tick.lineTo(18.5, 21.5);
        tick.lineTo(30.5, 4.5);
        p.setPen(QPen(QColor(0, 0, 0, 150), 5.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick.translated(0.5, 1));
        p.setPen(QPen(QColor(draw::kBrassLight), 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
    }
    return pic.done();
}

QImage PictureSet::installBase() const {
    Picture pic(392, 192, QPainter::Antialiasing | QPainter::TextAntialiasing);
    QPainter& p = pic.painter;
    const QRectF r(0, 0, 392, 192);
    woodPanel(p, r, 10);

    downloadIcon(p, QRectF(20, 14, 36, 36));
    draw::shadowText(p, QRectF(68, 12, 300, 40), Qt::AlignLeft | Qt::AlignVCenter, "Game Update",
                     draw::font(21, true), QColor(draw::kIvory), 200);

    clothPanel(p, QRectF(14, 60, 364, 120), 9, QPointF(196, 100));

    // The four suits sit in the title bar; the cloth keeps rows for the hint, the status
    // line, the progress bar and the figures with the cancel button (drawn by the panel).
    for (int i = 0; i < 4; ++i) {
        const QRectF box(276 + i * 24, 22, 16, 16);
        p.fillPath(draw::suitPath(suits[i], box), draw::withAlpha(QColor(draw::kBrass), 210));
    }
    draw::shadowText(p, QRectF(24, 64, 344, 20), Qt::AlignCenter,
                     "Please keep the launcher open until the game starts.", draw::font(12),
                     draw::withAlpha(QColor(draw::kIvory), 200), 140);

    draw::inset(p, QRectF(24, 110, 344, 22), 5, QColor(0, 0, 0, 120));
    return pic.done();
}
