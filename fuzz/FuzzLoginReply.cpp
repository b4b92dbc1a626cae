// libFuzzer target: an arbitrary login reply body, unwrapped as the request does (Base64,
// UTF-8, JSON) and applied to the main window: versions, player counts, nickname, coins
// and notices, and each version compared as a game button does.
#include <cstdint>

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/CompareVersion.h"
#include "app/Launcher.h"
#include "fuzz/FuzzSupport.h"

class FuzzLoginReply {
public:
    static void apply(Launcher& window, const QJsonObject& reply) {
        window.applyLogin(reply);
        for (const QString& version :
             {window.pokerVer, window.matgoVer, window.hongsipVer, window.majakVer}) {
            compareVersion("1.0", version);
            compareVersion(version, "1.0");
        }
    }
};

namespace {
Launcher* window = nullptr;
}

// The window is made once, before the first input: what Qt and WebKit keep from
// building it is not the input's doing.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    fuzzsupport::runTree();
    fuzzsupport::application<QApplication>();
    window = new Launcher;
    // A full reply first, so that what the text and font code keep from its first use
    // is in place before the first input.
    FuzzLoginReply::apply(*window, QJsonDocument::fromJson(R"({"versionInfo":{"pokerVer":"1.2"},
        "connUserInfo":{"pokerConnCnt":"1"},"userInfo":{"nick":"놀이꾼","coin":"1,500"},
        "notices":[{"subject":"A","contents":"x"}]})")
                                       .object());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), int(size));
    const QString text = QString::fromUtf8(QByteArray::fromBase64(body));
    FuzzLoginReply::apply(*window, QJsonDocument::fromJson(text.toUtf8()).object());
    return 0;
}
