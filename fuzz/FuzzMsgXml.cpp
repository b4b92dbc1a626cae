// libFuzzer target: an arbitrary document as the message catalogue "script/msg.xml".
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "utility/XmlMsgParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    utility::XmlMsgParser* catalogue = utility::XmlMsgParser::getInstance();
    catalogue->parse(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    // Every message the launcher shows is asked for by number, present or not.
    for (int id : {100, 203, 204}) {
        catalogue->message(id).size();
    }
    return 0;
}
