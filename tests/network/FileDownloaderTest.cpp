// The ranged downloader against nginx (HTTPS with the run's CA) and the fault server.
#include <gtest/gtest.h>

#include "NetTestUtil.h"
#include "network/TZBKCurlFileDownloader.h"
#include "platform/TZBKException.h"

using nettest::LoopbackParams;
using nettest::ScratchFolder;
using nettest::Slurp;
using nettest::T;

namespace {

class FileDownloader : public ::testing::Test {
protected:
    void SetUp() override {
        TZ_REQUIRE_TEST_SERVERS();
        m_params = LoopbackParams();
        m_params.m_numDownloadThreads = 4;
        TZBKCurlFileDownloader::Initialize(m_params);
    }
    tztest::TestServers& Servers() { return tztest::TestServers::Shared(); }

    TZBKCloudParams m_params;
    ScratchFolder m_scratch;
};

}  // namespace

TEST(FileDownloaderTable, InitializeAcceptsUpTo128Threads) {
    TZBKCloudParams params;
    params.m_numDownloadThreads = 128;
    EXPECT_NO_THROW(TZBKCurlFileDownloader::Initialize(params));
    params.m_numDownloadThreads = 129;
    EXPECT_THROW(TZBKCurlFileDownloader::Initialize(params), TZBKException);
    params.m_numDownloadThreads = 0;
    EXPECT_THROW(TZBKCurlFileDownloader::Initialize(params), TZBKException);
}

TEST_F(FileDownloader, SizeQueryReadsTheFinalResponse) {
    Servers().MakeFile("size.bin", 123457);
    Servers().MakeFile("empty.bin", 0);
    struct Row {
        std::string url;
        uint64_t size;
    } rows[] = {
        {Servers().NginxHttps("/size.bin"), 123457},
        {Servers().NginxHttps("/size.bin", "localhost"), 123457},
        {Servers().NginxHttp("/size.bin"), 123457},
        {Servers().NginxHttps("/empty.bin"), 0},
        // The redirect's own Content-Length (6) comes first in the header block.
        {Servers().FaultHttp("/redirect/size.bin"), 123457},
        {Servers().FaultHttps("/redirect/size.bin"), 123457},
        {Servers().FaultHttp("/nolength/size.bin"), 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.url);
        TZBKCurlFileDownloader downloader;
        EXPECT_EQ(downloader.GetFileSizeBytesFromURL(T(r.url), m_params, {}, nullptr), r.size);
        EXPECT_TRUE(downloader.IsSuccessful());
    }
}

TEST_F(FileDownloader, SizeQueryFailures) {
    Servers().MakeFile("sizefail.bin", 100);
    TZBKCloudParams otherCa = m_params;
    otherCa.m_caFile = TZPath(T(Servers().OtherCaFile()));
    struct Row {
        std::string why;
        std::string url;
        TZBKCloudParams params;
    } rows[] = {
        {"error status", Servers().NginxHttps("/missing.bin"), m_params},
        {"error status after redirect", Servers().FaultHttp("/redirect/missing.bin"), m_params},
        {"certificate for another host", Servers().FaultWrongHost("/file/sizefail.bin"), m_params},
        {"unknown CA, TLS flag cleared", Servers().NginxHttps("/sizefail.bin"), otherCa},
        {"nothing listening", "http://127.0.0.1:1/x", m_params},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        TZBKCurlFileDownloader downloader;
        EXPECT_THROW(downloader.GetFileSizeBytesFromURL(T(r.url), r.params, {}, nullptr),
                     TZBKException);
        EXPECT_FALSE(downloader.IsSuccessful());
    }
}

TEST_F(FileDownloader, RangesLandExactly) {
    const std::string source = Slurp(Servers().MakeFile("ranges.bin", 100000));
    struct Row {
        uint64_t offset, length;
        int32_t slot;
    } rows[] = {{0, 1, 0}, {1, 99, 1}, {99990, 10, 2}, {0, 100000, 3}, {0, 0, 4}, {500, 1000, 4}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.offset << "+" << r.length << " slot " << r.slot);
        const std::string part = m_scratch.File("sub/dir/part");
        TZBKCurlFileDownloader downloader;
        downloader.DownloadFileRangeFromURL(TZFile(T(part)), r.offset, r.length,
                                            T(Servers().NginxHttps("/ranges.bin")), m_params,
                                            r.slot, {}, nullptr);
        EXPECT_TRUE(downloader.IsSuccessful());
        EXPECT_EQ(Slurp(part), source.substr(r.offset, r.length ? r.length : std::string::npos));
    }
}

TEST_F(FileDownloader, RangeHeaderSentAsOffsetToLast) {
    Servers().MakeFile("rangehdr.bin", 30000000);
    TZBKCurlFileDownloader downloader;
    downloader.DownloadFileRangeFromURL(TZFile(T(m_scratch.File("p"))), 0, 1,
                                        T(Servers().FaultHttp("/file/rangehdr.bin")), m_params, 0,
                                        {}, nullptr);
    downloader.DownloadFileRangeFromURL(TZFile(T(m_scratch.File("p"))), 10485760, 10485760,
                                        T(Servers().FaultHttp("/file/rangehdr.bin")), m_params, 1,
                                        {}, nullptr);
    std::vector<std::string> ranges;
    for (const auto& r : Servers().FaultRequests())
        if (r.path == "/file/rangehdr.bin") ranges.push_back(r.range);
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=0-0", "bytes=10485760-20971519"}));
}

TEST_F(FileDownloader, BadAnswersFailThePartWithoutTheirBytes) {
    const std::string source = Slurp(Servers().MakeFile("bad.bin", 50000));
    struct Row {
        const char* why;
        std::string path;
        uint64_t offset, length;
    } rows[] = {
        {"500 with an error page", "/err500/any/1000/bad.bin", 1000, 1000},
        {"ranges ignored, later range", "/norange/bad.bin", 1000, 1000},
        {"ranges ignored, first range of several", "/norange/bad.bin", 0, 1000},
        {"connection dropped mid-range", "/drop/any/1000/bad.bin", 0, 20000},
        {"no such file", "/file/none.bin", 0, 10},
        {"redirect not followed for ranges", "/redirect/bad.bin", 0, 10},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const std::string part = m_scratch.File("bad-part");
        TZBKCurlFileDownloader downloader;
        EXPECT_THROW(downloader.DownloadFileRangeFromURL(TZFile(T(part)), r.offset, r.length,
                                                         T(Servers().FaultHttp(r.path)), m_params,
                                                         0, {}, nullptr),
                     TZBKException);
        EXPECT_FALSE(downloader.IsSuccessful());
        const std::string got = Slurp(part);
        EXPECT_EQ(got.find("<html>"), std::string::npos);
        EXPECT_LT(got.size(), r.length);
    }
}

TEST_F(FileDownloader, StalledRangeFailsAfterTheTimeout) {
    Servers().MakeFile("stall.bin", 5000);
    m_params.m_timeoutMs = 1000;
    TZBKCurlFileDownloader downloader;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(downloader.DownloadFileRangeFromURL(TZFile(T(m_scratch.File("s"))), 0, 100,
                                                     T(Servers().FaultHttp("/stall/any/1/stall.bin")),
                                                     m_params, 0, {}, nullptr),
                 TZBKException);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(FileDownloader, CancelledBeforeTheCallRequestsNothing) {
    Servers().MakeFile("cancel.bin", 5000);
    const std::string part = m_scratch.File("cancelled");
    {
        std::ofstream old(part);
        old << "old bytes";
    }
    bool cancel = true;
    TZBKCurlFileDownloader downloader;
    downloader.DownloadFileRangeFromURL(TZFile(T(part)), 0, 100,
                                        T(Servers().FaultHttp("/file/cancel.bin")), m_params, 0,
                                        {}, &cancel);
    EXPECT_FALSE(downloader.IsSuccessful());
    EXPECT_EQ(tztest::FileSize(part), 0);
    for (const auto& r : Servers().FaultRequests()) EXPECT_NE(r.path, "/file/cancel.bin");
}

TEST_F(FileDownloader, ThreadIndexChecks) {
    Servers().MakeFile("idx.bin", 10);
    TZBKCurlFileDownloader downloader;
    // The index equal to the thread count passes and uses the size-query slot.
    downloader.DownloadFileRangeFromURL(TZFile(T(m_scratch.File("i"))), 0, 10,
                                        T(Servers().NginxHttps("/idx.bin")), m_params,
                                        m_params.m_numDownloadThreads, {}, nullptr);
    EXPECT_TRUE(downloader.IsSuccessful());
    EXPECT_THROW(downloader.DownloadFileRangeFromURL(TZFile(T(m_scratch.File("i"))), 0, 10,
                                                     T(Servers().NginxHttps("/idx.bin")), m_params,
                                                     m_params.m_numDownloadThreads + 1, {},
                                                     nullptr),
                 TZBKException);
    // The size-query slot's handle still answers a size query after carrying a range.
    TZBKCurlFileDownloader sizeQuery;
    EXPECT_EQ(sizeQuery.GetFileSizeBytesFromURL(T(Servers().NginxHttps("/idx.bin")), m_params, {},
                                                nullptr),
              10u);
}
