#include "update/CurlLibrary.h"

#include <atomic>

#include <QLibrary>
#include <QStringList>

#include "platform/LibraryNames.h"

namespace {
std::atomic<bool> loaded{false};

QString& failure() {
    static QString text;
    return text;
}

template <class F> bool resolve(QLibrary& library, const char* name, F& function, QString& error) {
    function = reinterpret_cast<F>(library.resolve(name));
    if (function == nullptr && error.isEmpty()) {
        error = QStringLiteral("libcurl has no %1: %2").arg(name, library.errorString());
    }
    return function != nullptr;
}
} // namespace

const CurlLibrary* CurlLibrary::get() {
    // Built once; a second thread asking meanwhile waits for the first.
    static const CurlLibrary* const library = [] {
        auto* made = new CurlLibrary;
        QString error;
        if (made->load(error)) {
            return static_cast<const CurlLibrary*>(made);
        }
        failure() = error;
        delete made;
        return static_cast<const CurlLibrary*>(nullptr);
    }();
    return library;
}

QString CurlLibrary::errorString() {
    get();
    return failure();
}

bool CurlLibrary::isLoaded() {
    return loaded;
}

bool CurlLibrary::load(QString& error) {
    // Kept loaded for the rest of the process: handles may live until its end. Its file
    // names are the platform's matter.
    QLibrary library;
    for (const std::string& name : LibraryNames::curl()) {
        library.setFileName(QString::fromStdString(name));
        if (library.load()) {
            break;
        }
        if (error.isEmpty()) {
            error = QStringLiteral("libcurl cannot be loaded: %1").arg(library.errorString());
        }
    }
    if (!library.isLoaded()) {
        return false;
    }
    error.clear();
    loaded = true;
    CURLcode (*globalInit)(long) = nullptr;
    bool all = resolve(library, "curl_global_init", globalInit, error);
    all = resolve(library, "curl_easy_init", easyInit, error) && all;
    all = resolve(library, "curl_easy_cleanup", easyCleanup, error) && all;
    all = resolve(library, "curl_easy_setopt", easySetopt, error) && all;
    all = resolve(library, "curl_easy_getinfo", easyGetinfo, error) && all;
    all = resolve(library, "curl_easy_perform", easyPerform, error) && all;
    all = resolve(library, "curl_easy_strerror", easyStrerror, error) && all;
    all = resolve(library, "curl_multi_init", multiInit, error) && all;
    all = resolve(library, "curl_multi_cleanup", multiCleanup, error) && all;
    all = resolve(library, "curl_multi_add_handle", multiAddHandle, error) && all;
    all = resolve(library, "curl_multi_remove_handle", multiRemoveHandle, error) && all;
    all = resolve(library, "curl_multi_perform", multiPerform, error) && all;
    all = resolve(library, "curl_multi_poll", multiPoll, error) && all;
    all = resolve(library, "curl_multi_fdset", multiFdset, error) && all;
    all = resolve(library, "curl_multi_info_read", multiInfoRead, error) && all;
    if (!all) {
        return false;
    }
    const CURLcode result = globalInit(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK) {
        error = QStringLiteral("libcurl cannot be set up (code %1)").arg(result);
        return false;
    }
    return true;
}
