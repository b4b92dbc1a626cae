#pragma once

#include <QByteArray>
#include <QString>

class QXmlStreamReader;

namespace utility {

// QXmlStreamReader stops nested entity bombs with its expansion limit, but not a long entity
// referenced many times, and it expands attribute defaults while still inside the DTD. These
// checks run before the first token: when a document declares its own entities and the worst
// case of their expansion exceeds a fixed budget, the reader is put into an error state, so
// the usual "XML error: " path reports it and nothing is read.
void guardEntityExpansion(QXmlStreamReader& reader, const QByteArray& document);
void guardEntityExpansion(QXmlStreamReader& reader, const QString& document);

} // namespace utility
