#include "update/FtpThread.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include <QByteArray>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStorageInfo>
#include <QString>
#include <QUrl>

#include <zlib.h>

#include "archive/RunTree.h"
#include "update/NameDecoder.h"
#include "update/PackageInstaller.h"
#include "utility/XmlServerParser.h"

namespace {

const std::string serverFolder = "/BoardGame/";
const std::string localFolder = runtree::gamesFolder;

// Listed names are sent back as path components and become local ones: nothing that
// could name another folder is taken.
bool isPlainRawName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

// A relative path with each component's bytes percent-encoded for a URL: libcurl sends
// the decoded bytes, so the server sees each name exactly as it listed it.
std::string encodePath(const std::string& relPath) {
    QByteArray out;
    for (const QByteArray& part : QByteArray::fromStdString(relPath).split('/')) {
        if (!out.isEmpty()) {
            out += '/';
        }
        out += part.toPercentEncoding();
    }
    return out.toStdString();
}

// A URL fit for the log: the password of the server address is left out.
QByteArray printable(const std::string& url) {
    return QUrl(QString::fromStdString(url)).toString(QUrl::RemovePassword).toUtf8();
}

// A listed name for the log, whatever its bytes.
QByteArray printableName(const std::string& name) {
    QString decoded;
    if (NameDecoder::fromServer(name, decoded)) {
        return decoded.toUtf8();
    }
    return QByteArray::fromStdString(name).toPercentEncoding("/ .()[]-_");
}

std::string joinPath(const std::string& relPath, const std::string& name) {
    return relPath.empty() ? name : relPath + "/" + name;
}

QString qPath(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), int(utf8.size()));
}

// Makes the folders of `path` below `base`, which exists. A file or link left where a
// folder is needed is removed first, and so is a folder or link left at `path` itself:
// only what the current tree needs is touched. With `readyFolder`, the folder last made
// ready this way is not looked at again for the next file in it.
bool clearWayTo(const QString& base, const QString& path, QString* readyFolder = nullptr) {
    const QString folder = path.left(path.lastIndexOf('/'));
    const QStringList parts = path.mid(base.size() + 1).split('/');
    const bool ready = readyFolder && *readyFolder == folder;
    QString at = ready ? folder : base;
    for (int i = ready ? int(parts.size()) - 1 : 0; i < parts.size(); ++i) {
        at += '/' + parts[i];
        const QFileInfo info(at);
        const bool last = i + 1 == parts.size();
        if (info.isSymLink() || (last && info.isDir()) ||
            (!last && info.exists() && !info.isDir())) {
            const bool removed = info.isDir() && !info.isSymLink() ? QDir(at).removeRecursively()
                                                                   : QFile::remove(at);
            if (!removed) {
                return false;
            }
        }
        if (!last && !QFileInfo(at).isDir() && !QDir().mkdir(at)) {
            return false;
        }
    }
    if (readyFolder) {
        *readyFolder = folder;
    }
    return true;
}

// A size fact: plain digits, -1 when missing or malformed (or too long to be a size).
long long factNumber(const QByteArray& value) {
    if (value.isEmpty() || value.size() > 18) {
        return -1;
    }
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return -1;
        }
    }
    return value.toLongLong();
}

// A time fact, "YYYYMMDDHHMMSS" in UTC with an optional fraction, as Unix seconds; -1
// when missing or malformed.
long long factTime(const QByteArray& value) {
    if (value.size() < 14 || (value.size() > 14 && value[14] != '.') ||
        factNumber(value.left(14)) < 0) {
        return -1;
    }
    // Read digit by digit: a parser with a format would consult the local time zone (and
    // its file) for every name of a listing.
    const auto digits = [&value](int at, int count) { return value.mid(at, count).toInt(); };
    const QDate date(digits(0, 4), digits(4, 2), digits(6, 2));
    const QTime time(digits(8, 2), digits(10, 2), digits(12, 2));
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC).toSecsSinceEpoch()
                                            : -1;
}

// An MLSD entry's facts: its kind (-1 when neither a file nor a folder, as a link), size
// and time, each left -1 when missing or malformed. False for the folder itself and its
// parent, which are no names of it.
bool readFacts(const std::string& facts, int& kind, long long& size, long long& modified) {
    for (const QByteArray& fact : QByteArray::fromStdString(facts).split(';')) {
        const int equals = fact.indexOf('=');
        if (equals <= 0) {
            continue;
        }
        const QByteArray key = fact.left(equals).toLower();
        const QByteArray value = fact.mid(equals + 1);
        if (key == "type") {
            const QByteArray type = value.toLower();
            if (type == "cdir" || type == "pdir") {
                return false;
            }
            kind = type == "file" ? FtpNode::File : type == "dir" ? FtpNode::Directory : -1;
        } else if (key == "size") {
            size = factNumber(value);
        } else if (key == "modify") {
            modified = factTime(value);
        }
    }
    return true;
}

} // namespace

const char* const FtpThread::stagingName = ".partial";
const char* const FtpThread::stampsName = "stamps";

FtpThread::FtpThread(const std::string& gameName, bool repair)
    : gameName(gameName), root(std::make_unique<FtpNode>(FtpNode::Directory, gameName)),
      connection(this), repair(repair) {}

FtpThread::~FtpThread() {
    // Never destroy a running worker: ask it to stop (its transfer aborts) and wait.
    requestInterruption();
    wait();
}

std::string FtpThread::gameUrl() const {
    return baseUrl + serverFolder + gameName + "/";
}

QString FtpThread::gameFolder() const {
    return qPath(localFolder + gameName);
}

QString FtpThread::stagingFolder() const {
    return gameFolder() + '/' + stagingName;
}

void FtpThread::fail(const QString& why) {
    qDebug().noquote() << "update failed -" << why;
    failed = true;
}

void FtpThread::run() {
    total = 0;
    current = 0;
    bytesTotal = 0;
    bytesDone = 0;
    phase = Listing;
    failed = false;
    treeNames = 0;
    treeListingBytes = 0;
    baseUrl = utility::XmlServerParser::getInstance()->ftpUrl();
    factsListing = true;
    filesChecked = 0;
    filesDamaged = 0;
    filesRepaired = 0;
    unpackedNow.clear();
    keptNow.clear();
    if (repair) {
        phase = Verifying;
        verifyInstalled();
        if (stopped()) {
            phase = Failed;
            return;
        }
        // All whole, or nothing installed: nothing to fetch (a repair installs no game).
        if ((hasRecord && filesDamaged == 0) ||
            (!hasRecord &&
             QDir(gameFolder())
                 .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))) {
            phase = Installing;
            return;
        }
        phase = Listing;
        total = 0;
        current = 0;
        bytesTotal = 0;
        bytesDone = 0;
    }

    if (!connection.open()) {
        qWarning() << "No transfer can be made:" << connection.errorString().c_str();
        phase = NothingFound;
        return;
    }
    std::string listing;
    if (!listFolder(gameUrl(), root.get(), "", listing)) {
        qDebug() << "listing failed -" << printable(gameUrl()).constData()
                 << connection.errorString().c_str();
        listing.clear();
        failed = connection.listingTooLong(); // a server that answers, but not sanely
    }
    if (listing.empty() && !failed) {
        connection.close();
        phase = NothingFound;
        return;
    }
    // Every file's size and time before the first byte: the figures for the whole
    // download, and what tells whether a partial file may be continued.
    // Decided before the first question about a file, and again once sizing has listed
    // folders with dotted names.
    if (!stopped() && decodeNames(false)) {
        sizeTree(root.get(), "", 0);
    }
    if (!stopped()) {
        decodeNames(true);
    }
    if (!stopped() && repair) {
        bytesTotal = 0;
        chooseRepairs(root.get(), QString());
    }
    if (stopped()) {
        connection.close();
        phase = Failed;
        return;
    }

    if (!stopped()) {
        checkRoom();
    }
    if (stopped()) {
        connection.close();
        phase = Failed;
        return;
    }

    phase = Downloading;
    if (!QDir(gameFolder()).exists() && !QDir::current().mkdir(gameFolder())) {
        fail("could not create folder " + gameFolder());
    }
    // The staging area is the launcher's own: a file or a link in its place is a leftover.
    const QFileInfo staging(stagingFolder());
    if ((staging.isSymLink() || (staging.exists() && !staging.isDir())) &&
        !QFile::remove(stagingFolder())) {
        fail("could not remove " + stagingFolder());
    }
    readyFolder.clear();
    if (!stopped()) {
        prepareStaging();
    }
    if (!stopped()) {
        downloadFiles();
    }
    connection.close();
    // From here the game's files change: the last update's record no longer tells them.
    if (!stopped() && !repair) {
        QFile::remove(gameFolder() + '/' + InstallRecord::fileName);
    }
    if (!stopped()) {
        placeTree(root.get(), "");
    }
    if (stopped()) {
        // What came so far stays in the staging folder for the next run; the game's
        // files are as they were and the version is not recorded.
        phase = Failed;
        return;
    }

    phase = Installing;
    // A repair unpacks only when an unpacked file is damaged or cannot be checked; a package
    // the player left in the folder is not its business.
    if ((!repair || !hasRecord || !damagedEntries.isEmpty()) && !install()) {
        phase = Failed;
        return;
    }
    // On the disk before the run reports success and the version is recorded: a crash
    // must never leave a recorded version over files still in memory.
    if (!PackageInstaller::syncFolder(gameFolder())) {
        qDebug().noquote() << "update failed - could not write" << gameFolder() << "to the disk";
        phase = Failed;
        return;
    }
    QDir(stagingFolder()).removeRecursively();
    InstallRecord done;
    if (repair && hasRecord) {
        done = record;
    }
    writeRecord(root.get(), QString(), done);
    for (const QVector<InstallRecord::Item>* list : {&unpackedNow, &keptNow}) {
        for (const InstallRecord::Item& item : *list) {
            if (repair && hasRecord) {
                done.put(item); // a few put right among many
            } else {
                done.items.append(item);
            }
        }
    }
    if (repair) {
        filesRepaired += unpackedNow.size();
        qDebug() << "repair -" << filesChecked.load() << "files checked," << filesDamaged.load()
                 << "damaged or missing," << filesRepaired.load() << "put right";
    }
    if (!done.save(gameFolder())) {
        qDebug() << "could not write" << gameFolder() + '/' + InstallRecord::fileName;
    }
}

bool FtpThread::listFolder(const std::string& url, FtpNode* node, const std::string& relPath,
                           std::string& listing) {
    if (factsListing) {
        const bool listed = connection.list(url, node, relPath, listing, true);
        if (listed || !connection.commandUnknown()) {
            return listed;
        }
        qDebug() << "the server does not know MLSD: names are listed alone";
        factsListing = false;
    }
    return connection.list(url, node, relPath, listing);
}

void FtpThread::onListReceived(FtpNode* node, const std::string& relPath,
                               const std::string& listing) {
    const int depth =
        relPath.empty() ? 0 : int(std::count(relPath.begin(), relPath.end(), '/')) + 1;
    int names = 0;
    treeListingBytes += static_cast<long long>(listing.size());
    if (treeListingBytes > maxListingBytesPerTree) {
        fail(QString("the game's listings hold more than %1 bytes").arg(maxListingBytesPerTree));
        return;
    }
    // Names already taken in this folder: looked up, not searched for, so a listing of many
    // names costs no more than its length.
    std::unordered_set<std::string> rawNames;
    for (const std::unique_ptr<FtpNode>& known : node->children) {
        rawNames.insert(known->name);
    }
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
        std::string name = listing.substr(start, end - start);
        if (++names > maxNamesPerFolder || ++treeNames > maxNamesPerTree) {
            fail(QString("more than %1 names in one folder or %2 in the game")
                     .arg(maxNamesPerFolder)
                     .arg(maxNamesPerTree));
            return;
        }
        // With facts the kind is known; names alone leave it to a guess (no dot: a folder).
        int kind = -1;
        long long size = -1;
        long long modified = -1;
        if (factsListing) {
            const std::size_t space = name.find(' ');
            if (space == std::string::npos) {
                fail("a listing line without facts: " + QString(printableName(name)));
                return;
            }
            if (!readFacts(name.substr(0, space), kind, size, modified)) {
                continue;
            }
            name.erase(0, space + 1);
        }

        if (name.find("svn") != std::string::npos) {
            continue;
        }
        // Some servers list a folder itself and its parent: never a file of the game.
        if (name == "." || name == "..") {
            qDebug() << "refused name - " << printableName(name).constData();
            continue;
        }
        const bool dotted = name.find('.') != std::string::npos;
        if (dotted && name.find(".db") != std::string::npos) {
            continue;
        }
        if (!rawNames.insert(name).second) {
            continue; // listed twice: already known
        }
        const bool folder = kind >= 0 ? kind == FtpNode::Directory : !dotted;
        node->children.push_back(
            std::make_unique<FtpNode>(folder ? FtpNode::Directory : FtpNode::File, name));
        FtpNode* child = node->children.back().get();
        if (!folder) {
            if (kind == FtpNode::File) {
                child->size = size;
                child->modified = modified;
            }
            qDebug() << "file - " << printableName(name).constData();
            continue;
        }
        const std::string childPath = joinPath(relPath, name);
        if (depth + 1 > maxDepth) {
            fail(QString("folders nested deeper than %1").arg(maxDepth));
            return;
        }
        if (!isPlainRawName(name)) {
            fail("a listed name is not a plain name: " + QString(printableName(name)));
            return; // never sent back as part of a path
        }
        const std::string url = gameUrl() + encodePath(childPath) + "/";
        std::string childListing;
        if (listFolder(url, child, childPath, childListing)) {
            qDebug() << "dir - " << printableName(name).constData();
        } else if (kind < 0 && connection.refused()) {
            // A name without a dot need not be a folder (README, LICENSE): fetched as a file.
            child->kind = FtpNode::File;
            qDebug() << "file - " << printableName(name).constData() << "(not a folder)";
        } else {
            qDebug() << "listing failed -" << printable(url).constData()
                     << connection.errorString().c_str();
            failed = true;
            return;
        }
    }
}

bool FtpThread::decodeNames(bool logChoice) {
    // One encoding for every name of the tree: a Korean name's CP949 bytes can happen to be
    // valid UTF-8 ("창" is C3 A2, "â"), so a name alone does not tell.
    const bool utf8 = allUtf8(root.get());
    if (logChoice) {
        qDebug() << (utf8 ? "names read as UTF-8: every listed name is valid UTF-8"
                          : "names read as CP949: not every listed name is valid UTF-8");
    }
    return decodeTree(root.get(), utf8, QString());
}

bool FtpThread::decodeTree(FtpNode* node, bool utf8, const QString& localPath) {
    // Local names already taken in this folder, compared as the disk will see them.
    std::unordered_set<std::string> localNames;
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        QString local;
        const bool decoded = utf8 ? NameDecoder::fromServer(child->name, local)
                                  : NameDecoder::fromCp949(child->name, local);
        if (!decoded) {
            fail(QString("a name is not %1: %2")
                     .arg(utf8 ? "UTF-8" : "CP949", QString(printableName(child->name))));
            return false;
        }
        // One gate from the server's name to the local path: a plain child of its folder.
        if (!isPlainRawName(child->name) || local == "." || local == ".." || local.contains('/') ||
            local.contains('\\') ||
            (localPath.isEmpty() &&
             (local.compare(stagingName, Qt::CaseInsensitive) == 0 ||
              local.compare(InstallRecord::fileName, Qt::CaseInsensitive) == 0))) {
            fail("a listed name is not a plain name: " + local);
            return false;
        }
        child->localName = local.toUtf8().toStdString();
        if (!localNames.insert(child->localName).second) {
            fail("two listed names are both " + local);
            return false;
        }
        if (child->kind == FtpNode::Directory &&
            !decodeTree(child.get(), utf8, localPath + '/' + local)) {
            return false;
        }
    }
    return true;
}

bool FtpThread::allUtf8(const FtpNode* node) {
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        if (!NameDecoder::isUtf8(child->name) || !allUtf8(child.get())) {
            return false;
        }
    }
    return true;
}

bool FtpThread::sizeTree(FtpNode* node, const std::string& rawPath, int depth) {
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        if (stopped()) {
            return false;
        }
        const std::string childPath = joinPath(rawPath, child->name);
        if (child->kind == FtpNode::Directory) {
            if (!sizeTree(child.get(), childPath, depth + 1)) {
                return false;
            }
            continue;
        }
        const std::string url = gameUrl() + encodePath(childPath);
        // Asked for only when the listing did not tell.
        if ((child->size >= 0 && child->modified >= 0) ||
            connection.fileInfo(url, child->size, child->modified)) {
            if (!acceptSize(child.get(), child->size)) {
                return false;
            }
            if (child->size > 0) {
                bytesTotal += child->size;
            }
            continue;
        }
        const bool dotted = child->name.find('.') != std::string::npos;
        if (!connection.refused() || !dotted) {
            qDebug() << "download failed -" << printable(url).constData()
                     << connection.errorString().c_str();
            failed = true;
            return false;
        }
        // A name with a dot need not be a file (v1.0, jre1.8): listed as a folder.
        if (depth + 1 > maxDepth) {
            fail(QString("folders nested deeper than %1").arg(maxDepth));
            return false;
        }
        child->kind = FtpNode::Directory;
        std::string listing;
        if (!listFolder(url + "/", child.get(), childPath, listing)) {
            fail("neither a file nor a folder on the server: " + qPath(child->localName));
            return false;
        }
        qDebug() << "dir - " << child->localName.c_str() << "(not a file)";
        if (stopped() || !sizeTree(child.get(), childPath, depth + 1)) {
            return false;
        }
    }
    return true;
}

bool FtpThread::acceptSize(const FtpNode* node, long long size) {
    if (size > maxFileBytes) {
        fail(QString("the server announces %1 bytes for %2").arg(size).arg(qPath(node->localName)));
        return false;
    }
    return true;
}

void FtpThread::prepareStaging() {
    const QString stamps = stagingFolder() + "/" + stampsName;
    if (!QDir().mkpath(stagingFolder()) || !clearWayTo(stagingFolder(), stamps)) {
        fail("could not make room in the staging folder " + stagingFolder());
        return;
    }
    // An earlier run's stamps, by path: "size time path" a line.
    QHash<QByteArray, QByteArray> earlier;
    QFile in(stamps);
    if (in.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : in.readAll().split('\n')) {
            const int second = line.indexOf(' ', line.indexOf(' ') + 1);
            if (second > 0) {
                earlier.insert(line.mid(second + 1), line.left(second));
            }
        }
        in.close();
    }
    QByteArray current;
    if (!clearStaleData(root.get(), "", earlier, current)) {
        return;
    }
    // Old data went first: a crash from here on leaves only data of the files stamped.
    QSaveFile out(stamps);
    if (!out.open(QIODevice::WriteOnly) || out.write(current) != current.size() || !out.commit()) {
        fail("could not write " + stamps);
    }
}

bool FtpThread::clearStaleData(const FtpNode* node, const std::string& localPath,
                               const QHash<QByteArray, QByteArray>& earlier, QByteArray& current) {
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        const std::string childLocal = joinPath(localPath, child->localName);
        if (child->kind == FtpNode::Directory) {
            if (!clearStaleData(child.get(), childLocal, earlier, current)) {
                return false;
            }
            continue;
        }
        const QByteArray path = QByteArray::fromStdString(childLocal);
        if (child->size >= 0 && child->modified >= 0) {
            const QByteArray stamp =
                QByteArray::number(child->size) + ' ' + QByteArray::number(child->modified);
            current += stamp + ' ' + path + '\n';
            if (earlier.value(path) == stamp) {
                continue; // the very file the staged data came from
            }
        }
        const QString staged = stagingFolder() + "/data/" + qPath(childLocal);
        const QFileInfo info(staged);
        if ((info.isFile() || info.isSymLink()) && !QFile::remove(staged)) {
            fail("could not remove " + staged);
            return false;
        }
    }
    return true;
}

void FtpThread::collectWanted(FtpNode* node, const std::string& rawPath,
                              const std::string& localPath, std::deque<Wanted>& out) {
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        const std::string childRaw = joinPath(rawPath, child->name);
        const std::string childLocal = joinPath(localPath, child->localName);
        if (child->kind == FtpNode::Directory) {
            collectWanted(child.get(), childRaw, childLocal, out);
        } else if (child->wanted) {
            out.push_back(Wanted{child.get(), childRaw, childLocal});
        }
    }
}

void FtpThread::downloadFiles() {
    std::deque<Wanted> pending;
    collectWanted(root.get(), "", "", pending);
    // The listing's connection takes the first file; more join only when there are more
    // files, each logging in on its own.
    fetches.clear();
    fetches.resize(std::clamp<std::size_t>(pending.size(), 1, transfersAtOnce));
    fetches[0].connection = &connection;
    fetches[0].proven = true;
    for (std::size_t i = 1; i < fetches.size(); ++i) {
        auto more = std::make_unique<FtpConnection>(this);
        if (more->open(&connection)) {
            fetches[i].connection = more.get();
            moreConnections.push_back(std::move(more));
        }
    }
    while (true) {
        for (Fetch& fetch : fetches) {
            while (fetch.connection && !fetch.connection->running() && !pending.empty() &&
                   !stopped()) {
                fetch.wanted = pending.front();
                pending.pop_front();
                if (startFetch(fetch)) {
                    break;
                }
            }
        }
        if (std::none_of(fetches.begin(), fetches.end(),
                         [](const Fetch& fetch) { return fetch.busy(); })) {
            break;
        }
        // Once the run has failed, the other downloads end too.
        const bool moved = connection.drive();
        if (!moved) {
            fail("libcurl could not move the downloads");
        }
        for (Fetch& fetch : fetches) {
            if (fetch.busy() && failed) {
                fetch.connection->stop();
            }
            if (fetch.busy() && (!moved || fetch.connection->ended())) {
                endFetch(fetch, pending);
            }
        }
    }
    fetches.clear();
    moreConnections.clear();
}

bool FtpThread::startFetch(Fetch& fetch) {
    FtpNode* node = fetch.wanted.node;
    fetch.staged = stagingFolder() + "/data/" + qPath(fetch.wanted.localPath);
    // Whatever an earlier run left in the way inside the staging area goes; what this run
    // has fetched stays.
    if (!clearWayTo(stagingFolder(), fetch.staged, &readyFolder)) {
        fail("could not make room in the staging folder " + stagingFolder());
        return false;
    }
    // Data left by an earlier run for another file than the server's was removed before
    // this run's stamps were written: what is staged now may be continued.
    fetch.resumeFrom = 0;
    const QFileInfo stagedInfo(fetch.staged);
    if (node->size >= 0 && node->modified >= 0 && stagedInfo.isFile() &&
        stagedInfo.size() <= node->size) {
        fetch.resumeFrom = stagedInfo.size();
    }
    bytesDone += fetch.resumeFrom;
    fetch.counted = fetch.resumeFrom;

    const std::string url = gameUrl() + encodePath(fetch.wanted.rawPath);
    qDebug() << "ftp file - " << printable(url).constData();
    qDebug() << "loc file - " << (localFolder + gameName + "/" + fetch.wanted.localPath).c_str();
    if (fetch.resumeFrom > 0 && fetch.resumeFrom == node->size) {
        qDebug() << "already whole from an earlier run";
        return false;
    }
    fetch.file = std::make_unique<QFile>(fetch.staged);
    const QIODevice::OpenMode mode =
        fetch.resumeFrom > 0 ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!fetch.file->open(mode)) {
        fail(" Could not open file for writing " + fetch.staged + ": " + fetch.file->errorString());
        fetch.file.reset();
        return false;
    }
    if (fetch.resumeFrom > 0) {
        qDebug() << "continuing at byte" << fetch.resumeFrom;
    }
    total = int(std::clamp(node->size, 0ll, (long long)INT_MAX));
    fetch.left = node->size >= 0 ? node->size - fetch.resumeFrom : -1;
    if (!fetch.connection->startDownload(url, gameName + "/" + fetch.wanted.rawPath, fetch.buffer,
                                         fetch.resumeFrom)) {
        fetch.file.reset();
        qDebug() << "download failed -" << printable(url).constData()
                 << fetch.connection->errorString().c_str();
        failed = true;
        return false;
    }
    return true;
}

void FtpThread::endFetch(Fetch& fetch, std::deque<Wanted>& pending) {
    FtpConnection& over = *fetch.connection;
    FtpNode* node = fetch.wanted.node;
    const std::string url = gameUrl() + encodePath(fetch.wanted.rawPath);
    bool received = over.finishDownload();
    if (!received && fetch.resumeFrom > 0 && over.restartRefused() && fetch.file->flush() &&
        fetch.file->resize(0)) {
        // The server cannot continue a file: it comes again from its first byte.
        qDebug() << "the server refused to continue; starting over";
        bytesDone -= fetch.counted;
        fetch.counted = 0;
        fetch.resumeFrom = 0;
        fetch.left = node->size;
        if (over.startDownload(url, gameName + "/" + fetch.wanted.rawPath, fetch.buffer, 0)) {
            return; // under way again
        }
    }
    const bool written = fetch.file->flush();
    const bool nothingCame = fetch.file->size() == fetch.resumeFrom;
    fetch.file->close();
    fetch.file.reset();
    if (!received && !fetch.proven && nothingCame && !stopped()) {
        // A further connection the server would not serve (it may take fewer at once): it is
        // left out and its file goes to another connection.
        qDebug() << "a further connection failed -" << over.errorString().c_str()
                 << "- its file goes to another";
        bytesDone -= fetch.counted;
        pending.push_front(fetch.wanted);
        over.close();
        fetch.connection = nullptr;
        return;
    }
    if (!received) {
        qDebug() << "download failed -" << printable(url).constData() << over.errorString().c_str();
        failed = true; // the data so far stays for the next run
        return;
    }
    fetch.proven = true;
    if (!written) {
        fail("could not write " + fetch.staged);
        return;
    }
    const qint64 size = QFileInfo(fetch.staged).size();
    bytesDone += size - fetch.counted;
    if (node->size >= 0 && size != node->size) {
        QFile::remove(fetch.staged);
        fail(QString("%1 came with %2 bytes, the server announced %3")
                 .arg(qPath(fetch.wanted.localPath))
                 .arg(size)
                 .arg(node->size));
    }
}

FtpThread::Fetch* FtpThread::fetchOf(const FtpConnection& from) {
    for (Fetch& fetch : fetches) {
        if (fetch.connection == &from) {
            return &fetch;
        }
    }
    return nullptr;
}

void FtpThread::placeTree(FtpNode* node, const std::string& localPath) {
    // Everything placed here lands in this folder: it must resolve inside the game folder.
    const QString folder = localPath.empty() ? gameFolder() : gameFolder() + '/' + qPath(localPath);
    if (!insideGameFolder(folder + "/-")) {
        fail(folder + " leads out of the game folder");
        return;
    }
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        if (stopped()) {
            return;
        }
        const std::string childLocal = joinPath(localPath, child->localName);
        const QString target = gameFolder() + '/' + qPath(childLocal);
        if (child->kind == FtpNode::Directory) {
            // A file where the server now has a folder is replaced by the folder. A link to a
            // folder is the player's (games moved to another disk): kept, and the files below
            // it must still land inside the game folder.
            const QFileInfo existing(target);
            if ((existing.isSymLink() ? !existing.isDir()
                                      : existing.exists() && !existing.isDir()) &&
                !QFile::remove(target)) {
                fail("could not replace file " + target + " by a folder");
                return;
            }
            if (!QDir().mkpath(target)) {
                fail("could not create folder " + target);
                return;
            }
            placeTree(child.get(), childLocal);
            continue;
        }
        if (!child->wanted) {
            continue; // a repair leaves whole files alone
        }
        const QString staged = stagingFolder() + "/data/" + qPath(childLocal);
        const QFileInfo stagedInfo(staged);
        if (!stagedInfo.isFile() || stagedInfo.isSymLink()) {
            if (child->size == 0) {
                continue; // a file with no bytes makes no local file
            }
            fail("the downloaded " + qPath(childLocal) + " is missing");
            return;
        }
        if (stagedInfo.size() == 0) {
            QFile::remove(staged); // a file with no bytes makes no local file
            continue;
        }
        // A folder where the server now has a file is replaced by the file.
        if (QFileInfo(target).isDir() && !QFileInfo(target).isSymLink() &&
            !QDir(target).removeRecursively()) {
            fail("could not replace folder " + target + " by a file");
            return;
        }
        if (!PackageInstaller::replaceFile(staged, target)) {
            fail(" Could not write file " + target);
            return;
        }
    }
}

void FtpThread::checkRoom() {
    // What comes, and the package's room to unpack (at least its own size again), with the
    // margin the installer keeps: refused before the first byte rather than on a full disk.
    long long package = 0;
    for (const std::unique_ptr<FtpNode>& child : root->children) {
        if (isPackage(root.get(), child.get())) {
            package = std::max(0ll, child->size);
        }
    }
    const long long needed = bytesTotal + package + PackageInstaller::spareBytes;
    const QStorageInfo storage(QFileInfo::exists(gameFolder()) ? gameFolder() : qPath(localFolder));
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < needed) {
        fail(QString("the update needs %1 bytes on the disk of %2, %3 are free")
                 .arg(needed)
                 .arg(gameFolder())
                 .arg(storage.bytesAvailable()));
    }
}

bool FtpThread::isPackage(const FtpNode* folder, const FtpNode* node) const {
    return folder == root.get() && node->kind == FtpNode::File &&
           node->localName == gameName + ".zip";
}

bool FtpThread::insideGameFolder(const QString& path) const {
    // The deepest part of the path that exists, as the disk resolves it, links and all.
    QString existing = QFileInfo(path).absolutePath();
    while (!QFileInfo::exists(existing) && existing.contains('/')) {
        existing = QFileInfo(existing).absolutePath();
    }
    const QString folder = QFileInfo(gameFolder()).canonicalFilePath();
    const QString resolved = QFileInfo(existing).canonicalFilePath();
    return !folder.isEmpty() && (resolved == folder || resolved.startsWith(folder + '/'));
}

void FtpThread::onFileReceived(FtpConnection& from, const std::string& relPath,
                               const std::string& data) {
    Fetch* fetch = fetchOf(from);
    if (data.empty() || !fetch || !fetch->file || !fetch->file->isOpen()) {
        return;
    }
    QFile& file = *fetch->file;
    const qint64 size = static_cast<qint64>(data.size());
    // The room on the disk was checked for the announced sizes: no byte beyond them.
    if (fetch->left >= 0 && size > fetch->left) {
        fail(QString("%1 brings more bytes than the server announced")
                 .arg(QString(printableName(relPath))));
        from.abortTransfer();
        // Not a file to continue later: the same server would only bring too much again.
        file.close();
        file.remove();
        return;
    }
    fetch->left -= fetch->left >= 0 ? size : 0;
    if (file.write(data.data(), size) != size) {
        qDebug() << " Could not write file" << file.errorString();
        failed = true;
        from.abortTransfer();
        return;
    }
}

void FtpThread::onProgress(FtpConnection& from, double dltotal, double dlnow, double, double) {
    auto toInt = [](double value) {
        return value <= 0 ? 0 : value >= INT_MAX ? INT_MAX : static_cast<int>(value);
    };
    if (dltotal > 0) {
        total = toInt(dltotal);
    }
    current = toInt(dlnow);
    Fetch* fetch = fetchOf(from);
    if (fetch && dlnow > 0) {
        const long long now = fetch->resumeFrom + static_cast<long long>(dlnow);
        bytesDone += now - fetch->counted;
        fetch->counted = now;
    }
}

bool FtpThread::install() {
    PackageInstaller installer(gameName, total, current);
    if (repair && hasRecord) {
        installer.unpackOnly(damagedEntries);
    } else if (repair) {
        installer.unpackOnlyChanged();
    }
    if (installer.run()) {
        unpackedNow = installer.unpackedFiles();
        keptNow = installer.keptFiles();
        if (repair && !hasRecord) {
            filesChecked += unpackedNow.size() + keptNow.size();
            filesDamaged += unpackedNow.size();
        }
        return true;
    }
    // The package goes back to the staging area with its stamp, so the next update installs
    // it again without a second download; a damaged one is fetched again.
    const QString package = gameFolder() + '/' + qPath(gameName) + ".zip";
    const QString staged = stagingFolder() + "/data/" + qPath(gameName) + ".zip";
    if (QFileInfo(package).isFile() &&
        (installer.packageDamaged() || !PackageInstaller::replaceFile(package, staged))) {
        QFile::remove(package);
    }
    return false;
}

void FtpThread::verifyInstalled() {
    hasRecord = record.load(gameFolder());
    damagedFiles.clear();
    damagedEntries.clear();
    if (!hasRecord) {
        qDebug() << "no record of the last update: files are checked against the server's sizes";
        return;
    }
    // The panel counts files here, as while unpacking.
    total = int(std::min<qsizetype>(record.items.size(), INT_MAX));
    for (const InstallRecord::Item& item : record.items) {
        if (stopped()) {
            return;
        }
        ++current;
        ++filesChecked;
        if (!intact(item)) {
            qDebug().noquote() << "damaged or missing -" << item.path;
            (item.unpacked ? damagedEntries : damagedFiles).insert(item.path);
            ++filesDamaged;
        }
    }
}

bool FtpThread::intact(const InstallRecord::Item& item) {
    const QString path = gameFolder() + '/' + item.path;
    if (!item.unpacked) {
        // A loose file's content has no sum to check it by.
        const QFileInfo info(path);
        return info.isFile() && info.size() == item.size;
    }
    return InstallRecord::fileMatches(path, item.size, item.crc, checkBuffer,
                                      [this] { return !stopped(); });
}

void FtpThread::chooseRepairs(FtpNode* node, const QString& localPath) {
    long long wantedBytes = 0;
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        const QString path =
            (localPath.isEmpty() ? QString() : localPath + '/') + qPath(child->localName);
        if (child->kind == FtpNode::Directory) {
            chooseRepairs(child.get(), path);
            continue;
        }
        const bool package = isPackage(node, child.get());
        if (hasRecord) {
            child->wanted = damagedFiles.contains(path) || (package && !damagedEntries.isEmpty());
        } else if (package) {
            // Its files have no record to be checked by: the package comes again, and each of
            // its files is compared with what is installed.
            child->wanted = true;
        } else {
            const QFileInfo local(gameFolder() + '/' + path);
            child->wanted = child->size != 0 &&
                            (!local.isFile() || (child->size > 0 && local.size() != child->size));
            ++filesChecked;
            if (child->wanted) {
                qDebug().noquote() << "damaged or missing -" << path;
                damagedFiles.insert(path);
                ++filesDamaged;
            }
        }
        wantedBytes += child->wanted ? std::max(0ll, child->size) : 0;
    }
    bytesTotal += wantedBytes;
}

void FtpThread::writeRecord(FtpNode* node, const QString& localPath, InstallRecord& out) {
    for (const std::unique_ptr<FtpNode>& child : node->children) {
        const QString path =
            (localPath.isEmpty() ? QString() : localPath + '/') + qPath(child->localName);
        if (child->kind == FtpNode::Directory) {
            writeRecord(child.get(), path, out);
            continue;
        }
        const bool package = isPackage(node, child.get());
        const QFileInfo local(gameFolder() + '/' + path);
        // The package is unpacked and gone; a file of no bytes makes no file.
        if (package || !local.isFile() || (repair && hasRecord && !child->wanted)) {
            continue;
        }
        if (repair && child->wanted) {
            ++filesRepaired;
        }
        InstallRecord::Item item;
        item.path = path;
        item.size = local.size();
        item.modified = child->modified;
        if (repair && hasRecord) {
            out.put(item);
        } else {
            out.items.append(item);
        }
    }
}
