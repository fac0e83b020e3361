#include "network/TZBKCurlFileDownloader.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "TZBKNetInternal.h"
#include "platform/TZMutex.h"

namespace {

const int32_t kSlots = TZBKCurlFileDownloader::MAX_DOWNLOAD_THREADS + 1;

// The slot table. Entries are made once and never released; slots past the current count stay
// allocated but unused.
CURL* gHandles[kSlots] = {};
TZMutex* gMutexes[kSlots] = {};
int32_t gSlotCount = 0;

// libcurl hands blocks of at most this size to the write function; large blocks mean few
// open-append-close rounds per range.
const long kReceiveBufferBytes = 512 * 1024;

// Reads leading decimal digits; false when they do not fit 64 bits.
bool ParseSize(const TZString& inText, uint64_t& outValue) {
    outValue = 0;
    for (char16_t unit : inText) {
        if (unit < u'0' || unit > u'9') break;
        const uint64_t digit = static_cast<uint64_t>(unit - u'0');
        if (outValue > (UINT64_MAX - digit) / 10) return false;
        outValue = outValue * 10 + digit;
    }
    return true;
}

// Holds a header list for one transfer and frees it on every path.
struct HeaderList {
    curl_slist* m_list = nullptr;
    ~HeaderList() { TZBKCloudUtilsLite::FreeHeaders(m_list); }
};

}  // namespace

void TZBKCurlFileDownloader::Initialize(const TZBKCloudParams& inParams) {
    TZBK_LOG("TZBKCurlFileDownloader::Initialize");
    if (inParams.m_numDownloadThreads > MAX_DOWNLOAD_THREADS) {
        TZBK_LOG("inCloudParams.m_numDownloadThreads > MAX_DOWNLOAD_THREADS");
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    if (inParams.m_numDownloadThreads < 1) {
        TZBK_LOG("inCloudParams.m_numDownloadThreads < 1");
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    gSlotCount = 0;
    for (int32_t slot = 0; slot <= inParams.m_numDownloadThreads; ++slot) {
        if (gHandles[slot] == nullptr) gHandles[slot] = curl_easy_init();
        if (gHandles[slot] == nullptr) TZBKThrowInternal(__FILE__, __LINE__);
        if (gMutexes[slot] == nullptr) gMutexes[slot] = new TZMutex;
    }
    gSlotCount = inParams.m_numDownloadThreads + 1;
}

uint64_t TZBKCurlFileDownloader::GetFileSizeBytesFromURL(const TZString& inUrl,
                                                         const TZBKCloudParams& inParams,
                                                         const std::list<TZString>& inHeaders,
                                                         const bool* inCancelFlag) {
    TZBK_LOG("TZBKCurlFileDownloader::GetFileSizeBytesFromURL");
    m_success = false;
    const int32_t slot = inParams.m_numDownloadThreads;
    if (slot < 0 || slot >= gSlotCount || gMutexes[slot] == nullptr)
        TZBKThrowInternal(__FILE__, __LINE__);
    TZLock lock(*gMutexes[slot]);
    CURL* handle = gHandles[slot];
    if (handle == nullptr) TZBKThrowInternal(__FILE__, __LINE__);

    const std::string url = inUrl.ToUTF8();
    TZBKCurlMemorySink sink;
    sink.m_cancelFlag = inCancelFlag;
    HeaderList headers;
    curl_easy_reset(handle);
    TZBKCloudUtilsLite::SetCommonOptions(handle, inParams, inUrl);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    TZBKCloudUtilsLite::SetHeaders(inHeaders, headers.m_list, handle);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &TZBKCloudUtilsLite::WriteToMemory);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 20L);
    // An error page's Content-Length is not the file's size.
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);

    const CURLcode result = curl_easy_perform(handle);
    TZBKCloudUtilsLite::FreeHeaders(headers.m_list);
    if (result != CURLE_OK) {
        TZBK_LOG("TZBKCurlFileDownloader::GetFileSizeBytesFromURL, failed to get filesize for %s. "
                 "Curl returned %d.",
                 url.c_str(), static_cast<int>(result));
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    m_success = true;
    const std::list<TZString> lines = TZBKCloudUtilsLite::LastResponseLines(
        TZBKCloudUtilsLite::SplitLines(TZString(sink.m_bytes.c_str())));
    uint64_t size = 0;
    if (!ParseSize(TZBKCloudUtilsLite::FindContentLength(lines), size)) {
        m_success = false;
        TZBK_LOG("TZBKCurlFileDownloader::GetFileSizeBytesFromURL, size of %s too large.",
                 url.c_str());
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    return size;
}

void TZBKCurlFileDownloader::DownloadFileRangeFromURL(
    const TZFile& ioFile, uint64_t inOffset, uint64_t inLength, const TZString& inUrl,
    const TZBKCloudParams& inParams, int32_t inThreadIndex, const std::list<TZString>& inHeaders,
    const bool* inCancelFlag) {
    TZBK_LOG("TZBKCurlFileDownloader::DownloadFileRangeFromURL");
    m_success = false;
    if (inThreadIndex > inParams.m_numDownloadThreads) {
        TZBK_LOG("inThreadIndex > inCloudParams.m_numDownloadThreads");
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    if (inThreadIndex < 0 || inThreadIndex >= gSlotCount) TZBKThrowInternal(__FILE__, __LINE__);
    if (inLength != 0 && inOffset > UINT64_MAX - inLength) TZBKThrowInternal(__FILE__, __LINE__);

    // The range's file starts empty on every call, so a repeated part never resumes old bytes.
    const std::string path = ioFile.ToString().ToUTF8();
    const std::string url = inUrl.ToUTF8();
    {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::remove(path, error);
        const fs::path parent = fs::path(path).parent_path();
        if (!parent.empty()) fs::create_directories(parent, error);
        std::FILE* created = std::fopen(path.c_str(), "wb");
        if (created == nullptr || std::fclose(created) != 0 || !fs::is_regular_file(path, error))
            TZBKThrowInternal(__FILE__, __LINE__);
    }

    TZLock lock(*gMutexes[inThreadIndex]);
    if (TZBKIsCancelled(inCancelFlag)) return;
    CURL* handle = gHandles[inThreadIndex];
    if (handle == nullptr) TZBKThrowInternal(__FILE__, __LINE__);

    TZBKCurlFileSink sink(ioFile, inCancelFlag, inLength);
    TZBKCurlProgress progress;
    progress.m_cancelFlag = inCancelFlag;
    progress.m_receiver = m_receiver;
    progress.m_context = m_context;
    progress.m_upload = false;
    HeaderList headers;

    curl_easy_reset(handle);
    if (inParams.m_connectTimeoutMs != 0)
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(inParams.m_connectTimeoutMs));
    // A range has no whole-request limit (a slow link may take long), but a reply that stalls
    // for the request time-out fails the part instead of holding it forever.
    if (inParams.m_timeoutMs != 0) {
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>((inParams.m_timeoutMs + 999) / 1000));
    }
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    TZBKCloudUtilsLite::SetRequestLogOptions(handle);
    TZBKCloudUtilsLite::SetTLSOptions(handle, inParams, inUrl);
    TZBKCloudUtilsLite::SetHeaders(inHeaders, headers.m_list, handle);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    // An error status ends the transfer before its page reaches the file.
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    std::string range;
    if (inLength != 0) {
        TZString text;
        text.AppendUInt64(inOffset);
        text += u'-';
        text.AppendUInt64(inOffset + inLength - 1);
        range = text.ToUTF8();
        curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
    }
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &TZBKCloudUtilsLite::AppendToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &TZBKCloudUtilsLite::ProgressCallback);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &progress);

    CURLcode result = curl_easy_perform(handle);
    TZBKCloudUtilsLite::FreeHeaders(headers.m_list);
    if (result == CURLE_OK && !TZBKCloudUtilsLite::FlushFileSink(sink)) result = CURLE_WRITE_ERROR;
    const std::string fileName = path;

    if (result == CURLE_ABORTED_BY_CALLBACK) {
        TZBK_LOG("TZBKCurlFileDownloader::DownloadFileRangeFromURL, Aborted download of %s to %s",
                 url.c_str(), fileName.c_str());
        return;
    }
    if (result != CURLE_OK) {
        TZBK_LOG("TZBKCurlFileDownloader::DownloadFileRangeFromURL, failed to download %s to %s. "
                 "Curl returned %d.",
                 url.c_str(), fileName.c_str(), static_cast<int>(result));
        TZBKThrowInternal(__FILE__, __LINE__);
    }

    // libcurl's success only says the connection delivered what the server announced; the part
    // is good only when the server answered this range and the file holds exactly its bytes.
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    bool rangeAnswered = status == 206 || (status == 200 && (inLength == 0 || inOffset == 0));
    std::error_code error;
    const uintmax_t onDisk = std::filesystem::file_size(path, error);
    if (error || onDisk != sink.m_bytesWritten) rangeAnswered = false;
    if (inLength != 0 && sink.m_bytesWritten != inLength) rangeAnswered = false;
    if (!rangeAnswered) {
        TZBK_LOG("TZBKCurlFileDownloader::DownloadFileRangeFromURL, failed to download %s to %s. "
                 "HTTP status %ld, %llu bytes received.",
                 url.c_str(), fileName.c_str(), status,
                 static_cast<unsigned long long>(sink.m_bytesWritten));
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    m_success = true;
}
