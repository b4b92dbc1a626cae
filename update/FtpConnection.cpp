#include "update/FtpConnection.h"

#include <atomic>
#include <new>

#include <QThread>

#include <curl/curl.h>

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

void initLibcurl() {
    // Done once, on the thread that makes the first connection object (the GUI thread).
    static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)done;
}

} // namespace

FtpConnection::FtpConnection(FtpConnectionDelegate* delegate) : delegate(delegate) {
    initLibcurl();
}

FtpConnection::~FtpConnection() {
    close();
}

bool FtpConnection::open() {
    close();
    handle = curl_easy_init();
    multi = curl_multi_init();
    if (!handle || !multi) {
        close();
        return false;
    }
    return true;
}

void FtpConnection::close() {
    if (handle) {
        curl_easy_cleanup(static_cast<CURL*>(handle));
        handle = nullptr;
    }
    if (multi) {
        curl_multi_cleanup(static_cast<CURLM*>(multi));
        multi = nullptr;
    }
}

void FtpConnection::setTimeouts(long connectSeconds, long stallSeconds) {
    connectTimeout = connectSeconds;
    stallTimeout = stallSeconds;
}

bool FtpConnection::list(const std::string& url, FtpNode* node, const std::string& relPath,
                         std::string& out) {
    if (url.empty()) {
        return false;
    }
    out.clear();
    CURL* curl = static_cast<CURL*>(handle);
    if (curl) {
        curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
    }
    target = &out;
    filePath = nullptr;
    if (!perform(url)) {
        return false;
    }
    if (delegate) {
        delegate->onListReceived(node, relPath, out);
    }
    return true;
}

bool FtpConnection::download(const std::string& url, const std::string& relPath, std::string& out,
                             long long resumeFrom) {
    if (url.empty()) {
        return false;
    }
    out.clear();
    CURL* curl = static_cast<CURL*>(handle);
    if (curl) {
        curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 0L);
        // Larger reads: a package of hundreds of megabytes comes in fewer, bigger pieces.
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 512L * 1024L);
        curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE,
                         static_cast<curl_off_t>(resumeFrom > 0 ? resumeFrom : 0));
    }
    out.reserve(pieceSize);
    target = &out;
    filePath = &relPath;
    const bool done = perform(url);
    filePath = nullptr;
    if (curl) {
        curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
    }
    if (!done) {
        // What came before the transfer broke is handed on too: a later run continues
        // from there. Not after the delegate refused the data.
        if (delegate && !aborted && !out.empty()) {
            delegate->onFileReceived(relPath, out);
        }
        return false;
    }
    if (delegate) {
        delegate->onFileReceived(relPath, out);
    }
    return true;
}

bool FtpConnection::fileInfo(const std::string& url, long long& size, long long& modified) {
    size = -1;
    modified = -1;
    CURL* curl = static_cast<CURL*>(handle);
    if (url.empty() || !curl) {
        return false;
    }
    std::string none;
    target = &none;
    filePath = nullptr;
    curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 0L);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    const bool done = perform(url);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 0L);
    if (!done) {
        return false;
    }
    curl_off_t length = -1;
    curl_off_t time = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) {
        size = length;
    }
    if (curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &time) == CURLE_OK) {
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

bool FtpConnection::perform(const std::string& url) {
    CURL* curl = static_cast<CURL*>(handle);
    if (!curl) {
        error = "no connection handle";
        return false;
    }
    if (QThread::currentThread()->isInterruptionRequested()) {
        error = "stopped";
        return false;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &FtpConnection::append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &transferInfo);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    // The worker is one of several threads: no signals for timeouts.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // A dead or stalled server must not keep the update (and the launcher) waiting forever.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, connectTimeout.load());
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, stallTimeout.load());
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallTimeout.load());

    errorBuffer[0] = '\0';
    aborted = false;
    tooLong = false;
    const auto result = static_cast<CURLcode>(run(curl));
    lastResult = result;
    target = nullptr;
    if (result != CURLE_OK || aborted || tooLong) {
        error = tooLong          ? "the listing is longer than 8 MiB"
                : aborted        ? "the received data could not be kept"
                : errorBuffer[0] ? errorBuffer
                                 : curl_easy_strerror(result);
        return false;
    }
    error.clear();
    return true;
}

int FtpConnection::run(void* easy) {
    CURL* curl = static_cast<CURL*>(easy);
    CURLM* driver = static_cast<CURLM*>(multi);
    if (!driver) {
        return curl_easy_perform(curl);
    }
    if (curl_multi_add_handle(driver, curl) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(driver, &running) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
        if (running > 0 && curl_multi_poll(driver, nullptr, 0, maxWaitMs, nullptr) != CURLM_OK) {
            result = CURLE_OUT_OF_MEMORY;
            break;
        }
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(driver, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
            result = message->data.result;
        }
    }
    curl_multi_remove_handle(driver, curl);
    return result;
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
        self->delegate->onFileReceived(*self->filePath, *out);
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
    if (self && self->filePath && self->delegate) {
        self->delegate->onProgress(dltotal, dlnow, ultotal, ulnow);
    }
    return 0;
}
