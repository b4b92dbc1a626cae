#pragma once

#include <string>

#include <QString>

// Turns the raw bytes of a name, as an FTP server lists it or a zip entry stores it, into
// the name used on the local disk. Operators' Windows machines write names in the Korean
// code page (CP949); everything else is expected in UTF-8. Names holding control or
// invisible format characters are refused. Pure functions, any thread.
class NameDecoder {
public:
    // A listed name: UTF-8 when the bytes are valid UTF-8, otherwise CP949. False (and
    // out left empty) when the bytes are valid in neither or hold a control character.
    static bool fromServer(const std::string& raw, QString& out);
    // A zip entry name: UTF-8 when the entry says so (general purpose bit 11), otherwise
    // as a listed name.
    static bool fromPackage(const std::string& raw, bool utf8Flag, QString& out);
    // For a whole tree read in one encoding: whether the bytes are valid UTF-8, and a name
    // read as CP949 (false when it is not, or holds a control character).
    static bool isUtf8(const std::string& raw);
    static bool fromCp949(const std::string& raw, QString& out);

private:
    static bool decodeUtf8(const std::string& raw, QString& out);
    static bool decodeCp949(const std::string& raw, QString& out);
};
