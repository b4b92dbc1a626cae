#pragma once

#include <string>

class FtpConnection;
class FtpNode;

// What an FtpConnection reports about its transfers; implemented by FtpThread and called
// on the thread that runs the transfers. Never deleted through this interface.
class FtpConnectionDelegate {
public:
    // Bytes of the file being downloaded, in order: a piece at a time while the transfer
    // runs, then the rest once it has succeeded (empty when nothing is left, so a file
    // with no bytes never gets any). Whether the file came whole is finishDownload()'s result.
    // `from` tells which connection of a group brought them.
    virtual void onFileReceived(FtpConnection& from, const std::string& relPath,
                                const std::string& data) = 0;
    // libcurl's progress figures for the download in progress on `from`.
    virtual void onProgress(FtpConnection& from, double dltotal, double dlnow, double ultotal,
                            double ulnow) = 0;
    // A folder listing has ended successfully; listing is the raw names-only reply.
    virtual void onListReceived(FtpNode* node, const std::string& relPath,
                                const std::string& listing) = 0;

protected:
    ~FtpConnectionDelegate() = default;
};
