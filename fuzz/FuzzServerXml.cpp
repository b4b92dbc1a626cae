// libFuzzer target: an arbitrary document as the server catalogue "script/server.xml".
#include <cstdint>

#include "fuzz/FuzzSupport.h"

#include <QUrl>

#include "utility/XmlServerParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    utility::XmlServerParser* servers = utility::XmlServerParser::getInstance();
    servers->parse(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    // Both addresses are made into URLs as the launcher does.
    QUrl(QString::fromStdString(servers->webUrl()) + ":2356/webclient/qzclient").isValid();
    QUrl(QString::fromStdString(servers->ftpUrl()) + "/BoardGame/Poker/").isValid();
    return 0;
}
