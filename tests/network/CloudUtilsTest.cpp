// The request pieces on their own: header parsing, the transfer callbacks, the header lists,
// the handshake request's URL and header lines, and the handshake reply.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "network/BKHandshakeResponse.h"
#include "network/TZBKCloudUtilsLite.h"
#include "network/TZBKHandshakeRequest.h"
#include "platform/SystemUtils.h"
#include "platform/TZBKException.h"

namespace {

std::list<TZString> Lines(std::initializer_list<const char*> inLines) {
    std::list<TZString> lines;
    for (const char* l : inLines) lines.push_back(TZString(l));
    return lines;
}

std::string Utf8(const TZString& inText) { return inText.ToUTF8(); }

std::string TempPath(const std::string& inName) {
    return std::string(::testing::TempDir()) + "tznet-" + inName + "-" +
           std::to_string(::getpid());
}

std::string Slurp(const std::string& inPath) {
    std::ifstream f(inPath, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

struct Recorder : ITZBKCurlProgressCallback {
    bool OnProgress(void* inContext, int32_t& inPercent) override {
        context = inContext;
        percent = inPercent;
        ++calls;
        return answer;
    }
    void* context = nullptr;
    int32_t percent = -1;
    int calls = 0;
    bool answer = true;
};

}  // namespace

TEST(CloudUtils, FindContentLengthReadsNamesWithoutRegardToCase) {
    struct Row {
        std::list<TZString> lines;
        const char* expected;
    } rows[] = {
        {Lines({"HTTP/1.1 200 OK\r", "Content-Length: 10\r", ""}), "10"},
        {Lines({"content-length: 10\r"}), "10"},
        {Lines({"Content-Length:10"}), "10"},
        {Lines({"CONTENT-LENGTH :\t 42 \r"}), "42"},
        {Lines({"Content-Type: text/plain\r", "Content-Length: 7\r", "Content-Length: 9\r"}), "7"},
        {Lines({"X-Content-Length: 5\r", "Content-Length-Extra: 6\r"}), ""},
        {Lines({"Content-Length\r", "no colon at all"}), ""},
        {Lines({}), ""},
    };
    int row = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE("row " + std::to_string(row++));
        EXPECT_EQ(Utf8(TZBKCloudUtilsLite::FindContentLength(r.lines)), r.expected);
    }
}

TEST(CloudUtils, LastResponseLinesSkipRedirectBlocks) {
    const TZString block(
        "HTTP/1.1 302 Found\r\nContent-Length: 6\r\nLocation: /x\r\n\r\n"
        "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    const auto all = TZBKCloudUtilsLite::SplitLines(block);
    EXPECT_EQ(Utf8(TZBKCloudUtilsLite::FindContentLength(all)), "6");
    EXPECT_EQ(Utf8(TZBKCloudUtilsLite::FindContentLength(TZBKCloudUtilsLite::LastResponseLines(all))),
              "1000");
    const auto none = Lines({"Content-Length: 3"});
    EXPECT_EQ(TZBKCloudUtilsLite::LastResponseLines(none).size(), 1u);
}

TEST(CloudUtils, SplitLinesCutsAtNewlinesOnly) {
    const auto lines = TZBKCloudUtilsLite::SplitLines(TZString("a\r\nb\n\nc"));
    std::vector<std::string> got;
    for (const auto& l : lines) got.push_back(Utf8(l));
    EXPECT_EQ(got, (std::vector<std::string>{"a\r", "b", "", "c"}));
}

TEST(CloudUtils, ProgressPercentages) {
    struct Row {
        bool upload;
        curl_off_t dlTotal, dlNow, ulTotal, ulNow;
        int32_t percent;
    } rows[] = {
        {false, 0, 0, 0, 0, 0},        {false, 1023, 511, 0, 0, 50},
        {false, 1000, 1000, 0, 0, 100}, {false, 3, 1, 0, 0, 33},
        {true, 0, 0, 200, 101, 51},    {true, 500, 500, 0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "upload " << r.upload << " dl " << r.dlNow << "/"
                                          << r.dlTotal << " ul " << r.ulNow << "/" << r.ulTotal);
        Recorder receiver;
        int context = 0;
        TZBKCurlProgress progress;
        progress.m_receiver = &receiver;
        progress.m_context = &context;
        progress.m_upload = r.upload;
        EXPECT_EQ(TZBKCloudUtilsLite::ProgressCallback(&progress, r.dlTotal, r.dlNow, r.ulTotal,
                                                       r.ulNow),
                  0);
        EXPECT_EQ(receiver.percent, r.percent);
        EXPECT_EQ(receiver.context, &context);
    }
}

TEST(CloudUtils, ProgressStopsOnCancelOrRefusal) {
    Recorder receiver;
    bool cancel = false;
    TZBKCurlProgress progress;
    progress.m_cancelFlag = &cancel;
    progress.m_receiver = &receiver;
    EXPECT_EQ(TZBKCloudUtilsLite::ProgressCallback(nullptr, 10, 5, 0, 0), 0);
    EXPECT_EQ(TZBKCloudUtilsLite::ProgressCallback(&progress, 10, 5, 0, 0), 0);
    receiver.answer = false;
    EXPECT_EQ(TZBKCloudUtilsLite::ProgressCallback(&progress, 10, 5, 0, 0), 1);
    receiver.answer = true;
    TZBKSetCancelled(&cancel);
    const int callsBefore = receiver.calls;
    EXPECT_EQ(TZBKCloudUtilsLite::ProgressCallback(&progress, 10, 5, 0, 0), 1);
    EXPECT_EQ(receiver.calls, callsBefore);
}

TEST(CloudUtils, WriteToMemoryAppendsUntilCancelled) {
    bool cancel = false;
    TZBKCurlMemorySink sink;
    sink.m_cancelFlag = &cancel;
    char block[] = "abcdef";
    EXPECT_EQ(TZBKCloudUtilsLite::WriteToMemory(block, 1, 3, &sink), 3u);
    EXPECT_EQ(TZBKCloudUtilsLite::WriteToMemory(block + 3, 3, 1, &sink), 3u);
    EXPECT_EQ(sink.m_bytes, "abcdef");
    TZBKSetCancelled(&cancel);
    EXPECT_EQ(TZBKCloudUtilsLite::WriteToMemory(block, 1, 3, &sink), 0u);
    EXPECT_EQ(sink.m_bytes, "abcdef");
    EXPECT_EQ(TZBKCloudUtilsLite::WriteToMemory(block, 1, 3, nullptr), 0u);
}

TEST(CloudUtils, AppendToFileAppendsBlocksWithinTheLimit) {
    const std::string path = TempPath("append");
    std::remove(path.c_str());
    bool cancel = false;
    TZBKCurlFileSink sink(TZFile(TZString(path.c_str())), &cancel, 8);
    char block[] = "0123456789";
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(block, 1, 4, &sink), 4u);
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(block + 4, 2, 2, &sink), 4u);
    // One byte past the limit (a server that ignored the range) stops the transfer.
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(block, 1, 1, &sink), 0u);
    EXPECT_TRUE(sink.m_writeFailed);
    EXPECT_TRUE(TZBKCloudUtilsLite::FlushFileSink(sink));
    EXPECT_EQ(sink.m_bytesWritten, 8u);
    EXPECT_EQ(Slurp(path), "01234567");

    // Blocks reach the file a megabyte at a time, appended to what is there: a block that would
    // pass the megabyte sends what waits first.
    TZBKCurlFileSink unlimited(TZFile(TZString(path.c_str())), &cancel);
    const std::string big(TZBKCurlFileSink::kFlushBytes - 1, 'x');
    std::string bigBlock = big;
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(&bigBlock[0], 1, big.size(), &unlimited),
              big.size());
    EXPECT_EQ(Slurp(path).size(), 8u);
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(block, 1, 2, &unlimited), 2u);
    EXPECT_EQ(unlimited.m_bytesWritten, big.size());
    EXPECT_EQ(Slurp(path).size(), 8u + big.size());
    TZBKSetCancelled(&cancel);
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(block, 1, 2, &unlimited), 0u);
    EXPECT_TRUE(TZBKCloudUtilsLite::FlushFileSink(unlimited));
    EXPECT_EQ(unlimited.m_bytesWritten, big.size() + 2);
    EXPECT_TRUE(Slurp(path) == "01234567" + big + "01");
    std::remove(path.c_str());

    TZBKCurlFileSink missing(TZFile(TZString("/nonexistent-folder-tz/x.bin")), nullptr);
    EXPECT_EQ(TZBKCloudUtilsLite::AppendToFile(block, 1, 2, &missing), 2u);
    EXPECT_FALSE(TZBKCloudUtilsLite::FlushFileSink(missing));
    EXPECT_TRUE(missing.m_openFailed);
}

TEST(CloudUtils, ReadFromFileSendsTheRequestedBytes) {
    const std::string path = TempPath("read");
    {
        std::ofstream f(path, std::ios::binary);
        f << "hello world";
    }
    bool cancel = false;
    TZBKCurlFileSource source(TZFile(TZString(path.c_str())), 11, &cancel);
    char buffer[8];
    ASSERT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &source), 8u);
    EXPECT_EQ(std::string(buffer, 8), "hello wo");
    ASSERT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &source), 3u);
    EXPECT_EQ(std::string(buffer, 3), "rld");
    EXPECT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &source), 0u);

    TZBKCurlFileSource tooLong(TZFile(TZString(path.c_str())), 20, &cancel);
    EXPECT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &tooLong), 8u);
    EXPECT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &tooLong),
              static_cast<size_t>(CURL_READFUNC_ABORT));
    TZBKSetCancelled(&cancel);
    TZBKCurlFileSource cancelled(TZFile(TZString(path.c_str())), 11, &cancel);
    EXPECT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &cancelled),
              static_cast<size_t>(CURL_READFUNC_ABORT));
    std::remove(path.c_str());
    TZBKCurlFileSource missing(TZFile(TZString(path.c_str())), 11, nullptr);
    EXPECT_EQ(TZBKCloudUtilsLite::ReadFromFile(buffer, 1, sizeof buffer, &missing),
              static_cast<size_t>(CURL_READFUNC_ABORT));
    EXPECT_TRUE(missing.m_openFailed);
}

TEST(CloudUtils, IdentificationHeadersInOrder) {
    std::list<TZString> headers;
    headers.push_back(TZString("First:1"));
    TZBKCloudUtilsLite::AppendStandardHeaders(headers);
    std::vector<std::string> got;
    for (const auto& h : headers) got.push_back(Utf8(h));
    EXPECT_EQ(got, (std::vector<std::string>{"First:1", "MachineGuid:0",
                                             "ClientName:Morlix-Installer",
                                             "ClientVersion:1.0.0.1", "ClientPlatform:Linux",
                                             sizeof(void*) == 8 || SystemUtils::IsWow64()
                                                 ? "ClientInstallerPlatform:linux64"
                                                 : "ClientInstallerPlatform:linux32"}));
}

TEST(CloudUtils, SchemeAndNullHandles) {
    TZBKCloudParams params;
    EXPECT_EQ(Utf8(TZBKCloudUtilsLite::GetURLScheme(params)), "https://");
    params.m_useTLS = false;
    EXPECT_EQ(Utf8(TZBKCloudUtilsLite::GetURLScheme(params)), "http://");
    EXPECT_THROW(TZBKCloudUtilsLite::SetCommonOptions(nullptr, params, TZString("http://x/")),
                 TZBKException);
    EXPECT_THROW(TZBKCloudUtilsLite::SetTLSOptions(nullptr, params, TZString("http://x/")),
                 TZBKException);
    curl_slist* list = nullptr;
    EXPECT_THROW(TZBKCloudUtilsLite::SetHeaders({TZString("A:b")}, list, nullptr), TZBKException);
    EXPECT_EQ(list, nullptr);
}

TEST(CloudUtils, DefaultParams) {
    TZBKCloudParams params;
    EXPECT_EQ(Utf8(params.m_host), kTZBKHandshakeHost);
    EXPECT_EQ(Utf8(params.m_port), "443");
    EXPECT_TRUE(params.m_pathPrefix.empty());
    EXPECT_EQ(params.m_connectTimeoutMs, 0u);
    EXPECT_EQ(params.m_timeoutMs, 60000u);
    EXPECT_TRUE(params.m_useTLS);
    EXPECT_EQ(params.m_numDownloadThreads, 16);
    EXPECT_EQ(params.m_partSizeBytes, 10485760u);
}

TEST(HandshakeRequest, UrlAndHeaderLines) {
    TZBKCloudParams params;
    EXPECT_EQ(Utf8(TZBKHandshakeRequest::BuildURL(params)),
              std::string("https://") + kTZBKHandshakeHost + ":443/handshake");
    params.m_host = TZString("127.0.0.1");
    params.m_port = TZString("8443");
    params.m_pathPrefix = TZString("v2");
    params.m_useTLS = false;
    EXPECT_EQ(Utf8(TZBKHandshakeRequest::BuildURL(params)), "http://127.0.0.1:8443/v2/handshake");

    std::vector<std::string> got;
    for (const auto& h : TZBKHandshakeRequest::BuildHeaders()) got.push_back(Utf8(h));
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[0], "MachineGuid:0");
    EXPECT_EQ(got[5], "deviceToken:");
    EXPECT_EQ(got[6], "numberofProjects:0");
    EXPECT_EQ(got[7], "OSVersion:" + Utf8(SystemUtils::GetOSVersionString()));
    EXPECT_EQ(got[8], "ClientCampaign:cnet");
}

TEST(HandshakeResponse, ReadsStringsAtAnyDepthLastVisitWins) {
    struct Row {
        const char* reply;
        const char* result;
        const char* url;
        const char* path;
        const char* build;
    } rows[] = {
        {R"({"result":"success","morlixdownloadUrl":"U","morlixinstallPath":"P",
             "morlixbuildNumber":"7","extra":[1,2]})",
         "success", "U", "P", "7"},
        // "data" sorts before "morlixdownloadUrl": the root's value is visited last and wins.
        {R"({"morlixdownloadUrl":"B","data":{"morlixdownloadUrl":"A"}})", "", "B", "", ""},
        // "zz" sorts after: the nested value wins.
        {R"({"morlixdownloadUrl":"B","zz":{"morlixdownloadUrl":"A"}})", "", "A", "", ""},
        {R"({"a":{"b":{"result":"deep"}}})", "deep", "", "", ""},
        {R"({"morlixbuildNumber":12,"result":true})", "", "", "", ""},
        {R"({"list":[{"result":"in array"}]})", "", "", "", ""},
        {R"(// comment
            {"result": /* inline */ "success"})",
         "success", "", "", ""},
        {R"({"result":"Success"})", "Success", "", "", ""},
        {R"("success")", "", "", "", ""},
        {R"({"result":"caf\u00e9"})", "caf\xC3\xA9", "", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.reply);
        BKHandshakeResponse response{std::string(r.reply)};
        response.m_result = TZString("stale");
        response.Read();
        EXPECT_EQ(Utf8(response.m_result), r.result);
        EXPECT_EQ(Utf8(response.m_downloadUrl), r.url);
        EXPECT_EQ(Utf8(response.m_installPath), r.path);
        EXPECT_EQ(Utf8(response.m_buildNumber), r.build);
    }
}

TEST(HandshakeResponse, MalformedRepliesThrow) {
    for (const char* reply : {"", "   ", "{", "{\"result\":}", "<html>500</html>"}) {
        SCOPED_TRACE(reply);
        EXPECT_THROW(BKHandshakeResponse{std::string(reply)}, TZBKException);
    }
}
