#pragma once

#include <string>
#include <vector>

#include <QByteArray>

#include "utility/SingleTon.h"

namespace utility {

// The addresses of the operator's web service and FTP server, read at start-up from
// "script/server.xml" in the resource archive. One instance for the program; written only by
// load() before any worker thread exists, afterwards read from the GUI and FTP threads.
class XmlServerParser : public SingleTon<XmlServerParser> {
public:
    // Reads the archive entry; false only when the entry cannot be obtained, and then both
    // addresses keep their values.
    bool load(const std::string& path);
    // Takes the "url" of every "web" and "ftp" element at any depth, the last one winning;
    // an address whose element is missing keeps its value. Returns true.
    bool parse(const QByteArray& xml);
    const std::string& webUrl() const { return webAddress; }
    const std::string& ftpUrl() const { return ftpAddress; }
    // The payment processors whose pages the payment view may show: the "url" of every "pay"
    // element, https only (optional; older launchers ignore them). A document with none keeps
    // the earlier list.
    const std::vector<std::string>& payUrls() const { return payAddresses; }

protected:
    XmlServerParser() = default;

private:
    friend class SingleTon<XmlServerParser>;

    std::string webAddress; // UTF-8
    std::string ftpAddress; // UTF-8
    std::vector<std::string> payAddresses;
};

} // namespace utility
