#include "FtpThread.h"

#include <climits>

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QSaveFile>
#include <QString>
#include <QUrl>

#include "PackageInstaller.h"
#include "XmlServerParser.h"

namespace {

const std::string serverFolder = "/BoardGame/";
const std::string localFolder = "../../../";

// Listed names are used as path components locally: nothing that could name another
// folder is taken.
bool isRefusedName(const std::string& name) {
    return name == "." || name == ".." ||
           name.find_first_of(std::string("/\\\0", 3)) != std::string::npos;
}

// A relative path with each component percent-encoded for a URL.
std::string encodePath(const std::string& relPath) {
    QByteArray out;
    for (const QByteArray& part : QByteArray::fromStdString(relPath).split('/')) {
        if (!out.isEmpty()) {
            out += '/';
        }
        out += QUrl::toPercentEncoding(QString::fromUtf8(part));
    }
    return out.toStdString();
}

// A URL fit for the log: the password of the server address is left out.
QByteArray printable(const std::string& url) {
    return QUrl(QString::fromStdString(url)).toString(QUrl::RemovePassword).toUtf8();
}

std::string joinPath(const std::string& relPath, const std::string& name) {
    return relPath.empty() ? name : relPath + "/" + name;
}

} // namespace

FtpThread::FtpThread(const std::string& gameName)
    : gameName(gameName), root(std::make_unique<FtpNode>(FtpNode::Directory, gameName)),
      connection(this) {}

FtpThread::~FtpThread() {
    // Never destroy a running worker: ask it to stop (its transfer aborts) and wait.
    requestInterruption();
    wait();
}

std::string FtpThread::gameUrl() const {
    return baseUrl + serverFolder + gameName + "/";
}

void FtpThread::run() {
    total = 0;
    current = 0;
    phase = Listing;
    failed = false;
    baseUrl = utility::XmlServerParser::getInstance()->ftpUrl();

    if (!connection.open()) {
        qDebug() << "could not create a transfer handle";
        phase = NothingFound;
        return;
    }
    std::string listing;
    if (!connection.list(gameUrl(), root.get(), "", listing)) {
        qDebug() << "listing failed -" << printable(gameUrl()).constData()
                 << connection.errorString().c_str();
        listing.clear();
    }
    if (listing.empty()) {
        connection.close();
        phase = NothingFound;
        return;
    }

    phase = Downloading;
    const QString gameFolder = QString::fromStdString(localFolder + gameName);
    if (!QDir(gameFolder).exists() && !QDir::current().mkdir(gameFolder)) {
        qDebug() << "could not create folder" << gameFolder;
        failed = true;
    }
    if (!stopped()) {
        downloadTree(root.get(), gameName);
    }
    connection.close();
    if (stopped()) {
        // The package, if any, stays as it came for inspection; the version is not recorded.
        phase = Failed;
        return;
    }

    phase = Installing;
    if (!install()) {
        phase = Failed;
    }
}

void FtpThread::onListReceived(FtpNode* node, const std::string& relPath,
                               const std::string& listing) {
    std::size_t pos = 0;
    while (pos < listing.size() && !stopped()) {
        const std::size_t start = listing.find_first_not_of("\r\n", pos);
        if (start == std::string::npos) {
            break;
        }
        std::size_t end = listing.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = listing.size();
        }
        pos = end;
        const std::string name = listing.substr(start, end - start);

        if (name.find("svn") != std::string::npos) {
            continue;
        }
        if (isRefusedName(name)) {
            qDebug() << "refused name - " << name.c_str();
            continue;
        }
        if (name.find('.') == std::string::npos) {
            FtpNode* child = node->addChild(FtpNode::Directory, name);
            if (!child) {
                continue; // listed twice: already known and listed
            }
            const std::string childPath = joinPath(relPath, name);
            qDebug() << "dir - " << name.c_str();
            const std::string url = gameUrl() + encodePath(childPath) + "/";
            std::string childListing;
            if (!connection.list(url, child, childPath, childListing)) {
                qDebug() << "listing failed -" << printable(url).constData()
                         << connection.errorString().c_str();
                failed = true;
                return;
            }
        } else if (name.find(".db") != std::string::npos) {
            continue;
        } else if (node->addChild(FtpNode::File, name)) {
            qDebug() << "file - " << name.c_str();
        }
    }
}

void FtpThread::downloadTree(FtpNode* node, const std::string& relPath) {
    total = 0;
    current = 0;
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        if (stopped()) {
            return;
        }
        const std::string childPath = joinPath(relPath, child->name);
        if (child->kind == FtpNode::File) {
            buffer.clear();
            const std::string url = baseUrl + serverFolder + encodePath(childPath);
            const bool received = connection.download(url, childPath, buffer);
            if (!received) {
                qDebug() << "download failed -" << printable(url).constData()
                         << connection.errorString().c_str();
                failed = true;
            }
            // Only a whole file replaces the local one; otherwise the older copy stays.
            if (file && received && file->isOpen() && !file->commit()) {
                qDebug() << " Could not write file" << file->errorString();
                failed = true;
            }
            file.reset();
        } else {
            const QString folder = QString::fromStdString(localFolder + childPath);
            if (!QDir(folder).exists() && !QDir::current().mkdir(folder)) {
                qDebug() << "could not create folder" << folder;
                failed = true;
                return;
            }
            downloadTree(child.get(), childPath);
        }
    }
}

void FtpThread::onFileReceived(const std::string& relPath, const std::string& data) {
    if (data.empty()) {
        return;
    }
    if (!file) {
        const std::string url = baseUrl + serverFolder + encodePath(relPath);
        const std::string local = localFolder + relPath;
        qDebug() << "ftp file - " << printable(url).constData();
        qDebug() << "loc file - " << local.c_str();
        // Written aside and put in place when the transfer has ended well.
        file = std::make_unique<QSaveFile>(QString::fromStdString(local));
        if (!file->open(QIODevice::WriteOnly)) {
            qDebug() << " Could not open file for writing" << file->errorString();
            failed = true;
            connection.abortTransfer();
            return;
        }
    }
    if (!file->isOpen()) {
        return;
    }
    // Stored byte for byte.
    const qint64 size = static_cast<qint64>(data.size());
    if (file->write(data.data(), size) != size) {
        qDebug() << " Could not write file" << file->errorString();
        failed = true;
        connection.abortTransfer();
    }
}

void FtpThread::onProgress(double dltotal, double dlnow, double, double) {
    auto toInt = [](double value) {
        return value <= 0 ? 0 : value >= INT_MAX ? INT_MAX : static_cast<int>(value);
    };
    total = toInt(dltotal);
    current = toInt(dlnow);
}

bool FtpThread::install() {
    PackageInstaller installer(gameName, total, current);
    return installer.run();
}
