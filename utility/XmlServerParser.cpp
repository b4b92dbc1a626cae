#include "utility/XmlServerParser.h"

#include <memory>

#include <QDebug>
#include <QString>
#include <QXmlStreamReader>

#include "archive/ResourceArchive.h"
#include "utility/XmlEntityGuard.h"

namespace {
ResourceArchive* const archiveReader = ResourceArchive::openDefault();

std::string urlOf(const QXmlStreamReader& reader) {
    return reader.attributes().value(QLatin1String("url")).toString().toStdString();
}
} // namespace

namespace utility {

bool XmlServerParser::load(const std::string& path) {
    const std::unique_ptr<QByteArray> bytes{loadBytes(archiveReader, QString::fromStdString(path))};
    if (!bytes) {
        return false;
    }
    return parse(*bytes);
}

bool XmlServerParser::parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    guardEntityExpansion(reader, xml);
    std::vector<std::string> pay;
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (!reader.isStartElement()) {
            continue;
        }
        if (reader.name() == QLatin1String("web")) {
            webAddress = urlOf(reader);
        } else if (reader.name() == QLatin1String("ftp")) {
            ftpAddress = urlOf(reader);
        } else if (reader.name() == QLatin1String("pay") &&
                   urlOf(reader).rfind("https://", 0) == 0) {
            pay.push_back(urlOf(reader));
        }
    }
    if (!pay.empty()) {
        payAddresses = pay;
    }
    if (reader.hasError()) {
        qDebug().noquote() << QStringLiteral("XML error: ") + reader.errorString();
    } else if (reader.atEnd()) {
        qDebug().noquote() << QStringLiteral("Reached end, done");
    }
    return true;
}

} // namespace utility
