#pragma once

#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>
#include <QWidget>

namespace utility {

// Posts one HTML form to the web service and waits for its JSON reply in a nested event
// loop, so timers and input keep being delivered while it waits. The main window owns
// one as a child; GUI thread only.
class RequestJson : public QWidget {
    Q_OBJECT

public:
    // Every request ends at most this long after it was sent, however slowly the bytes
    // come; one that has not finished by then counts as failed. The operator's pages
    // inside the window keep the same limit.
    static constexpr int kDefaultTimeoutMs = 15000;
    // Longer replies fail as any other failure.
    static constexpr qint64 maxReplyBytes = 4 << 20;

    explicit RequestJson(QWidget* parent = nullptr);
    ~RequestJson() override;

    // The reply body is Base64 text wrapping UTF-8 JSON (the login exchange).
    bool postEncoded(const QUrl& url, const QUrlQuery& form);
    // The reply body is plain JSON.
    bool post(const QUrl& url, const QUrlQuery& form);
    // The document of the last reply that arrived without a network error; null before
    // the first. Owned by this object; valid until the next successful call.
    QJsonDocument* document() const { return doc; }

    // The request body of a form: its pairs in the order they were added, "key=value"
    // joined by "&", values not form-encoded any further, so a Base64 value keeps its
    // "+", "/" and "=". Only what would break the pairs ("&", "%") stays escaped.
    static QByteArray formBody(const QUrlQuery& form);
    // Keeps Qt's network bearer plugins from loading: call before the first network access
    // manager of the process is made (later calls do nothing). They serve roaming between
    // networks, which a launcher talking to one server has no use for, and cost a thread
    // that polls the network interfaces every ten seconds, a D-Bus connection to the
    // network manager and about a megabyte.
    static void leaveOutNetworkBearers();

    void setTimeout(int milliseconds) { timeoutMs = milliseconds; }
    // True while a call of this object is waiting for its reply.
    bool isBusy() const { return pending > 0; }

private:
    // Sends the form and waits; the body of a reply without network error, or a null
    // array on failure.
    QByteArray send(const QUrl& url, const QUrlQuery& form, bool& ok);
    // Replaces the kept document by the one parsed from `json` (null when it is not JSON).
    void keep(const QString& json);

    QJsonDocument* doc = nullptr;
    int timeoutMs = kDefaultTimeoutMs;
    int pending = 0;
};

} // namespace utility
