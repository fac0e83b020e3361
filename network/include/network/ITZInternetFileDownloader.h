// ITZInternetFileDownloader: one fire-and-forget HTTP GET whose body is thrown away; the
// analytics pings use it. No identification headers, no certificate options beyond libcurl's
// defaults, no request log. Redirects are followed; the request may take 5 seconds at most.
//
// The single instance is made on first use under a process-wide lock and lives until the
// process ends. SendRequest keeps no state in the instance: any thread may call it, each request
// on a handle of its own.
#pragma once

#include "platform/TZString.h"

class ITZInternetFileDownloader {
public:
    // inUnused is not read.
    static ITZInternetFileDownloader& Instance(void* inUnused = nullptr);

    // Records that the application has initialised libcurl process-wide (curl_global_init) and
    // keeps it so until it ends; without that record every SendRequest initialises libcurl
    // itself and cleans it up again.
    static void SetCurlInitialized(bool inInitialized);
    static bool IsCurlInitialized();

    virtual ~ITZInternetFileDownloader();

    // GETs inUrl. True when libcurl reports success (any HTTP status counts, 404 too). False when
    // the transfer fails (then "curl_easy_perform() failed: <reason>" goes to standard error) or
    // no handle can be made.
    bool SendRequest(const TZString& inUrl);

    // The request time-out in seconds.
    long GetTimeoutSeconds() const { return m_timeoutSeconds; }

private:
    ITZInternetFileDownloader() = default;

    long m_timeoutSeconds = 5;
};
