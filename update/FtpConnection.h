#pragma once

#include <cstddef>
#include <string>

class CurlLibrary;
class FtpConnectionDelegate;
class FtpNode;

// The libcurl easy handle of one update run and the delegate told about transfers. Held
// by value in FtpThread and used only on its worker thread.
//
// Connections can form a group driven by one libcurl multi handle: the group's first
// connection owns it, the others join it when they open. Several downloads of a group then
// move at once on the one thread that drives it, each on its own server connection.
class FtpConnection {
public:
    // A download reaches the delegate in pieces of about this size, so a package of any
    // size streams to disk through a small buffer.
    static constexpr std::size_t pieceSize = 1024 * 1024;
    // A names-only listing longer than this is not a game folder: the transfer is ended.
    static constexpr std::size_t maxListingBytes = 8 * 1024 * 1024;

    explicit FtpConnection(FtpConnectionDelegate* delegate = nullptr);
    ~FtpConnection();
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    // Loads libcurl on first use and creates the easy handle; false (errorString() says
    // why) when either cannot be done. close() cleans it up. With a group (an open
    // connection, closed after this one), this connection joins the group's multi handle.
    bool open(FtpConnection* group = nullptr);
    void close();
    bool isOpen() const { return handle != nullptr; }

    // Listing of the folder at url (which ends in "/"): names only (NLST), or with each
    // name's facts (MLSD: kind, size, time) when `facts` is set. On success the delegate's
    // onListReceived gets the reply; false when the transfer failed.
    bool list(const std::string& url, FtpNode* node, const std::string& relPath, std::string& out,
              bool facts = false);
    // Starts the whole-file download of url, received into out, without waiting for it: it
    // moves whenever the group is driven (drive()), and ended() tells when it is over; then
    // finishDownload() says whether it succeeded. The delegate's onFileReceived gets the
    // bytes in order, a piece whenever out holds pieceSize bytes and the rest from
    // finishDownload(). A download that failed or was stopped is not a whole file: the
    // pieces handed on are what came until it broke. With resumeFrom above 0 the server is
    // asked to start at that byte (REST). False when the transfer could not even start
    // (errorString() says why).
    bool startDownload(const std::string& url, const std::string& relPath, std::string& out,
                       long long resumeFrom = 0);
    // Whether a started download is on its way (until finishDownload()).
    bool running() const { return active; }
    bool ended() const { return !active || done; }
    bool finishDownload();
    // Moves every transfer of the group a step, waiting a few milliseconds at most for their
    // sockets. False when libcurl itself failed.
    bool drive();
    // Size and modification time of the file at url (SIZE, MDTM) without its data; -1
    // for a figure the server did not give. False when the server refused or failed.
    bool fileInfo(const std::string& url, long long& size, long long& modified);
    // Ends the running download from inside a delegate call (its file cannot be written).
    void abortTransfer() { aborted = true; }
    // Ends the running download between two steps of the group (the run has failed): what
    // came of it is handed on as of a broken transfer.
    void stop() { halted = true; }

    // Why the last transfer failed (empty after a success).
    const std::string& errorString() const { return error; }
    // Whether the last transfer failed because the server refused its path (no such file
    // or folder, or not one of that kind), as against a failed connection or local write.
    bool refused() const;
    // Whether the last listing was ended for being longer than maxListingBytes.
    bool listingTooLong() const { return tooLong; }
    // The server refused to continue a file where it was cut off (REST).
    bool restartRefused() const;
    // The server does not know the last command (500, 502 or 504), as against refusing
    // its path: an MLSD it does not speak.
    bool commandUnknown() const;

    // How long to wait for a connection, and how long a transfer may move less than one
    // byte per second (or the server keep a reply back) before it is given up; both in
    // seconds, for every transfer started afterwards.
    static void setTimeouts(long connectSeconds, long stallSeconds);

    // libcurl's write callback: appends to the string being received.
    static std::size_t append(char* data, std::size_t size, std::size_t count, void* connection);
    // libcurl's progress callback: passes the figures on while a download runs, and
    // aborts the transfer when the worker thread has been asked to stop.
    static int progress(void* connection, double dltotal, double dlnow, double ultotal,
                        double ulnow);

private:
    bool perform(const std::string& url);
    // Sets up the transfer of url on the easy handle and adds it to the group's multi handle.
    bool begin(const std::string& url);
    // Takes the ended transfer off the multi handle; whether it succeeded.
    bool end();
    // Drives the group until this connection's transfer has ended.
    void driveToEnd();

    // Longest wait for the sockets between two steps of a transfer, in milliseconds. The
    // library sometimes has a step left without a socket to wait on (the data connection
    // right after a quick EPSV reply): it is then taken this soon, not a second later.
    static constexpr int maxWaitMs = 5;

    const CurlLibrary* api = nullptr; // set by open()
    void* handle = nullptr;           // CURL*
    void* multi = nullptr; // CURLM* driving the group; holds the connections between transfers
    FtpConnection* group = nullptr; // the connection owning `multi` (this one, when it does)
    FtpConnectionDelegate* delegate;
    std::string* target = nullptr;         // string the running transfer appends to
    const std::string* filePath = nullptr; // relative path of the running download
    bool aborted = false;
    bool halted = false;
    bool tooLong = false;
    bool active = false;    // a transfer is on the multi handle
    bool done = false;      // ... and has ended, with result:
    int result = 0;         // its CURLcode
    bool stepTaken = false; // the group's last step was taken without a wait
    int lastResult = 0;     // CURLcode of the last transfer
    long lastReply = 0;     // the server's last reply code in it
    std::string error;
    char errorBuffer[256] = {};
};
