// The pieces every HTTP(S) request of the installer is built from (all but the analytics pings):
// identification headers, URL scheme, common, request-log and TLS options, header lists, the
// transfer callbacks libcurl calls, and reading a received header block.
//
// Contract of the callbacks: they are handed to libcurl as C functions, so no exception ever
// leaves them. A failure is recorded in the context record and the callback makes libcurl stop
// the transfer; the caller inspects the record after curl_easy_perform returns and throws there.
// They run on the thread that performs the transfer.
//
// The cancel flag: a bool owned by the caller (in the installer, the user interface's
// exit-requested flag). It is set once by another thread while transfers run, so it is read and
// written with atomic operations: read it with TZBKIsCancelled, set it with TZBKSetCancelled. A
// null flag pointer means "never cancelled".
//
// Thread safety: the helpers keep no state; any thread may call them on its own handle.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <list>
#include <string>

#include "network/TZBKCloudParams.h"
#include "platform/TZFile.h"
#include "platform/TZString.h"

inline bool TZBKIsCancelled(const bool* inFlag) {
    return inFlag != nullptr && __atomic_load_n(inFlag, __ATOMIC_ACQUIRE);
}
inline void TZBKSetCancelled(bool* inFlag, bool inValue = true) {
    __atomic_store_n(inFlag, inValue, __ATOMIC_RELEASE);
}

// Receives the progress of one transfer. Called on the transfer's thread, possibly from several
// threads at once when one receiver serves several transfers.
class ITZBKCurlProgressCallback {
public:
    // inContext: the context given with the receiver; inPercent: 0 to 100. Returns true to let the
    // transfer go on, false to abort it.
    virtual bool OnProgress(void* inContext, int32_t& inPercent) = 0;
    virtual ~ITZBKCurlProgressCallback() = default;
};

// Context of WriteToMemory: the received bytes.
struct TZBKCurlMemorySink {
    std::string m_bytes;
    const bool* m_cancelFlag = nullptr;
};

// Context of AppendToFile: the file the bytes are appended to. Blocks are gathered in memory
// and appended to the file a megabyte at a time; FlushFileSink appends the rest after the
// transfer.
struct TZBKCurlFileSink {
    TZBKCurlFileSink(const TZFile& inFile, const bool* inCancelFlag, uint64_t inLimitBytes = 0);

    static const size_t kFlushBytes = 1 << 20;

    TZFile m_file;
    std::string m_path;               // m_file as UTF-8, made once
    uint64_t m_bytesWritten = 0;      // bytes in the file
    std::string m_pending;            // bytes received but not yet in the file
    const bool* m_cancelFlag = nullptr;
    uint64_t m_limitBytes = 0;        // more bytes than this stop the transfer; 0: no limit
    bool m_openFailed = false;        // the file could not be opened
    bool m_writeFailed = false;       // a block was written short or passed the limit
};

// Context of ReadFromFile: the file a request body is read from.
struct TZBKCurlFileSource {
    TZBKCurlFileSource(const TZFile& inFile, uint64_t inBytes, const bool* inCancelFlag);

    TZFile m_file;
    std::string m_path;
    uint64_t m_bytesRemaining = 0;
    uint64_t m_offset = 0;
    const bool* m_cancelFlag = nullptr;
    bool m_openFailed = false;
};

// Context of ProgressCallback.
struct TZBKCurlProgress {
    const bool* m_cancelFlag = nullptr;
    ITZBKCurlProgressCallback* m_receiver = nullptr;  // may be null
    void* m_context = nullptr;                         // handed back to the receiver
    bool m_upload = false;
};

class TZBKCloudUtilsLite {
public:
    // Appends the five identification header lines, "Name:value" each, in this order:
    // MachineGuid:0, ClientName:Morlix-Installer, ClientVersion:1.0.0.1,
    // ClientPlatform:<SystemUtils::GetPlatformName()>, ClientInstallerPlatform:linux64|linux32.
    static void AppendStandardHeaders(std::list<TZString>& ioHeaders);

    // "https://" if inParams.m_useTLS, else "http://".
    static TZString GetURLScheme(const TZBKCloudParams& inParams);

    // Time-outs (each only when not 0), the request-log options, HTTP/1.1 and the TLS options for
    // inUrl. A null handle reports an assertion and throws TZBKException (kTZErrorInternal).
    static void SetCommonOptions(CURL* inHandle, const TZBKCloudParams& inParams,
                                 const TZString& inUrl);

    // With the logger on: verbose output through DebugCallback; otherwise neither.
    static void SetRequestLogOptions(CURL* inHandle);

    // Certificate checks. The peer and the host name (VERIFYHOST 2) are verified when
    // inParams.m_useTLS is set and always for an "https://" URL, against inParams.m_caFile or,
    // when that is empty, libcurl's default bundle; redirects from an "https://" URL may only go
    // to "https://". Only a plain-HTTP URL with m_useTLS cleared turns the checks off.
    // A null handle throws TZBKException (kTZErrorInternal).
    static void SetTLSOptions(CURL* inHandle, const TZBKCloudParams& inParams,
                              const TZString& inUrl);

    // Appends each header line as UTF-8 to ioList (created on first append) and sets it as
    // CURLOPT_HTTPHEADER. A line with an empty value ("deviceToken:") is sent as an empty header,
    // not dropped. The caller frees ioList with FreeHeaders after the transfer.
    // A null handle throws TZBKException (kTZErrorInternal).
    static void SetHeaders(const std::list<TZString>& inHeaders, curl_slist*& ioList,
                           CURL* inHandle);
    static void FreeHeaders(curl_slist*& ioList);

    // libcurl's debug function: logs "CURL LOG - " with the tag of the entry ("TEXT::\n",
    // "HEADER_IN::\n", "HEADER_OUT::\n", "UNKNOWN_TYPE::\n" for TLS data) and its text. Body data
    // is never logged; for TLS data only the byte count is, since those records carry the body
    // (encrypted). Always returns 0.
    static int DebugCallback(CURL* inHandle, curl_infotype inType, char* inData, size_t inSize,
                             void* inUser);

    // Write function into a TZBKCurlMemorySink. Returns 0 (libcurl stops with a write error) when
    // cancelled or without a sink, else the block's size.
    static size_t WriteToMemory(char* inData, size_t inSize, size_t inCount, void* inSink);

    // Write function into a TZBKCurlFileSink: gathers the block and, once a megabyte is
    // waiting, opens the file for appending, writes and closes it again; the file is never held
    // open between blocks. Returns 0 (libcurl stops with a write error) when cancelled, without a
    // sink, when the file cannot be opened (m_openFailed), when the bytes are written short or
    // would pass the limit (m_writeFailed); else the block's size.
    static size_t AppendToFile(char* inData, size_t inSize, size_t inCount, void* inSink);

    // Appends the bytes AppendToFile still holds. False (with the sink's failure flag set) when
    // they cannot all be written.
    static bool FlushFileSink(TZBKCurlFileSink& ioSink);

    // Read function from a TZBKCurlFileSource: CURL_READFUNC_ABORT when cancelled, without a
    // source, when the file cannot be opened (m_openFailed) or reads short; 0 when nothing
    // remains; else the bytes read.
    static size_t ReadFromFile(char* outBuffer, size_t inSize, size_t inCount, void* inSource);

    // Transfer-info function with a TZBKCurlProgress: 0 to go on; 1 (libcurl aborts with
    // CURLE_ABORTED_BY_CALLBACK) when cancelled or when the receiver declines. The percentage is
    // now / total * 100 + 0.5, truncated (0 while the total is unknown).
    static int ProgressCallback(void* inProgress, curl_off_t inDlTotal, curl_off_t inDlNow,
                                curl_off_t inUlTotal, curl_off_t inUlNow);

    // The text cut at each "\n"; every line keeps anything else (a trailing "\r" included).
    static std::list<TZString> SplitLines(const TZString& inText);

    // The value of the first "Content-Length" line, the name compared without regard to case,
    // spaces and tabs around the value and the line's "\r" removed: "content-length: 10\r" and
    // "Content-Length:10" both give "10". Empty if there is none.
    static TZString FindContentLength(const std::list<TZString>& inLines);

    // The lines of the last response in a header block that may hold several (redirects, "100
    // Continue"): from the last line that starts with "HTTP/" on. All lines if none does.
    static std::list<TZString> LastResponseLines(const std::list<TZString>& inLines);
};
