#include "Mockup.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QXmlStreamReader>

namespace {

const QColor kTickerBox(Qt::darkCyan);

void caption(QPainter& p, const QRectF& r, const QString& text, const QFont& f, int flags) {
    p.save();
    p.setClipRect(r);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r, flags, text);
    p.restore();
}

void field(QPainter& p, const QRectF& r, const QString& text, const QFont& f) {
    p.save();
    p.setPen(QColor(120, 120, 120));
    p.setBrush(Qt::white);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(r.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

} // namespace

Mockup::Mockup(const QString& dir) : resDir(dir) {
    const int id = QFontDatabase::addApplicationFont(QDir(resDir).filePath("font/simhei.ttf"));
    if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty()) {
        family = QFontDatabase::applicationFontFamilies(id).first();
    } else {
        missingNames << "font/simhei.ttf";
    }

    QFile file(QDir(resDir).filePath("script/msg.xml"));
    if (!file.open(QIODevice::ReadOnly)) {
        missingNames << "script/msg.xml";
        return;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("msg")) {
            messages[xml.attributes().value("idx").toInt()] =
                xml.attributes().value("text").toString();
        }
    }
    if (xml.hasError()) {
        missingNames << "script/msg.xml (" + xml.errorString() + ")";
    }
}

QImage Mockup::picture(const QString& name) const {
    QImage img(QDir(resDir).filePath(name));
    if (img.isNull()) {
        missingNames << name;
    }
    return img;
}

QString Mockup::message(int id) const {
    return messages.value(id);
}

QFont Mockup::uiFont(qreal points) const {
    QFont f;
    if (!family.isEmpty()) {
        f.setFamily(family);
    }
    f.setPixelSize(qRound(points * 96.0 / 72.0));
    return f;
}

QImage Mockup::window() const {
    QImage img(1024, 768, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Top bar: background, title buttons, tabs with captions, then the dividers above them.
    p.drawImage(0, 0, picture("main/up.png"));
    p.drawImage(960, 6, picture("main/min.png"));
    p.drawImage(990, 6, picture("main/exitsmall.png"));
    for (int i = 0; i < 4; ++i) {
        const QRectF tab(256 * i, 37, 256, 42);
        p.drawImage(tab.topLeft(), picture(i == 0 ? "main/menupush.png" : "main/menu.png"));
        caption(p, tab, message(1 + i), uiFont(16), Qt::AlignCenter);
    }
    for (int x : {255, 511, 767}) {
        p.drawImage(x, 46, picture("main/divide.png"));
    }

    // Game page.
    p.translate(0, 79);
    p.drawImage(0, 0, picture("main/base.png"));
    const char* buttons[] = {"main/7poker.png", "main/gos.png", "main/hongs.png",
                             "main/majong.png"};
    const QPointF places[] = {{43, 39}, {362, 39}, {681, 39}, {43, 225}};
    const char* counts[] = {"1284", "57", "9", "312"};
    for (int i = 0; i < 4; ++i) {
        p.drawImage(places[i], picture(buttons[i]));
        caption(p, QRectF(places[i] + QPointF(198, 132), QSizeF(90, 30)), counts[i] + message(12),
                uiFont(20), Qt::AlignRight | Qt::AlignHCenter);
    }
    p.translate(0, -79);

    // Bottom menu.
    p.translate(0, 690);
    p.drawImage(0, 0, picture("main/down.png"));
    p.drawImage(640, 40, picture("main/refresh.png"));
    p.drawImage(685, 40, picture("main/exit.png"));
    caption(p, QRectF(685, 40, 74, 34), message(5), uiFont(16), Qt::AlignCenter);
    p.drawImage(768, 40, picture("main/charge.png"));
    caption(p, QRectF(768, 40, 222, 34), message(6), uiFont(16), Qt::AlignCenter);
    caption(p, QRectF(0, 7, 110, 30), message(13), uiFont(16), Qt::AlignRight);
    caption(p, QRectF(125, 45, 300, 30), "LuckySeven", uiFont(16), Qt::AlignLeft);
    caption(p, QRectF(400, 45, 300, 30), "125,000", uiFont(16), Qt::AlignLeft);
    p.fillRect(QRectF(123, 7, 860, 25), kTickerBox);
    caption(p, QRectF(123, 7, 860, 25),
            "Server maintenance on Thursday 04:00-06:00. Thank you for playing!", uiFont(16),
            Qt::AlignLeft);
    p.translate(0, -690);

    // Login dialog, centred over the window.
    p.translate(227, 274);
    p.drawImage(0, 0, picture("login/logbase.png"));
    caption(p, QRectF(38, 73, 95, 25), message(9), uiFont(12), Qt::AlignCenter);
    caption(p, QRectF(38, 117, 95, 25), message(10), uiFont(12), Qt::AlignCenter);
    field(p, QRectF(150, 70, 230, 30), "player01", uiFont(11));
    field(p, QRectF(150, 115, 230, 30), QString(8, QChar(0x25cf)), uiFont(11));
    p.drawImage(405, 69, picture("login/login.png"));
    caption(p, QRectF(405, 69, 139, 73), message(7), uiFont(16), Qt::AlignCenter);
    p.drawImage(405, 155, picture("login/join.png"));
    caption(p, QRectF(405, 155, 139, 34), message(8), uiFont(16), Qt::AlignCenter);
    p.drawImage(70, 155, picture("login/checkin.png"));
    caption(p, QRectF(120, 165, 200, 25), message(11), uiFont(12), Qt::AlignLeft);
    p.end();
    return img;
}

QImage Mockup::sheet() const {
    QImage img(1420, 900, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(60, 60, 64));
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);

    const char* games[] = {"7poker", "gos", "hongs", "majong"};
    const char* suffixes[] = {"", "_push", "_roll"};
    for (int g = 0; g < 4; ++g) {
        for (int s = 0; s < 3; ++s) {
            const QPointF at(10 + s * 308, 10 + g * 172);
            p.drawImage(at, picture(QString("main/%1%2.png").arg(games[g], suffixes[s])));
            caption(p, QRectF(at + QPointF(198, 132), QSizeF(90, 30)), "88" + message(12),
                    uiFont(20), Qt::AlignRight | Qt::AlignHCenter);
        }
    }

    // Small buttons in their three states, with their captions where the program adds one.
    struct Row {
        const char* names[3];
        int message;
        QSizeF size;
    };
    const Row rows[] = {
        {{"main/refresh.png", "main/refresh_push.png", "main/refreshroll.png"}, -1, {34, 34}},
        {{"main/exit.png", "main/exitpush.png", "main/exitroll.png"}, 5, {74, 34}},
        {{"main/charge.png", "main/chargepush.png", "main/chargeroll.png"}, 6, {222, 34}},
        {{"login/login.png", "login/login_push.png", "login/login_roll.png"}, 7, {139, 73}},
        {{"login/join.png", "login/join_push.png", "login/join_roll.png"}, 8, {139, 34}},
    };
    qreal y = 10;
    for (const Row& row : rows) {
        for (int s = 0; s < 3; ++s) {
            const QPointF at(940 + s * (row.size.width() > 150 ? 0 : row.size.width() + 8),
                             y + (row.size.width() > 150 ? s * 40 : 0));
            p.drawImage(at, picture(row.names[s]));
            if (row.message >= 0) {
                caption(p, QRectF(at, row.size), message(row.message), uiFont(16), Qt::AlignCenter);
            }
        }
        y += (row.size.width() > 150 ? 3 * 40 : row.size.height()) + 10;
    }
    p.drawImage(940, y, picture("login/check.png"));
    p.drawImage(990, y, picture("login/checkin.png"));
    p.drawImage(1040, y, picture("main/min.png"));
    p.drawImage(1070, y, picture("main/exitsmall.png"));
    const QImage icon(QDir(resDir).filePath("../icon.ico"));
    if (icon.isNull()) {
        missingNames << "../icon.ico";
    } else {
        p.drawImage(1110, y - 10, icon);
    }
    y += 64;
    p.drawImage(940, y, picture("main/menu.png"));
    caption(p, QRectF(940, y, 256, 42), message(2), uiFont(16), Qt::AlignCenter);
    p.drawImage(940, y + 46, picture("main/menupush.png"));
    caption(p, QRectF(940, y + 46, 256, 42), message(1), uiFont(16), Qt::AlignCenter);

    // The update panel half way through a download.
    const QPointF panel(10, 700);
    p.drawImage(panel, picture("install/instbase.png"));
    p.fillRect(QRectF(panel + QPointF(27, 157), QSizeF(328, 10)), QColor(200, 200, 200));
    p.fillRect(QRectF(panel + QPointF(27, 157), QSizeF(131, 10)), QColor(60, 140, 220));
    caption(p, QRectF(panel + QPointF(50, 140), QSizeF(200, 20)), message(201), uiFont(9),
            Qt::AlignLeft | Qt::AlignHCenter);
    p.end();
    return img;
}
