// The multipart download: one large file fetched as fixed-size byte ranges, each on a worker
// thread of its own, then joined into the target file.
//
//   TZBKCurlMultipartFileDownloader  asks for the size, cuts the file into parts of
//                                    m_partSizeBytes, starts one TZBKCurlFileDownloadService per
//                                    part, restarts failed parts within a budget of ten failures
//                                    shared by all parts, joins the part files in order and
//                                    deletes them on every path. It turns the parts' percentages
//                                    into one overall percentage for its receiver.
//   TZBKCurlFileDownloadService      one part: its range, its part file ("<target name><index>"
//                                    beside the target) and its worker thread.
//
// TZBKCurlFileDownloader::Initialize must have run with the same params before DownloadFile.
// At most m_numDownloadThreads ranges transfer at once: parts whose indices are equal modulo
// m_numDownloadThreads share a handle slot and run one after another.
//
// Cancellation: the cancel flag (see TZBKCloudUtilsLite.h) stops every transfer at its next
// callback (within about a second); waiting parts then start nothing; DownloadFile returns false
// and leaves no part file behind.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>

#include "network/ITZBKCloudService.h"
#include "network/TZBKCloudParams.h"
#include "network/TZBKCloudUtilsLite.h"
#include "platform/TZCustomExceptionHandler.h"
#include "platform/TZFile.h"
#include "platform/TZMutex.h"
#include "platform/TZString.h"
#include "platform/TZBKWorkerThread.h"

class TZBKCurlFileDownloadService;

// The worker-thread callback of a download service: runs the service's Run().
class TZBKCloudThreadCallbackReceiver : public TZBKWorkerThreadCallback {
public:
    explicit TZBKCloudThreadCallbackReceiver(ITZBKCloudService& inService) : m_service(inService) {}
    void Run() override;

private:
    ITZBKCloudService& m_service;
};

class TZBKCurlMultipartFileDownloader : public ITZBKCurlProgressCallback {
public:
    // Nothing is owned: inParams, inHandler and inCancelFlag must outlive the downloader.
    TZBKCurlMultipartFileDownloader(const TZBKCloudParams* inParams,
                                    ITZCustomExceptionHandler* inHandler, const bool* inCancelFlag,
                                    const TZFile& inTarget, const TZString& inUrl);

    // Called from the part threads, several at once. inContext is the reporting service. Stores
    // its percentage and hands the overall percentage to the receiver; returns the receiver's
    // answer (true without a receiver, false without a context).
    bool OnProgress(void* inContext, int32_t& inPercent) override;
    ~TZBKCurlMultipartFileDownloader() override;

    // Downloads and joins the file on the calling thread. True only when the target holds the
    // whole file; false on any failure or cancellation, with no part file left behind and no
    // partly joined target. Never throws.
    virtual bool DownloadFile();

    // The receiver of the overall percentage (may be null) and its context; set before
    // DownloadFile.
    void SetProgressReceiver(ITZBKCurlProgressCallback* inReceiver, void* inContext) {
        m_receiver = inReceiver;
        m_receiverContext = inContext;
    }
    void SetHeaders(const std::list<TZString>& inHeaders) { m_headers = inHeaders; }
    // The file's size: 0 until known. A size set before DownloadFile skips the size query.
    void SetFileSizeBytes(uint64_t inSize) { m_fileSizeBytes = inSize; }
    uint64_t GetFileSizeBytes() const { return m_fileSizeBytes; }

    // How many parts a file of inSize bytes makes with parts of inPartSize bytes (rounded up).
    static uint64_t PartCount(uint64_t inSize, uint64_t inPartSize);

    // Failures a DownloadFile call accepts before it gives up; shared by all parts.
    static const int32_t kMaxFailures = 10;

private:
    bool JoinParts(uint64_t inNumParts);

    const TZBKCloudParams* m_params;
    TZString m_url;
    ITZCustomExceptionHandler* m_handler;
    const bool* m_cancelFlag;
    TZFile m_target;
    std::list<TZString> m_headers;
    uint64_t m_fileSizeBytes = 0;
    ITZBKCurlProgressCallback* m_receiver = nullptr;
    void* m_receiverContext = nullptr;

    TZMutex m_percentMutex;  // guards m_partPercent
    std::map<uint64_t, int32_t> m_partPercent;
};

class TZBKCurlFileDownloadService : public ITZBKCloudService {
public:
    // Nothing is owned; everything given must outlive the service.
    TZBKCurlFileDownloadService(const TZBKCloudParams* inParams, const bool* inCancelFlag,
                                ITZCustomExceptionHandler* inHandler, const TZFile& inTarget,
                                const TZString& inUrl);
    // Stops and joins the worker thread.
    ~TZBKCurlFileDownloadService() override;

    // Owner thread only, while no run is in progress.
    void SetPart(uint64_t inPartIndex, uint64_t inFileSizeBytes,
                 const std::list<TZString>& inHeaders, ITZBKCurlProgressCallback* inReceiver,
                 void* inContext);

    // Starts one run of the part download on the worker thread (again after an earlier run
    // ended, for a retry).
    void StartService() override;
    // inJoin must be true (otherwise throws TZBKException, kTZErrorInternal): marks the stop and
    // waits for the worker thread.
    void StopService(const bool& inJoin) override;
    // Not implemented: throw TZBKException (kTZErrorInternal).
    void Pause() override;
    void Resume() override;
    // Waits for the worker thread, if one was started.
    void Join() override;
    bool IsFinished() override { return m_finished; }
    bool IsSuccessful() override { return m_succeeded; }
    bool IsPaused() override { return m_paused; }
    // The worker thread's body: one part download; exceptions end in m_succeeded false.
    void Run() override;

    uint64_t GetPartIndex() const { return m_partIndex; }
    // "<target's path><part index>".
    TZFile GetPartFile() const;

private:
    bool DownloadPart();

    TZBKCloudThreadCallbackReceiver m_callbackReceiver;
    TZBKWorkerThread m_workerThread;
    const TZBKCloudParams* m_params;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_succeeded{true};
    std::atomic<bool> m_paused{false};
    const bool* m_cancelFlag;
    TZFile m_target;
    uint64_t m_fileSizeBytes = 0;
    TZString m_url;
    uint64_t m_partIndex = 0;
    std::list<TZString> m_headers;
    ITZBKCurlProgressCallback* m_receiver = nullptr;
    void* m_receiverContext = nullptr;
};
