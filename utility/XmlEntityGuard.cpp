#include "XmlEntityGuard.h"

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

} // namespace

void guardEntityExpansion(QXmlStreamReader& reader, const QByteArray& document) {
    if (declaresEntities(document)) {
        check(reader, document.count('&'), document.size());
    }
}

void guardEntityExpansion(QXmlStreamReader& reader, const QString& document) {
    if (document.contains(QLatin1String(kDeclaration))) {
        check(reader, document.count(QLatin1Char('&')), document.size());
    }
}

} // namespace utility
