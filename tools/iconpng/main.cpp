// Makes the launcher's themed icons from its Windows icon: the largest picture of the
// .ico, scaled smoothly down to each size asked for, written as
// OUTDIR/<N>x<N>/apps/NAME.png as the hicolor icon theme lays them out.
//   iconpng ICON.ico OUTDIR NAME SIZE...
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QStringList>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: iconpng ICON.ico OUTDIR NAME SIZE...\n");
        return 2;
    }
    QImageReader reader(args[0]);
    QImage best;
    do {
        const QImage image = reader.read();
        if (!image.isNull() && image.width() * image.height() > best.width() * best.height()) {
            best = image;
        }
    } while (reader.jumpToNextImage());
    if (best.isNull()) {
        std::fprintf(stderr, "iconpng: cannot read %s: %s\n", qPrintable(args[0]),
                     qPrintable(reader.errorString()));
        return 1;
    }
    for (const QString& text : args.mid(3)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "iconpng: not a size: %s\n", qPrintable(text));
            return 2;
        }
        const QString dir = QString("%1/%2x%2/apps").arg(args[1]).arg(size);
        const QString out = dir + '/' + args[2] + ".png";
        const QImage scaled =
            best.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!QDir().mkpath(dir) || !scaled.save(out, "PNG")) {
            std::fprintf(stderr, "iconpng: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
