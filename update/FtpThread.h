#pragma once

#include <atomic>
#include <memory>
#include <string>

#include <QThread>

#include "FtpConnection.h"
#include "FtpConnectionDelegate.h"
#include "FtpNode.h"

class QSaveFile;

// Brings one game's folder from the FTP server into "../../../<game>" and unpacks the
// game's package there. Made and deleted by FtpDownloadView on the GUI thread; run()
// and the delegate calls run on the worker. The panel only reads phase, total, current.
class FtpThread : public QThread, public FtpConnectionDelegate {
public:
    enum Phase {
        NotStarted = 0,
        Listing = 1,
        Downloading = 2,
        Installing = 3, // also the end of a run that succeeded
        NothingFound = -1,
        Failed = -2, // a transfer, a local write or the installation failed
    };

    explicit FtpThread(const std::string& gameName);
    ~FtpThread() override;

    void onFileReceived(const std::string& relPath, const std::string& data) override;
    void onProgress(double dltotal, double dlnow, double ultotal, double ulnow) override;
    void onListReceived(FtpNode* node, const std::string& relPath,
                        const std::string& listing) override;

    // The listed tree (valid once the run has ended).
    const FtpNode* tree() const { return root.get(); }

    // Written by the worker, read by the GUI thread without a lock: atomic ints suffice.
    std::atomic<int> phase{NotStarted};
    std::atomic<int> total{0};
    std::atomic<int> current{0};

protected:
    void run() override;

private:
    void downloadTree(FtpNode* node, const std::string& relPath);
    bool install();
    bool stopped() const { return failed || isInterruptionRequested(); }
    std::string gameUrl() const;

    std::string buffer; // pieces of the file being downloaded, on their way to disk
    std::string gameName;
    std::unique_ptr<FtpNode> root;
    FtpConnection connection;
    std::string baseUrl;             // the server's address, read once per run
    bool failed = false;             // a transfer or local write failed: nothing more is done
    std::unique_ptr<QSaveFile> file; // destination of the running download, once data came
};
