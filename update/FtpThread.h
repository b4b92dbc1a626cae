#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <QSet>
#include <QString>
#include <QThread>
#include <QVector>

#include "update/FtpConnection.h"
#include "update/FtpConnectionDelegate.h"
#include "update/FtpNode.h"
#include "update/InstallRecord.h"

class QByteArray;
class QFile;
class QString;
template <class Key, class T> class QHash;

// Brings one game's folder from the FTP server into "../../../<game>" and unpacks the
// game's package there. Made and deleted by FtpDownloadView on the GUI thread; run()
// and the delegate calls run on the worker. The panel only reads the atomic figures.
//
// Files are received into a staging folder inside the game folder and put in place only
// once every one of them is whole; an interrupted run leaves its partial data there, and
// the next run continues a file whose size and time on the server have not changed.
class FtpThread : public QThread, public FtpConnectionDelegate {
public:
    enum Phase {
        NotStarted = 0,
        Listing = 1,
        Downloading = 2,
        Installing = 3, // also the end of a run that succeeded
        Verifying = 4,  // a repair checks the installed files
        NothingFound = -1,
        Failed = -2, // a transfer, a local write or the installation failed
    };

    // Limits on what a server may send: names in one folder, folders within folders.
    static constexpr int maxNamesPerFolder = 100000;
    static constexpr int maxDepth = 32;
    // ... and in the whole tree: names, and bytes of all its listings.
    static constexpr int maxNamesPerTree = 1000000;
    static constexpr long long maxListingBytesPerTree = 64ll << 20;
    // A file the server announces as larger than this is refused (4 TiB): no game holds
    // one, and a million of them still add up without overflow.
    static constexpr long long maxFileBytes = 1ll << 42;
    // Files fetched at once, each over a server connection of its own: while one waits for
    // the server or the disk, the others move. A server that takes fewer connections gets
    // fewer: a further connection over which no file came whole gives its file back.
    static constexpr int transfersAtOnce = 3;
    // The staging folder's name inside the game folder; the server may not list it.
    static const char* const stagingName;
    // The file in the staging folder noting each staged file's size and time on the server.
    static const char* const stampsName;

    // With `repair`, the run checks the installed files against the record of the last
    // update (without one, against the sizes the server lists) and fetches, places and
    // unpacks again only what fails the check; files the record does not name stay.
    explicit FtpThread(const std::string& gameName, bool repair = false);
    ~FtpThread() override;

    void onFileReceived(FtpConnection& from, const std::string& relPath,
                        const std::string& data) override;
    void onProgress(FtpConnection& from, double dltotal, double dlnow, double ultotal,
                    double ulnow) override;
    void onListReceived(FtpNode* node, const std::string& relPath,
                        const std::string& listing) override;

    // Gives every listed name its local name, all in one encoding (UTF-8 when every name of
    // the tree is valid UTF-8, else CP949), through one gate: a plain child of its folder,
    // unique there. False (the run failed) for the first name that is not.
    bool decodeNames(bool logChoice);
    // Whether listings carry each name's facts (MLSD) or names only (NLST). A run asks for
    // facts first and falls back to names when the server does not know MLSD.
    void setFactsListing(bool facts) { factsListing = facts; }

    // The listed tree (valid once the run has ended).
    const FtpNode* tree() const { return root.get(); }

    // Written by the worker, read by the GUI thread without a lock: atomic ints suffice.
    std::atomic<int> phase{NotStarted};
    std::atomic<int> total{0};
    std::atomic<int> current{0};
    // The download phase as a whole: bytes of every file to fetch, and bytes in hand
    // (a resumed file counts what it already had).
    std::atomic<long long> bytesTotal{0};
    std::atomic<long long> bytesDone{0};
    // A repair's figures: files checked, found damaged or missing, and put right.
    std::atomic<int> filesChecked{0};
    std::atomic<int> filesDamaged{0};
    std::atomic<int> filesRepaired{0};

protected:
    void run() override;

private:
    // A file to fetch, by its path on the server and on the disk.
    struct Wanted {
        FtpNode* node;
        std::string rawPath;
        std::string localPath;
    };
    // A download over one connection of the group (under way while the connection runs).
    struct Fetch {
        FtpConnection* connection = nullptr; // null once left out
        bool proven = false;                 // a file came whole over it
        Wanted wanted{};
        QString staged; // its file in the staging folder
        std::unique_ptr<QFile> file;
        std::string buffer; // pieces on their way to disk
        long long resumeFrom = 0;
        long long counted = 0; // its bytes counted in bytesDone
        long long left = -1;   // bytes it may still bring, -1: unknown
        bool busy() const { return connection && connection->running(); }
    };

    bool sizeTree(FtpNode* node, const std::string& rawPath, int depth);
    bool listFolder(const std::string& url, FtpNode* node, const std::string& relPath,
                    std::string& listing);
    // Takes a size the server announced for a file; false (the run failed) when it is
    // beyond any game's.
    bool acceptSize(const FtpNode* node, long long size);
    bool decodeTree(FtpNode* node, bool utf8, const QString& localPath);
    static bool allUtf8(const FtpNode* node);
    // Removes staged data that no longer matches its file on the server, then notes the
    // stamps of this run's files.
    void prepareStaging();
    bool clearStaleData(const FtpNode* node, const std::string& localPath,
                        const QHash<QByteArray, QByteArray>& earlier, QByteArray& current);
    void collectWanted(FtpNode* node, const std::string& rawPath, const std::string& localPath,
                       std::deque<Wanted>& out);
    // Fetches every wanted file into the staging folder, transfersAtOnce at a time.
    void downloadFiles();
    // Opens the fetch's staged file and starts its download; false when none runs (the file
    // was whole already, or the run failed).
    bool startFetch(Fetch& fetch);
    // Takes the fetch's ended download: checks and keeps the file, starts it again when the
    // server cannot continue it, or gives the file back to `pending`.
    void endFetch(Fetch& fetch, std::deque<Wanted>& pending);
    Fetch* fetchOf(const FtpConnection& connection);
    void placeTree(FtpNode* node, const std::string& localPath);
    // Whether the node is the game's package: "<game>.zip" at the top of the tree.
    bool isPackage(const FtpNode* folder, const FtpNode* node) const;
    // Whether a path stays inside the game folder once the links of its existing part are
    // followed.
    bool insideGameFolder(const QString& path) const;
    // Fails the run when the disk cannot take the download and the package's unpacking.
    void checkRoom();
    bool install();
    // Checks every file the record names (Verifying); notes the damaged ones.
    void verifyInstalled();
    bool intact(const InstallRecord::Item& item);
    // Marks the listed files a repair fetches: damaged ones, and the package when an entry
    // is; without a record, every file missing or of another size than the server's.
    void chooseRepairs(FtpNode* node, const QString& localPath);
    // Notes what this run put in place, for the next repair.
    void writeRecord(FtpNode* node, const QString& localPath, InstallRecord& out);
    bool stopped() const { return failed || isInterruptionRequested(); }
    std::string gameUrl() const;
    QString gameFolder() const;
    QString stagingFolder() const;
    void fail(const QString& why);

    std::string gameName;
    std::unique_ptr<FtpNode> root;
    FtpConnection connection;
    std::string baseUrl;            // the server's address, read once per run
    bool failed = false;            // a transfer or local write failed: nothing more is done
    int treeNames = 0;              // names listed so far in this run
    long long treeListingBytes = 0; // bytes of this run's listings so far
    std::vector<Fetch> fetches;     // the downloads under way, one per connection
    bool factsListing = true;       // listings are MLSD replies
    QString readyFolder;            // staging folder made ready for the last download
    // The group's connections besides `connection`, which owns it and is closed after them.
    std::vector<std::unique_ptr<FtpConnection>> moreConnections;
    bool repair = false;
    InstallRecord record; // what the last update installed, read by a repair
    bool hasRecord = false;
    QSet<QString> damagedFiles;   // a repair's loose files to fetch again, by local path
    QSet<QString> damagedEntries; // ... and unpacked files to unpack again
    QVector<InstallRecord::Item> unpackedNow; // what this run's package unpacked
    QVector<InstallRecord::Item> keptNow;     // ... and found already in place, unchanged
    std::vector<char> checkBuffer;            // a repair reads files through it
};
