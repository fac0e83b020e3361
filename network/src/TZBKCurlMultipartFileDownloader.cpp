#include "network/TZBKCurlMultipartFileDownloader.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "TZBKNetInternal.h"
#include "network/TZBKCurlFileDownloader.h"
#include "platform/FileXferBytes.h"
#include "platform/TZStreamUtil.h"

namespace {

TZFile PartFileOf(const TZFile& inTarget, uint64_t inPartIndex) {
    TZString name = inTarget.ToString();
    name.AppendUInt64(inPartIndex);
    return TZFile(name);
}

void RemoveFile(const TZFile& inFile) {
    std::error_code error;
    std::filesystem::remove(inFile.ToString().ToUTF8(), error);
}

}  // namespace

void TZBKCloudThreadCallbackReceiver::Run() { m_service.Run(); }

// ---------------------------------------------------------------------------------------------

TZBKCurlMultipartFileDownloader::TZBKCurlMultipartFileDownloader(
    const TZBKCloudParams* inParams, ITZCustomExceptionHandler* inHandler,
    const bool* inCancelFlag, const TZFile& inTarget, const TZString& inUrl)
    : m_params(inParams),
      m_url(inUrl),
      m_handler(inHandler),
      m_cancelFlag(inCancelFlag),
      m_target(inTarget) {}

TZBKCurlMultipartFileDownloader::~TZBKCurlMultipartFileDownloader() = default;

uint64_t TZBKCurlMultipartFileDownloader::PartCount(uint64_t inSize, uint64_t inPartSize) {
    if (inPartSize == 0) return 0;
    return inSize / inPartSize + (inSize % inPartSize != 0 ? 1 : 0);
}

bool TZBKCurlMultipartFileDownloader::OnProgress(void* inContext, int32_t& inPercent) {
    if (inContext == nullptr) return false;
    auto* part = static_cast<TZBKCurlFileDownloadService*>(inContext);
    int64_t sum = 0;
    {
        TZLock lock(m_percentMutex);
        m_partPercent[part->GetPartIndex()] = inPercent;
        for (const auto& entry : m_partPercent) sum += entry.second;
    }
    const uint64_t parts = PartCount(m_fileSizeBytes, m_params->m_partSizeBytes);
    int32_t overall = 0;
    if (parts != 0)
        overall = static_cast<int32_t>(static_cast<float>(sum) / static_cast<float>(parts) + 0.5f);
    if (m_receiver == nullptr) return true;
    return m_receiver->OnProgress(m_receiverContext, overall);
}

bool TZBKCurlMultipartFileDownloader::DownloadFile() {
    TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile");
    {
        TZLock lock(m_percentMutex);
        m_partPercent.clear();
    }
    std::vector<std::shared_ptr<TZBKCurlFileDownloadService>> parts;
    bool result = false;
    try {
        if (m_fileSizeBytes == 0) {
            TZBKCurlFileDownloader sizeQuery;
            m_fileSizeBytes =
                sizeQuery.GetFileSizeBytesFromURL(m_url, *m_params, m_headers, m_cancelFlag);
        }
        if (m_fileSizeBytes == 0) {
            TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile, fileSizeBytes == 0");
            TZBKThrowInternal(__FILE__, __LINE__);
        }
        const uint64_t numParts = PartCount(m_fileSizeBytes, m_params->m_partSizeBytes);
        if (numParts == 0) TZBKThrowInternal(__FILE__, __LINE__);

        // Every part gets its thread and its pending request at once; the slot table limits how
        // many transfer.
        for (uint64_t index = 0; index < numParts; ++index) {
            auto part = std::make_shared<TZBKCurlFileDownloadService>(
                m_params, m_cancelFlag, m_handler, m_target, m_url);
            part->SetPart(index, m_fileSizeBytes, m_headers, this, part.get());
            parts.push_back(part);
            part->StartService();
        }

        int32_t failures = 0;
        uint64_t successes = 0;
        for (const auto& part : parts) {
            for (;;) {
                part->Join();
                if (part->IsSuccessful()) {
                    ++successes;
                    break;
                }
                ++failures;
                if (TZBKIsCancelled(m_cancelFlag) || failures >= kMaxFailures) break;
                part->StartService();
            }
        }

        if (successes != numParts) {
            TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile, successCount != numParts");
        } else if (TZBKIsCancelled(m_cancelFlag)) {
            TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile, cancelled");
        } else {
            result = JoinParts(numParts);
        }
    } catch (...) {
        TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile, caught Exception.");
        result = false;
    }

    // Every part thread has ended before its file goes, on every path.
    const uint64_t made = parts.size();
    try {
        parts.clear();
    } catch (...) {
        TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile, caught Exception.");
        result = false;
    }
    for (uint64_t index = 0; index < made; ++index) RemoveFile(PartFileOf(m_target, index));
    return result;
}

bool TZBKCurlMultipartFileDownloader::JoinParts(uint64_t inNumParts) {
    bool joined = false;
    {
        std::unique_ptr<ITZStream> target = TZStreamUtil::NewWriteStream(
            m_target, FileXferBytes::kOpenWrite | FileXferBytes::kOpenCreate);
        if (target) {
            joined = true;
            for (uint64_t index = 0; joined && index < inNumParts; ++index) {
                std::unique_ptr<ITZStream> part =
                    TZStreamUtil::NewReadStream(PartFileOf(m_target, index));
                joined = part && TZStreamUtil::Copy(part.get(), target.get()) ==
                                     TZStreamUtil::kCopyOK;
            }
        }
    }
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(m_target.ToString().ToUTF8(), error);
    if (joined && (error || size != m_fileSizeBytes)) joined = false;
    if (!joined) {
        TZBK_LOG("TZBKCurlMultipartFileDownloader::DownloadFile, joining the parts failed");
        RemoveFile(m_target);
    }
    return joined;
}

// ---------------------------------------------------------------------------------------------

TZBKCurlFileDownloadService::TZBKCurlFileDownloadService(const TZBKCloudParams* inParams,
                                                         const bool* inCancelFlag,
                                                         ITZCustomExceptionHandler* inHandler,
                                                         const TZFile& inTarget,
                                                         const TZString& inUrl)
    : m_callbackReceiver(*this),
      m_workerThread(2, &m_callbackReceiver, inHandler),
      m_params(inParams),
      m_cancelFlag(inCancelFlag),
      m_target(inTarget),
      m_url(inUrl) {
    TZBK_LOG("TZBKCurlFileDownloadService::TZBKCurlFileDownloadService");
}

TZBKCurlFileDownloadService::~TZBKCurlFileDownloadService() {
    TZBK_LOG("TZBKCurlFileDownloadService::~TZBKCurlFileDownloadService");
    StopService(true);
}

void TZBKCurlFileDownloadService::SetPart(uint64_t inPartIndex, uint64_t inFileSizeBytes,
                                          const std::list<TZString>& inHeaders,
                                          ITZBKCurlProgressCallback* inReceiver, void* inContext) {
    m_partIndex = inPartIndex;
    m_fileSizeBytes = inFileSizeBytes;
    m_headers = inHeaders;
    m_receiver = inReceiver;
    m_receiverContext = inContext;
}

void TZBKCurlFileDownloadService::StartService() {
    TZBK_LOG("TZBKCurlFileDownloadService::StartService");
    m_stopRequested = false;
    m_finished = false;
    m_paused = false;
    m_workerThread.Start();
}

void TZBKCurlFileDownloadService::StopService(const bool& inJoin) {
    TZBK_LOG("TZBKCurlFileDownloadService::StopService");
    if (!inJoin) TZBKThrowInternal(__FILE__, __LINE__);
    m_stopRequested = true;
    m_workerThread.Join();
}

void TZBKCurlFileDownloadService::Pause() {
    TZBK_LOG("TZBKCurlFileDownloadService::Pause, not implemented!");
    TZBKThrowInternal(__FILE__, __LINE__);
}

void TZBKCurlFileDownloadService::Resume() {
    TZBK_LOG("TZBKCurlFileDownloadService::Resume, not implemented!");
    TZBKThrowInternal(__FILE__, __LINE__);
}

void TZBKCurlFileDownloadService::Join() {
    TZBK_LOG("TZBKCurlFileDownloadService::Join");
    m_workerThread.Join();
}

void TZBKCurlFileDownloadService::Run() {
    TZBK_LOG("TZBKCurlFileDownloadService::Run");
    m_succeeded = false;
    try {
        m_succeeded = DownloadPart();
    } catch (...) {
        TZBK_LOG("Caught unknown exception in TZBKCurlFileDownloadService::Run");
        m_succeeded = false;
    }
    m_finished = true;
}

TZFile TZBKCurlFileDownloadService::GetPartFile() const {
    return PartFileOf(m_target, m_partIndex);
}

bool TZBKCurlFileDownloadService::DownloadPart() {
    TZBK_LOG("TZBKCurlFileDownloadService::DownloadPart");
    if (m_fileSizeBytes == 0) {
        TZBKCurlFileDownloader sizeQuery;
        m_fileSizeBytes = sizeQuery.GetFileSizeBytesFromURL(m_url, *m_params, m_headers,
                                                            m_cancelFlag);
    }
    if (m_fileSizeBytes == 0) {
        TZBK_LOG("TZBKCurlFileDownloadService::DownloadPart, m_fileSizeBytes == 0");
        return false;
    }
    const uint64_t partSize = m_params->m_partSizeBytes;
    if (partSize == 0 || m_partIndex >= TZBKCurlMultipartFileDownloader::PartCount(
                                            m_fileSizeBytes, partSize))
        TZBKThrowInternal(__FILE__, __LINE__);
    const uint64_t offset = m_partIndex * partSize;
    const uint64_t length = m_fileSizeBytes - offset < partSize ? m_fileSizeBytes - offset
                                                                : partSize;
    const int32_t threads = m_params->m_numDownloadThreads;
    const int32_t slot =
        threads > 1 ? static_cast<int32_t>(m_partIndex % static_cast<uint64_t>(threads)) : 0;

    TZBKCurlFileDownloader downloader(m_receiver, m_receiverContext);
    downloader.DownloadFileRangeFromURL(GetPartFile(), offset, length, m_url, *m_params, slot,
                                        m_headers, m_cancelFlag);
    return !m_stopRequested && !TZBKIsCancelled(m_cancelFlag) && downloader.IsSuccessful();
}
