#pragma once

#include <string>

#include <QByteArray>
#include <QMap>
#include <QString>

#include "utility/SingleTon.h"

namespace utility {

// The launcher's numbered texts, read at start-up from "script/msg.xml" in the resource
// archive. One instance for the program; GUI thread only, since message() may insert.
class XmlMsgParser : public SingleTon<XmlMsgParser> {
public:
    // Empties the catalogue, then reads the archive entry; false only when the entry cannot be
    // obtained (a malformed document still gives true, keeping what came before the error).
    bool load(const std::string& path);
    // Adds every "msg" element of the document, at any depth, the later of equal numbers
    // winning. Returns true.
    bool parse(const QByteArray& xml);
    // The text stored under id; an absent number gets an empty entry.
    QString& message(int id);
    const QMap<int, QString>& entries() const { return messages; }

protected:
    XmlMsgParser() = default;

private:
    friend class SingleTon<XmlMsgParser>;

    QMap<int, QString> messages;
};

} // namespace utility
