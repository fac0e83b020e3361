// TZBKCurlFileDownloader: the two transfers a multipart download is made of, a size query and
// the download of one byte range into a file of its own.
//
// Transfers run on many threads at once. A process-wide table of libcurl handles, one per slot,
// each guarded by its own mutex, is built once by Initialize: slots 0 to
// m_numDownloadThreads - 1 serve ranges, slot m_numDownloadThreads serves size queries. A
// transfer holds its slot's mutex for its whole length, so calls with the same slot run one after
// another and at most m_numDownloadThreads ranges transfer at once. Handles are reused (their
// connections too) and never released; every transfer resets its handle's options first.
//
// Failures throw TZBKException with the key kTZErrorInternal after a log line. A transfer
// stopped by the cancel flag or by a progress receiver that declined returns normally with
// IsSuccessful() false.
//
// An object is short-lived and used by one thread; Initialize must run before any transfer and
// while none runs.
#pragma once

#include <cstdint>
#include <list>

#include "network/TZBKCloudParams.h"
#include "network/TZBKCloudUtilsLite.h"
#include "platform/TZFile.h"
#include "platform/TZString.h"

class TZBKCurlFileDownloader {
public:
    static const int32_t MAX_DOWNLOAD_THREADS = 128;

    // Builds the slot table for inParams.m_numDownloadThreads (at most 128) ranges. Throws when
    // the count is above 128 or below 1 or a handle cannot be made. A later call replaces the
    // table; handles of the earlier one are kept alive, since they are never released.
    static void Initialize(const TZBKCloudParams& inParams);

    TZBKCurlFileDownloader() = default;
    TZBKCurlFileDownloader(ITZBKCurlProgressCallback* inReceiver, void* inContext)
        : m_receiver(inReceiver), m_context(inContext) {}

    // A HEAD request (redirects followed); the size is the Content-Length of the final response,
    // 0 when it has none (IsSuccessful() is still true then). Throws on a libcurl error, an error
    // status (400 and above) and a size that does not fit 64 bits.
    uint64_t GetFileSizeBytesFromURL(const TZString& inUrl, const TZBKCloudParams& inParams,
                                     const std::list<TZString>& inHeaders,
                                     const bool* inCancelFlag);

    // Downloads bytes inOffset .. inOffset + inLength - 1 (inLength 0: the whole resource) into
    // ioFile, which is recreated empty first (its folder too, if missing). Success needs a 206
    // answer (or 200 for a range that starts at 0 and covers the whole body) whose bytes are
    // exactly the range; anything else throws, and no error page ever lands in the file.
    // inThreadIndex (0 to m_numDownloadThreads) selects the slot.
    void DownloadFileRangeFromURL(const TZFile& ioFile, uint64_t inOffset, uint64_t inLength,
                                  const TZString& inUrl, const TZBKCloudParams& inParams,
                                  int32_t inThreadIndex, const std::list<TZString>& inHeaders,
                                  const bool* inCancelFlag);

    bool IsSuccessful() const { return m_success; }

private:
    bool m_success = false;
    ITZBKCurlProgressCallback* m_receiver = nullptr;
    void* m_context = nullptr;
};
