// TZBKCloudParams: the settings of one kind of request (the handshake, the package download).
//
// A plain value type, copied freely. The request pieces (TZBKCloudUtilsLite), the ranged
// downloader (TZBKCurlFileDownloader) and the multipart download read it; nothing writes it
// after the caller has filled it in.
#pragma once

#include <cstdint>

#include "platform/TZPath.h"
#include "platform/TZString.h"

// The handshake service's built-in host name. Development, tests and the demo point the
// installer elsewhere by changing m_host.
extern const char kTZBKHandshakeHost[];

struct TZBKCloudParams {
    TZBKCloudParams();

    TZString m_host;                       // server host; kTZBKHandshakeHost by default
    TZString m_port;                       // server port as text; "443"
    TZString m_pathPrefix;                 // optional path before "/handshake"; empty
    uint32_t m_connectTimeoutMs = 0;       // connection time-out; 0 leaves libcurl's default
    uint32_t m_timeoutMs = 60000;          // whole-request time-out; 0 leaves libcurl's default
    bool m_useTLS = true;                  // "https://" and certificate checks
    TZPath m_caFile;                       // certificate bundle; empty: libcurl's default bundle
    int32_t m_numDownloadThreads = 16;     // concurrent range transfers, at most 128
    uint64_t m_partSizeBytes = 10485760;   // multipart part size (10 MB)
};
