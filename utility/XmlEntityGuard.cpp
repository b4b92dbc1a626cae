#include "utility/XmlEntityGuard.h"

#include <QTextCodec>
#include <QXmlStreamReader>

namespace utility {

namespace {

// Characters that entity expansion may add to one document: far above any catalogue or
// saved-data file, far below what would strain the machine (two bytes per character).
constexpr qint64 kExpansionBudget = qint64(1) << 22;

const char kDeclaration[] = "<!ENTITY";

// The declaration keyword as it appears in the raw bytes of each encoding the reader accepts:
// one byte per character (UTF-8 and the ASCII-based code pages), UTF-16 and UTF-32 either way.
bool declaresEntities(const QByteArray& document) {
    for (int width : {1, 2, 4}) {
        for (bool bigEndian : {false, true}) {
            if (width == 1 && bigEndian) {
                continue;
            }
            QByteArray pattern;
            for (const char* c = kDeclaration; *c != '\0'; ++c) {
                QByteArray unit(width, '\0');
                unit[bigEndian ? width - 1 : 0] = *c;
                pattern += unit;
            }
            if (document.contains(pattern)) {
                return true;
            }
        }
    }
    return false;
}

// Every reference starts with '&', and in every accepted encoding that character contains the
// byte 0x26, so counting bytes can only overestimate. One reference expands at most to the
// entity's own text (shorter than the document), the nested text the reader's limit lets
// through, and the one nested text that crosses the limit before the reader stops.
void check(QXmlStreamReader& reader, qint64 references, qint64 documentLength) {
    const qint64 perReference = 2 * documentLength + reader.entityExpansionLimit();
    if (references > kExpansionBudget / perReference) {
        reader.raiseError(QStringLiteral("Entity declarations could expand the document beyond "
                                         "%1 characters.")
                              .arg(kExpansionBudget));
    }
}

// The codec QXmlStreamReader starts with, from the first four bytes: a byte-order mark, or
// the "<" of UTF-16 or UTF-32 without one; otherwise UTF-8.
QTextCodec* startingCodec(const QByteArray& document) {
    int mib = 106; // UTF-8
    if (document.size() >= 4) {
        const auto byte = [&document](int i) { return static_cast<uchar>(document.at(i)); };
        const uchar b0 = byte(0), b1 = byte(1), b2 = byte(2), b3 = byte(3);
        if ((b0 == 0 && b1 == 0 && b2 == 0xfe && b3 == 0xff) ||
            (b0 == 0xff && b1 == 0xfe && b2 == 0 && b3 == 0)) {
            mib = 1017; // UTF-32 with byte-order mark
        } else if (b0 == 0x3c && b1 == 0 && b2 == 0 && b3 == 0) {
            mib = 1019; // UTF-32LE
        } else if (b0 == 0 && b1 == 0 && b2 == 0 && b3 == 0x3c) {
            mib = 1018; // UTF-32BE
        } else if ((b0 == 0xfe && b1 == 0xff) || (b0 == 0xff && b1 == 0xfe)) {
            mib = 1015; // UTF-16 with byte-order mark
        } else if (b0 == 0x3c && b1 == 0) {
            mib = 1014; // UTF-16LE
        } else if (b0 == 0 && b1 == 0x3c) {
            mib = 1013; // UTF-16BE
        }
    }
    return QTextCodec::codecForMib(mib);
}

// The document as the reader will see it: decoded with the codec it starts with, and then,
// when its declaration names an encoding (UTF-7, say), all of it again with that one.
QString decodedAsRead(const QByteArray& document) {
    QTextCodec* codec = startingCodec(document);
    if (codec == nullptr) {
        return QString();
    }
    QString text = codec->toUnicode(document);
    if (text.startsWith(QChar(0xfeff))) {
        text.remove(0, 1);
    }
    // Only the declaration is read here, never a document type declaration.
    if (!text.startsWith(QLatin1String("<?xml"))) {
        return text;
    }
    QXmlStreamReader declaration(text);
    if (declaration.readNext() != QXmlStreamReader::StartDocument ||
        declaration.documentEncoding().isEmpty()) {
        return text;
    }
    QTextCodec* declared = QTextCodec::codecForName(declaration.documentEncoding().toLatin1());
    return declared != nullptr ? declared->toUnicode(document) : text;
}

} // namespace

void guardEntityExpansion(QXmlStreamReader& reader, const QByteArray& document) {
    // Both the bytes and the decoded text are looked at: whichever shows more declarations
    // and references counts.
    const QString text = decodedAsRead(document);
    if (declaresEntities(document) || text.contains(QLatin1String(kDeclaration))) {
        check(reader, qMax<qint64>(document.count('&'), text.count(QLatin1Char('&'))),
              qMax(document.size(), text.size()));
    }
}

void guardEntityExpansion(QXmlStreamReader& reader, const QString& document) {
    if (document.contains(QLatin1String(kDeclaration))) {
        check(reader, document.count(QLatin1Char('&')), document.size());
    }
}

} // namespace utility
