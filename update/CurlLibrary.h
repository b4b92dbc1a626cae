#pragma once

#include <QString>

#include <curl/curl.h>

// libcurl, loaded when the first transfer needs it rather than with the program: the
// library and the eighteen it depends on cost every start several milliseconds and their
// memory, while most runs never update a game. One table of entry points for the process,
// loaded and globally set up once, from whichever thread asks first; thread-safe.
class CurlLibrary {
public:
    // The loaded library; null when it cannot be loaded or set up (see errorString()).
    static const CurlLibrary* get();
    // Why get() returned null; empty while it has not failed.
    static QString errorString();
    // Whether the library has been loaded into the process by now.
    static bool isLoaded();

    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    CURLM* (*multiInit)() = nullptr;
    CURLMcode (*multiCleanup)(CURLM*) = nullptr;
    CURLMcode (*multiAddHandle)(CURLM*, CURL*) = nullptr;
    CURLMcode (*multiRemoveHandle)(CURLM*, CURL*) = nullptr;
    CURLMcode (*multiPerform)(CURLM*, int*) = nullptr;
    CURLMcode (*multiPoll)(CURLM*, curl_waitfd[], unsigned, int, int*) = nullptr;
    CURLMcode (*multiFdset)(CURLM*, fd_set*, fd_set*, fd_set*, int*) = nullptr;
    CURLMsg* (*multiInfoRead)(CURLM*, int*) = nullptr;

private:
    CurlLibrary() = default;
    // Resolves every entry point and runs the global set-up; false with `error` set.
    bool load(QString& error);
};
