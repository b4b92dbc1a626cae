#include "update/FtpConnection.h"

#include <atomic>
#include <new>

#include <QThread>

#include "update/CurlLibrary.h"
#include "update/FtpConnectionDelegate.h"

namespace {

std::atomic<long> connectTimeout{30};
std::atomic<long> stallTimeout{30};

int transferInfo(void* connection, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                 curl_off_t ulnow) {
    return FtpConnection::progress(connection, static_cast<double>(dltotal),
                                   static_cast<double>(dlnow), static_cast<double>(ultotal),
                                   static_cast<double>(ulnow));
}

} // namespace

FtpConnection::FtpConnection(FtpConnectionDelegate* delegate) : delegate(delegate) {}

FtpConnection::~FtpConnection() {
    close();
}

bool FtpConnection::open(FtpConnection* owner) {
    close();
    api = CurlLibrary::get();
    if (api == nullptr) {
        error = CurlLibrary::errorString().toStdString();
        return false;
    }
    if (owner && !owner->multi) {
        error = "the connection's group is not open";
        return false;
    }
    handle = api->easyInit();
    group = owner ? owner->group : this;
    multi = owner ? owner->multi : api->multiInit();
    if (!handle || !multi) {
        close();
        error = "libcurl could not make a transfer handle";
        return false;
    }
    return true;
}

void FtpConnection::close() {
    if (handle) {
        if (active) {
            api->multiRemoveHandle(static_cast<CURLM*>(multi), static_cast<CURL*>(handle));
            active = false;
        }
        api->easyCleanup(static_cast<CURL*>(handle));
        handle = nullptr;
    }
    if (multi && group == this) {
        api->multiCleanup(static_cast<CURLM*>(multi));
    }
    multi = nullptr;
    group = nullptr;
}

void FtpConnection::setTimeouts(long connectSeconds, long stallSeconds) {
    connectTimeout = connectSeconds;
    stallTimeout = stallSeconds;
}

bool FtpConnection::list(const std::string& url, FtpNode* node, const std::string& relPath,
                         std::string& out, bool facts) {
    if (url.empty()) {
        return false;
    }
    out.clear();
    CURL* curl = static_cast<CURL*>(handle);
    if (curl) {
        api->easySetopt(curl, CURLOPT_DIRLISTONLY, facts ? 0L : 1L);
        api->easySetopt(curl, CURLOPT_CUSTOMREQUEST, facts ? "MLSD" : nullptr);
    }
    target = &out;
    filePath = nullptr;
    const bool done = perform(url);
    if (curl) {
        api->easySetopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    }
    if (!done) {
        return false;
    }
    if (delegate) {
        delegate->onListReceived(node, relPath, out);
    }
    return true;
}

bool FtpConnection::startDownload(const std::string& url, const std::string& relPath,
                                  std::string& out, long long resumeFrom) {
    if (url.empty()) {
        return false;
    }
    out.clear();
    CURL* curl = static_cast<CURL*>(handle);
    if (curl) {
        api->easySetopt(curl, CURLOPT_HEADER, 0L);
        api->easySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        api->easySetopt(curl, CURLOPT_DIRLISTONLY, 0L);
        // Larger reads: a package of hundreds of megabytes comes in fewer, bigger pieces.
        api->easySetopt(curl, CURLOPT_BUFFERSIZE, 512L * 1024L);
        // No SIZE before each RETR: the sizes come from the listing or were asked for
        // already, and the worker checks what arrives against them. Not when continuing:
        // without it libcurl leaves out the REST too.
        api->easySetopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, resumeFrom > 0 ? 0L : 1L);
        api->easySetopt(curl, CURLOPT_RESUME_FROM_LARGE,
                        static_cast<curl_off_t>(resumeFrom > 0 ? resumeFrom : 0));
    }
    out.reserve(pieceSize);
    target = &out;
    filePath = &relPath;
    if (!begin(url)) {
        filePath = nullptr;
        target = nullptr;
        return false;
    }
    return true;
}

bool FtpConnection::finishDownload() {
    if (!active) {
        return false;
    }
    std::string& out = *target;
    const std::string& relPath = *filePath;
    if (!done) {
        halted = true; // taken off before it ended: not a whole file
    }
    const bool succeeded = end();
    filePath = nullptr;
    api->easySetopt(static_cast<CURL*>(handle), CURLOPT_RESUME_FROM_LARGE,
                    static_cast<curl_off_t>(0));
    if (!succeeded) {
        // What came before the transfer broke is handed on too: a later run continues
        // from there. Not after the delegate refused the data.
        if (delegate && !aborted && !out.empty()) {
            delegate->onFileReceived(*this, relPath, out);
        }
        return false;
    }
    if (delegate) {
        delegate->onFileReceived(*this, relPath, out);
    }
    return true;
}

bool FtpConnection::fileInfo(const std::string& url, long long& size, long long& modified) {
    size = -1;
    modified = -1;
    CURL* curl = static_cast<CURL*>(handle);
    if (url.empty()) {
        return false;
    }
    if (!curl) {
        error = "no connection handle";
        return false;
    }
    std::string none;
    target = &none;
    filePath = nullptr;
    api->easySetopt(curl, CURLOPT_DIRLISTONLY, 0L);
    api->easySetopt(curl, CURLOPT_NOBODY, 1L);
    api->easySetopt(curl, CURLOPT_FILETIME, 1L);
    api->easySetopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
    const bool done = perform(url);
    api->easySetopt(curl, CURLOPT_NOBODY, 0L);
    api->easySetopt(curl, CURLOPT_FILETIME, 0L);
    if (!done) {
        return false;
    }
    curl_off_t length = -1;
    curl_off_t time = -1;
    if (api->easyGetinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) {
        size = length;
    }
    if (api->easyGetinfo(curl, CURLINFO_FILETIME_T, &time) == CURLE_OK) {
        modified = time;
    }
    return true;
}

bool FtpConnection::refused() const {
    switch (lastResult) {
    case CURLE_REMOTE_ACCESS_DENIED:  // CWD into the path failed
    case CURLE_REMOTE_FILE_NOT_FOUND: // SIZE or RETR: no such file
    case CURLE_FTP_COULDNT_RETR_FILE:
        return true;
    default:
        return false;
    }
}

bool FtpConnection::restartRefused() const {
    return lastResult == CURLE_FTP_COULDNT_USE_REST || lastResult == CURLE_RANGE_ERROR;
}

bool FtpConnection::commandUnknown() const {
    return lastReply == 500 || lastReply == 502 || lastReply == 504;
}

bool FtpConnection::perform(const std::string& url) {
    if (!begin(url)) {
        target = nullptr;
        return false;
    }
    driveToEnd();
    return end();
}

void FtpConnection::driveToEnd() {
    while (!done) {
        if (!drive()) {
            result = CURLE_OUT_OF_MEMORY; // libcurl itself failed: the transfer cannot go on
            done = true;
        }
    }
}

bool FtpConnection::begin(const std::string& url) {
    CURL* curl = static_cast<CURL*>(handle);
    if (!curl) {
        error = "no connection handle";
        return false;
    }
    if (QThread::currentThread()->isInterruptionRequested()) {
        error = "stopped";
        return false;
    }
    api->easySetopt(curl, CURLOPT_URL, url.c_str());
    api->easySetopt(curl, CURLOPT_PRIVATE, static_cast<void*>(this));
    api->easySetopt(curl, CURLOPT_WRITEFUNCTION, &FtpConnection::append);
    api->easySetopt(curl, CURLOPT_WRITEDATA, this);
    api->easySetopt(curl, CURLOPT_NOPROGRESS, 0L);
    api->easySetopt(curl, CURLOPT_XFERINFOFUNCTION, &transferInfo);
    api->easySetopt(curl, CURLOPT_XFERINFODATA, this);
    api->easySetopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    // One change of folder per folder, not one per level; names sent as listed.
    api->easySetopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    // The worker is one of several threads: no signals for timeouts.
    api->easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
    // A dead or stalled server must not keep the update (and the launcher) waiting forever.
    api->easySetopt(curl, CURLOPT_CONNECTTIMEOUT, connectTimeout.load());
    api->easySetopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, stallTimeout.load());
    api->easySetopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    api->easySetopt(curl, CURLOPT_LOW_SPEED_TIME, stallTimeout.load());

    errorBuffer[0] = '\0';
    aborted = false;
    halted = false;
    tooLong = false;
    done = false;
    result = CURLE_OK;
    if (api->multiAddHandle(static_cast<CURLM*>(multi), curl) != CURLM_OK) {
        error = "libcurl could not start the transfer";
        lastResult = CURLE_FAILED_INIT;
        return false;
    }
    active = true;
    return true;
}

bool FtpConnection::end() {
    CURL* curl = static_cast<CURL*>(handle);
    api->multiRemoveHandle(static_cast<CURLM*>(multi), curl);
    active = false;
    lastResult = result;
    lastReply = 0;
    api->easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &lastReply);
    target = nullptr;
    if (result != CURLE_OK || aborted || halted || tooLong) {
        error = tooLong          ? "the listing is longer than 8 MiB"
                : aborted        ? "the received data could not be kept"
                : halted         ? "stopped"
                : errorBuffer[0] ? errorBuffer
                                 : api->easyStrerror(static_cast<CURLcode>(result));
        return false;
    }
    error.clear();
    return true;
}

bool FtpConnection::drive() {
    CURLM* driver = static_cast<CURLM*>(multi);
    if (!driver) {
        return false;
    }
    int running = 0;
    if (api->multiPerform(driver, &running) != CURLM_OK) {
        return false;
    }
    // Each ended transfer is told to its own connection.
    bool someEnded = false;
    int queued = 0;
    while (CURLMsg* message = api->multiInfoRead(driver, &queued)) {
        void* owner = nullptr;
        if (message->msg != CURLMSG_DONE ||
            api->easyGetinfo(message->easy_handle, CURLINFO_PRIVATE, &owner) != CURLE_OK ||
            !owner) {
            continue;
        }
        auto* connection = static_cast<FtpConnection*>(owner);
        connection->done = true;
        connection->result = message->data.result;
        someEnded = true;
    }
    if (someEnded || running == 0) {
        return true;
    }
    // A step left without a socket to wait on (the data connection after the EPSV
    // reply) is taken at once, once; waiting would only let the time run out.
    if (!group->stepTaken) {
        fd_set read;
        fd_set write;
        fd_set except;
        FD_ZERO(&read);
        FD_ZERO(&write);
        FD_ZERO(&except);
        int highest = -1;
        if (api->multiFdset(driver, &read, &write, &except, &highest) == CURLM_OK && highest < 0) {
            group->stepTaken = true;
            return true;
        }
    }
    group->stepTaken = false;
    return api->multiPoll(driver, nullptr, 0, maxWaitMs, nullptr) == CURLM_OK;
}

std::size_t FtpConnection::append(char* data, std::size_t size, std::size_t count,
                                  void* connection) {
    auto* self = static_cast<FtpConnection*>(connection);
    const std::size_t bytes = size * count;
    std::string* out = self->target;
    if (!out || self->aborted) {
        return 0; // ends the transfer with a write error
    }
    if (!self->filePath && out->size() + bytes > maxListingBytes) {
        self->tooLong = true;
        return 0;
    }
    try {
        out->append(data, bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (self->filePath && self->delegate && out->size() >= pieceSize) {
        self->delegate->onFileReceived(*self, *self->filePath, *out);
        out->clear();
        if (self->aborted) {
            return 0;
        }
    }
    return bytes;
}

int FtpConnection::progress(void* connection, double dltotal, double dlnow, double ultotal,
                            double ulnow) {
    if (QThread::currentThread()->isInterruptionRequested()) {
        return 1; // the launcher is closing: abort the transfer
    }
    auto* self = static_cast<FtpConnection*>(connection);
    if (self && (self->aborted || self->halted)) {
        return 1; // stopped between two steps: the run has failed
    }
    if (self && self->filePath && self->delegate) {
        self->delegate->onProgress(*self, dltotal, dlnow, ultotal, ulnow);
    }
    return 0;
}
