#include "update/NameDecoder.h"

#include <QTextCodec>

namespace {

// Control characters, and the invisible format characters (a byte-order mark, zero-width
// spaces and joiners, direction marks) that make one name look like another or vanish.
bool hasControlCharacter(const QString& name) {
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Format) {
            return true;
        }
    }
    return false;
}

// CP949's byte structure: ASCII, or a lead byte 0x81-0xFE followed by a trail byte in
// 0x41-0x5A, 0x61-0x7A or 0x81-0xFE. The codec alone does not say when it had to guess.
bool isCp949Structure(const std::string& raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto lead = static_cast<unsigned char>(raw[i]);
        if (lead < 0x80) {
            continue;
        }
        if (lead == 0x80 || lead == 0xff || i + 1 == raw.size()) {
            return false;
        }
        const auto trail = static_cast<unsigned char>(raw[++i]);
        const bool fits = (trail >= 0x41 && trail <= 0x5a) || (trail >= 0x61 && trail <= 0x7a) ||
                          (trail >= 0x81 && trail <= 0xfe);
        if (!fits) {
            return false;
        }
    }
    return true;
}

} // namespace

bool NameDecoder::decodeUtf8(const std::string& raw, QString& out) {
    QTextCodec* codec = QTextCodec::codecForName("UTF-8");
    // A leading byte-order mark is kept as a character, not dropped: dropped, the bytes
    // EF BB BF 2E 2E would name the parent folder.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = codec->toUnicode(raw.data(), int(raw.size()), &state);
    if (state.invalidChars != 0 || state.remainingChars != 0 || text.contains(QChar(0xfffd))) {
        return false;
    }
    out = text;
    return true;
}

bool NameDecoder::decodeCp949(const std::string& raw, QString& out) {
    QTextCodec* codec = QTextCodec::codecForName("CP949");
    if (!codec || !isCp949Structure(raw)) {
        return false;
    }
    const QString text = codec->toUnicode(raw.data(), int(raw.size()));
    // Unassigned codes come back as replacement or private-use characters, which would
    // not name the same file again: only a faithful round trip counts.
    for (const QChar c : text) {
        if (c.unicode() == 0xfffd || (c.unicode() >= 0xe000 && c.unicode() <= 0xf8ff)) {
            return false;
        }
    }
    if (codec->fromUnicode(text) != QByteArray::fromStdString(raw)) {
        return false;
    }
    out = text;
    return true;
}

namespace {
// A decoded name is taken only when it is not empty and holds no control or invisible
// format character; `out` is left empty otherwise.
bool accepted(bool decoded, const QString& text, QString& out) {
    out.clear();
    if (!decoded || text.isEmpty() || hasControlCharacter(text)) {
        return false;
    }
    out = text;
    return true;
}
} // namespace

bool NameDecoder::fromServer(const std::string& raw, QString& out) {
    QString text;
    return accepted(decodeUtf8(raw, text) || decodeCp949(raw, text), text, out);
}

bool NameDecoder::fromPackage(const std::string& raw, bool utf8Flag, QString& out) {
    if (!utf8Flag) {
        return fromServer(raw, out);
    }
    QString text;
    return accepted(decodeUtf8(raw, text), text, out);
}

bool NameDecoder::isUtf8(const std::string& raw) {
    QString ignored;
    return decodeUtf8(raw, ignored);
}

bool NameDecoder::fromCp949(const std::string& raw, QString& out) {
    QString text;
    return accepted(decodeCp949(raw, text), text, out);
}
