#include "utility/XmlMsgParser.h"

#include <memory>

#include <QDebug>
#include <QXmlStreamReader>

#include "archive/ResourceArchive.h"
#include "utility/XmlEntityGuard.h"

namespace {
ResourceArchive* const archiveReader = ResourceArchive::openDefault();
} // namespace

namespace utility {

bool XmlMsgParser::load(const std::string& path) {
    messages.clear();
    const std::unique_ptr<QByteArray> bytes{loadBytes(archiveReader, QString::fromStdString(path))};
    if (!bytes) {
        return false;
    }
    return parse(*bytes);
}

bool XmlMsgParser::parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    guardEntityExpansion(reader, xml);
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("msg")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            // An absent or non-numeric number converts to 0.
            const int id = attributes.value(QLatin1String("idx")).toInt(nullptr, 10);
            messages[id] = attributes.value(QLatin1String("text")).toString();
        }
    }
    if (reader.hasError()) {
        qDebug().noquote() << QStringLiteral("XML error: ") + reader.errorString();
    } else if (reader.atEnd()) {
        qDebug().noquote() << QStringLiteral("Reached end, done");
    }
    return true;
}

QString& XmlMsgParser::message(int id) {
    return messages[id];
}

} // namespace utility
