#include "network/TZBKCloudUtilsLite.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "TZBKNetInternal.h"
#include "platform/SystemUtils.h"
#include "platform/TZAssert.h"
#include "platform/TZLogger.h"

namespace {

const char kSource[] = "..\\..\\..\\source\\components\\briskencore\\cloud\\TZBKCloudUtilsLite";

// The installer's own version, 1.0.0.1.
const int32_t kVersion[] = {1, 0, 0, 1};

bool StartsWithNoCase(const std::string& inText, const char* inPrefix) {
    const size_t n = std::strlen(inPrefix);
    if (inText.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(inText[i])) !=
            std::tolower(static_cast<unsigned char>(inPrefix[i])))
            return false;
    return true;
}

bool IsBlank(char16_t inUnit) { return inUnit == u' ' || inUnit == u'\t' || inUnit == u'\r'; }

char16_t LowerAscii(char16_t inUnit) {
    return (inUnit >= u'A' && inUnit <= u'Z') ? static_cast<char16_t>(inUnit + 32) : inUnit;
}

bool EqualsNoCase(const TZString& inText, const char16_t* inAscii) {
    size_t i = 0;
    for (; inAscii[i] != 0; ++i)
        if (i >= inText.size() || LowerAscii(inText[i]) != LowerAscii(inAscii[i])) return false;
    return i == inText.size();
}

}  // namespace

TZBKCurlFileSink::TZBKCurlFileSink(const TZFile& inFile, const bool* inCancelFlag,
                                   uint64_t inLimitBytes)
    : m_file(inFile),
      m_path(inFile.ToString().ToUTF8()),
      m_cancelFlag(inCancelFlag),
      m_limitBytes(inLimitBytes) {}

TZBKCurlFileSource::TZBKCurlFileSource(const TZFile& inFile, uint64_t inBytes,
                                       const bool* inCancelFlag)
    : m_file(inFile),
      m_path(inFile.ToString().ToUTF8()),
      m_bytesRemaining(inBytes),
      m_cancelFlag(inCancelFlag) {}

void TZBKCloudUtilsLite::AppendStandardHeaders(std::list<TZString>& ioHeaders) {
    TZString version;
    for (size_t i = 0; i < sizeof kVersion / sizeof kVersion[0]; ++i) {
        if (i > 0) version += u'.';
        version.AppendInt(kVersion[i]);
    }
    const bool kernel64 = sizeof(void*) == 8 || SystemUtils::IsWow64();
    ioHeaders.push_back(TZString(u"MachineGuid:0"));
    ioHeaders.push_back(TZString(u"ClientName:Morlix-Installer"));
    ioHeaders.push_back(TZString(u"ClientVersion:") + version);
    ioHeaders.push_back(TZString(u"ClientPlatform:") + SystemUtils::GetPlatformName());
    ioHeaders.push_back(TZString(u"ClientInstallerPlatform:") +
                        (kernel64 ? u"linux64" : u"linux32"));
}

TZString TZBKCloudUtilsLite::GetURLScheme(const TZBKCloudParams& inParams) {
    return TZString(inParams.m_useTLS ? u"https://" : u"http://");
}

void TZBKCloudUtilsLite::SetCommonOptions(CURL* inHandle, const TZBKCloudParams& inParams,
                                          const TZString& inUrl) {
    if (inHandle == nullptr) {
        TZReportAssert("curl pointer missing", kSource, __LINE__);
        TZBKThrowInternal(__FILE__, __LINE__);
    }
    if (inParams.m_connectTimeoutMs != 0)
        curl_easy_setopt(inHandle, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(inParams.m_connectTimeoutMs));
    if (inParams.m_timeoutMs != 0)
        curl_easy_setopt(inHandle, CURLOPT_TIMEOUT_MS, static_cast<long>(inParams.m_timeoutMs));
    curl_easy_setopt(inHandle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    SetRequestLogOptions(inHandle);
    SetTLSOptions(inHandle, inParams, inUrl);
}

void TZBKCloudUtilsLite::SetRequestLogOptions(CURL* inHandle) {
    if (inHandle == nullptr) TZBKThrowInternal(__FILE__, __LINE__);
    if (TZLogger::Instance().m_enabled) {
        curl_easy_setopt(inHandle, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(inHandle, CURLOPT_DEBUGFUNCTION, &TZBKCloudUtilsLite::DebugCallback);
    } else {
        curl_easy_setopt(inHandle, CURLOPT_VERBOSE, 0L);
        curl_easy_setopt(inHandle, CURLOPT_DEBUGFUNCTION, nullptr);
    }
}

void TZBKCloudUtilsLite::SetTLSOptions(CURL* inHandle, const TZBKCloudParams& inParams,
                                       const TZString& inUrl) {
    if (inHandle == nullptr) TZBKThrowInternal(__FILE__, __LINE__);
    // What is fetched over "https://" is later run with the installer's rights: such a URL is
    // always checked, whatever m_useTLS says.
    const bool secureUrl = StartsWithNoCase(inUrl.ToUTF8(), "https://");
    curl_easy_setopt(inHandle, CURLOPT_PROTOCOLS_STR, "http,https");
    if (inParams.m_useTLS || secureUrl) {
        const std::string ca = inParams.m_caFile.ToString().ToUTF8();
        if (!ca.empty()) curl_easy_setopt(inHandle, CURLOPT_CAINFO, ca.c_str());
        curl_easy_setopt(inHandle, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(inHandle, CURLOPT_SSL_VERIFYPEER, 1L);
        if (secureUrl) curl_easy_setopt(inHandle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    } else {
        curl_easy_setopt(inHandle, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(inHandle, CURLOPT_SSL_VERIFYPEER, 0L);
    }
}

void TZBKCloudUtilsLite::SetHeaders(const std::list<TZString>& inHeaders, curl_slist*& ioList,
                                    CURL* inHandle) {
    if (inHandle == nullptr) TZBKThrowInternal(__FILE__, __LINE__);
    for (const TZString& header : inHeaders) {
        std::string line = header.ToUTF8();
        // libcurl drops a header written "Name:" with nothing after the colon; "Name;" is its
        // way of sending one with an empty value.
        const size_t colon = line.find(':');
        if (colon != std::string::npos && line.find_first_not_of(" \t", colon + 1) == std::string::npos)
            line = line.substr(0, colon) + ";";
        curl_slist* grown = curl_slist_append(ioList, line.c_str());
        if (grown == nullptr) TZBKThrowInternal(__FILE__, __LINE__);
        ioList = grown;
    }
    curl_easy_setopt(inHandle, CURLOPT_HTTPHEADER, ioList);
}

void TZBKCloudUtilsLite::FreeHeaders(curl_slist*& ioList) {
    curl_slist_free_all(ioList);
    ioList = nullptr;
}

int TZBKCloudUtilsLite::DebugCallback(CURL*, curl_infotype inType, char* inData, size_t inSize,
                                      void*) {
    if (inType == CURLINFO_DATA_IN || inType == CURLINFO_DATA_OUT) return 0;
    try {
        std::string message = "CURL LOG - ";
        switch (inType) {
            case CURLINFO_TEXT:
                message += "TEXT::\n";
                message.append(inData, inSize);
                break;
            case CURLINFO_HEADER_IN:
                message += "HEADER_IN::\n";
                message.append(inData, inSize);
                break;
            case CURLINFO_HEADER_OUT:
                message += "HEADER_OUT::\n";
                message.append(inData, inSize);
                break;
            default:
                message += "UNKNOWN_TYPE::\n";
                message += std::to_string(inSize) + " bytes";
                break;
        }
        TZLogger& logger = TZLogger::Instance();
        if (logger.m_enabled) logger.WriteLine(message.c_str());
    } catch (...) {
        // A log line that cannot be built is dropped; the transfer goes on.
    }
    return 0;
}

size_t TZBKCloudUtilsLite::WriteToMemory(char* inData, size_t inSize, size_t inCount,
                                         void* inSink) {
    auto* sink = static_cast<TZBKCurlMemorySink*>(inSink);
    if (sink == nullptr || TZBKIsCancelled(sink->m_cancelFlag)) return 0;
    try {
        sink->m_bytes.append(inData, inSize * inCount);
    } catch (...) {
        return 0;
    }
    return inSize * inCount;
}

size_t TZBKCloudUtilsLite::AppendToFile(char* inData, size_t inSize, size_t inCount,
                                        void* inSink) {
    auto* sink = static_cast<TZBKCurlFileSink*>(inSink);
    if (sink == nullptr || TZBKIsCancelled(sink->m_cancelFlag)) return 0;
    const size_t bytes = inSize * inCount;
    const uint64_t received = sink->m_bytesWritten + sink->m_pending.size();
    if (sink->m_limitBytes != 0 && bytes > sink->m_limitBytes - received) {
        sink->m_writeFailed = true;
        return 0;
    }
    // The buffer never grows past a megabyte unless a single block is larger.
    if (sink->m_pending.size() + bytes > TZBKCurlFileSink::kFlushBytes && !FlushFileSink(*sink))
        return 0;
    try {
        if (sink->m_pending.capacity() < TZBKCurlFileSink::kFlushBytes)
            sink->m_pending.reserve(TZBKCurlFileSink::kFlushBytes);
        sink->m_pending.append(inData, bytes);
    } catch (...) {
        sink->m_writeFailed = true;
        return 0;
    }
    if (sink->m_pending.size() >= TZBKCurlFileSink::kFlushBytes && !FlushFileSink(*sink)) return 0;
    return bytes;
}

bool TZBKCloudUtilsLite::FlushFileSink(TZBKCurlFileSink& ioSink) {
    if (ioSink.m_pending.empty()) return true;
    std::FILE* file = std::fopen(ioSink.m_path.c_str(), "ab");
    if (file == nullptr) {
        ioSink.m_openFailed = true;
        return false;
    }
    const size_t written = std::fwrite(ioSink.m_pending.data(), 1, ioSink.m_pending.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != ioSink.m_pending.size() || !closed) {
        TZReportAssert("", kSource, __LINE__);
        ioSink.m_writeFailed = true;
        return false;
    }
    ioSink.m_bytesWritten += written;
    ioSink.m_pending.clear();
    return true;
}

size_t TZBKCloudUtilsLite::ReadFromFile(char* outBuffer, size_t inSize, size_t inCount,
                                        void* inSource) {
    auto* source = static_cast<TZBKCurlFileSource*>(inSource);
    if (source == nullptr || TZBKIsCancelled(source->m_cancelFlag)) return CURL_READFUNC_ABORT;
    if (source->m_bytesRemaining == 0) return 0;
    const uint64_t room = static_cast<uint64_t>(inSize) * inCount;
    const size_t want = static_cast<size_t>(room < source->m_bytesRemaining ? room
                                                                          : source->m_bytesRemaining);
    std::FILE* file = std::fopen(source->m_path.c_str(), "rb");
    if (file == nullptr) {
        source->m_openFailed = true;
        return CURL_READFUNC_ABORT;
    }
    size_t got = 0;
    if (fseeko(file, static_cast<off_t>(source->m_offset), SEEK_SET) == 0)
        got = std::fread(outBuffer, 1, want, file);
    std::fclose(file);
    if (got != want) {
        TZReportAssert("", kSource, __LINE__);
        return CURL_READFUNC_ABORT;
    }
    source->m_offset += got;
    source->m_bytesRemaining -= got;
    return got;
}

int TZBKCloudUtilsLite::ProgressCallback(void* inProgress, curl_off_t inDlTotal,
                                         curl_off_t inDlNow, curl_off_t inUlTotal,
                                         curl_off_t inUlNow) {
    auto* progress = static_cast<TZBKCurlProgress*>(inProgress);
    if (progress == nullptr) return 0;
    if (TZBKIsCancelled(progress->m_cancelFlag)) return 1;
    int32_t percent = 0;
    const curl_off_t total = progress->m_upload ? inUlTotal : inDlTotal;
    const curl_off_t now = progress->m_upload ? inUlNow : inDlNow;
    if (total > 0)
        percent = static_cast<int32_t>(static_cast<double>(now) / static_cast<double>(total) *
                                           100.0 + 0.5);
    if (progress->m_receiver == nullptr) return 0;
    try {
        return progress->m_receiver->OnProgress(progress->m_context, percent) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

std::list<TZString> TZBKCloudUtilsLite::SplitLines(const TZString& inText) {
    std::list<TZString> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = inText.find(u'\n', start);
        if (end == TZString::npos) {
            lines.push_back(inText.Substring(start));
            break;
        }
        lines.push_back(inText.Substring(start, end - start));
        start = end + 1;
    }
    return lines;
}

TZString TZBKCloudUtilsLite::FindContentLength(const std::list<TZString>& inLines) {
    for (const TZString& line : inLines) {
        const size_t colon = line.find(u':');
        if (colon == TZString::npos) continue;
        TZString name = line.Substring(0, colon);
        while (!name.empty() && IsBlank(name.back())) name.pop_back();
        if (!EqualsNoCase(name, u"Content-Length")) continue;
        size_t first = colon + 1;
        size_t last = line.size();
        while (first < last && IsBlank(line[first])) ++first;
        while (last > first && IsBlank(line[last - 1])) --last;
        return line.Substring(first, last - first);
    }
    return TZString();
}

std::list<TZString> TZBKCloudUtilsLite::LastResponseLines(const std::list<TZString>& inLines) {
    auto from = inLines.begin();
    for (auto it = inLines.begin(); it != inLines.end(); ++it)
        if (it->compare(0, 5, u"HTTP/") == 0) from = it;
    return std::list<TZString>(from, inLines.end());
}
