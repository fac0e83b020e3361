// The multipart download end to end: nginx over HTTPS with the run's CA for the sizes, the fault
// server for the faults, the retry budget and cancellation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "NetTestUtil.h"
#include "network/TZBKCurlFileDownloader.h"
#include "network/TZBKCurlMultipartFileDownloader.h"

using nettest::LoopbackParams;
using nettest::ScratchFolder;
using nettest::T;

namespace {

const uint64_t kMB = 1024 * 1024;

// Records the overall percentages; may be called from several part threads at once.
struct OverallProgress : ITZBKCurlProgressCallback {
    bool OnProgress(void*, int32_t& inPercent) override {
        last = inPercent;
        int32_t seen = max.load();
        while (inPercent > seen && !max.compare_exchange_weak(seen, inPercent)) {
        }
        ++calls;
        return answer;
    }
    std::atomic<int32_t> last{-1};
    std::atomic<int32_t> max{-1};
    std::atomic<int> calls{0};
    std::atomic<bool> answer{true};
};

class Multipart : public ::testing::Test {
protected:
    void SetUp() override {
        TZ_REQUIRE_TEST_SERVERS();
        m_params = LoopbackParams();
        TZBKCurlFileDownloader::Initialize(m_params);
        m_target = m_scratch.File("data-1234build");
    }
    tztest::TestServers& Servers() { return tztest::TestServers::Shared(); }

    // Everything left in the scratch folder: the target (if any) and stray part files.
    std::vector<std::string> Leftovers() { return tztest::ListFolder(m_scratch.Path()); }

    size_t GetsOf(const std::string& inPath) {
        size_t n = 0;
        for (const auto& r : Servers().FaultRequests())
            if (r.method == "GET" && r.path == inPath) ++n;
        return n;
    }

    TZBKCloudParams m_params;
    ScratchFolder m_scratch;
    std::string m_target;
    InstallerCustomExceptionHandler m_handler;
};

}  // namespace

TEST_F(Multipart, SizesJoinToTheSourceBytes) {
    struct Row {
        const char* name;
        uint64_t size;
    } rows[] = {{"one.bin", 1}, {"twenty.bin", 20 * kMB},
                {"twentyfive.bin", 26214400}, {"twohundred.bin", 200 * kMB}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string source = Servers().MakeFile(r.name, r.size, static_cast<uint32_t>(r.size));
        OverallProgress progress;
        bool cancel = false;
        TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel, TZFile(T(m_target)),
                                                   T(Servers().NginxHttps(std::string("/") + r.name)));
        downloader.SetProgressReceiver(&progress, nullptr);
        ASSERT_TRUE(downloader.DownloadFile());
        EXPECT_EQ(downloader.GetFileSizeBytes(), r.size);
        EXPECT_EQ(tztest::Sha256OfFile(m_target), tztest::Sha256OfFile(source));
        EXPECT_EQ(Leftovers(), std::vector<std::string>{"data-1234build"});
        EXPECT_EQ(progress.max.load(), 100);
        std::remove(m_target.c_str());
        std::remove(source.c_str());
    }
}

TEST_F(Multipart, PartsAreTenMegabyteRangesBesideTheTarget) {
    Servers().MakeFile("parts.bin", 26214400);
    bool cancel = false;
    TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel, TZFile(T(m_target)),
                                               T(Servers().FaultHttp("/file/parts.bin")));
    ASSERT_TRUE(downloader.DownloadFile());
    std::vector<std::string> ranges;
    for (const auto& r : Servers().FaultRequests())
        if (r.method == "GET" && r.path == "/file/parts.bin") ranges.push_back(r.range);
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=0-10485759", "bytes=10485760-20971519",
                                                "bytes=20971520-26214399"}));
    TZBKCurlFileDownloadService part(&m_params, &cancel, &m_handler, TZFile(T(m_target)),
                                     T(std::string("unused")));
    part.SetPart(3, 26214400, {}, nullptr, nullptr);
    EXPECT_EQ(part.GetPartFile().ToString().ToUTF8(), m_target + "3");
}

TEST_F(Multipart, ZeroSizeIsRefused) {
    Servers().MakeFile("zero.bin", 0);
    Servers().MakeFile("nolen.bin", 5000);
    for (const std::string& url :
         {Servers().NginxHttps("/zero.bin"), Servers().FaultHttp("/nolength/nolen.bin")}) {
        SCOPED_TRACE(url);
        bool cancel = false;
        TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel,
                                                   TZFile(T(m_target)), T(url));
        EXPECT_FALSE(downloader.DownloadFile());
        EXPECT_TRUE(Leftovers().empty());
    }
}

TEST_F(Multipart, FaultsEndInTheDocumentedResult) {
    m_params.m_partSizeBytes = 100000;
    m_params.m_timeoutMs = 1000;
    const std::string source = Servers().MakeFile("faults.bin", 350000);
    struct Row {
        const char* why;
        std::string path;
        bool ok;
        size_t getsOfPath;  // GET requests of that path, 0: not checked
    } rows[] = {
        {"part 2 fails twice, then succeeds", "/err500/200000/2/faults.bin", true, 6},
        {"part 1 drops its connection once", "/drop/100000/1/faults.bin", true, 5},
        {"part 0 stalls once", "/stall/0/1/faults.bin", true, 5},
        // One try and nine restarts: the shared budget of ten failures.
        {"part 3 always fails", "/err500/300000/1000/faults.bin", false, 4 + 9},
        // Three failures each for parts 0 to 2, then part 3's first failure is the tenth.
        {"every part fails three times", "/err500/any/3/faults.bin", false, 4 + 4 + 4 + 1},
        {"ranges ignored", "/norange/faults.bin", false, 0},
        {"redirect before the answer", "/redirect/faults.bin", false, 0},
        {"certificate for another host", "", false, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const std::string url =
            r.path.empty() ? Servers().FaultWrongHost("/file/faults.bin") : Servers().FaultHttp(r.path);
        bool cancel = false;
        TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel,
                                                   TZFile(T(m_target)), T(url));
        EXPECT_EQ(downloader.DownloadFile(), r.ok);
        if (r.ok) {
            EXPECT_EQ(tztest::Sha256OfFile(m_target), tztest::Sha256OfFile(source));
            EXPECT_EQ(Leftovers(), std::vector<std::string>{"data-1234build"});
        } else {
            EXPECT_TRUE(Leftovers().empty());
        }
        if (r.getsOfPath != 0) {
            EXPECT_EQ(GetsOf(r.path), r.getsOfPath);
        }
        std::remove(m_target.c_str());
    }
}

TEST_F(Multipart, CancellationStopsEveryPartPromptly) {
    // 40 parts on 16 slots, every one of them stalled: parts wait on busy slots and in transfers.
    m_params.m_partSizeBytes = 1000;
    m_params.m_timeoutMs = 0;
    Servers().MakeFile("cancel.bin", 40000);
    bool cancel = false;
    TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel, TZFile(T(m_target)),
                                               T(Servers().FaultHttp("/stall/any/1000/cancel.bin")));
    std::atomic<bool> result{true};
    std::thread run([&] { result = downloader.DownloadFile(); });
    for (int i = 0; i < 200 && GetsOf("/stall/any/1000/cancel.bin") < 16; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(Leftovers().empty());  // part files exist while the parts run
    const auto start = std::chrono::steady_clock::now();
    TZBKSetCancelled(&cancel);
    run.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_FALSE(result);
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(GetsOf("/stall/any/1000/cancel.bin"), 16u);
}

TEST_F(Multipart, ReceiverThatDeclinesAbortsTheDownload) {
    Servers().MakeFile("decline.bin", 3 * kMB);
    m_params.m_partSizeBytes = kMB;
    OverallProgress progress;
    progress.answer = false;
    bool cancel = false;
    TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel, TZFile(T(m_target)),
                                               T(Servers().NginxHttps("/decline.bin")));
    downloader.SetProgressReceiver(&progress, nullptr);
    EXPECT_FALSE(downloader.DownloadFile());
    EXPECT_GT(progress.calls.load(), 0);
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Multipart, OverallPercentageAveragesTheParts) {
    bool cancel = false;
    TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel, TZFile(T(m_target)),
                                               T(std::string("http://127.0.0.1:1/x")));
    downloader.SetFileSizeBytes(3 * m_params.m_partSizeBytes);
    OverallProgress progress;
    downloader.SetProgressReceiver(&progress, nullptr);
    std::vector<std::unique_ptr<TZBKCurlFileDownloadService>> parts;
    for (uint64_t i = 0; i < 3; ++i) {
        parts.emplace_back(new TZBKCurlFileDownloadService(&m_params, &cancel, &m_handler,
                                                           TZFile(T(m_target)), T(std::string("u"))));
        parts.back()->SetPart(i, 3 * m_params.m_partSizeBytes, {}, &downloader, parts.back().get());
    }
    int32_t percent = 100;
    EXPECT_TRUE(downloader.OnProgress(parts[0].get(), percent));
    EXPECT_EQ(progress.last.load(), 33);
    percent = 50;
    EXPECT_TRUE(downloader.OnProgress(parts[1].get(), percent));
    EXPECT_EQ(progress.last.load(), 50);  // (100 + 50 + nothing) / 3 + 0.5
    percent = 20;
    EXPECT_TRUE(downloader.OnProgress(parts[1].get(), percent));
    EXPECT_EQ(progress.last.load(), 40);  // a part's later report replaces its earlier one
    EXPECT_FALSE(downloader.OnProgress(nullptr, percent));
}

TEST_F(Multipart, ConcurrentProgressReportsStayConsistent) {
    bool cancel = false;
    const uint64_t numParts = 16;
    TZBKCurlMultipartFileDownloader downloader(&m_params, &m_handler, &cancel, TZFile(T(m_target)),
                                               T(std::string("http://127.0.0.1:1/x")));
    downloader.SetFileSizeBytes(numParts * m_params.m_partSizeBytes);
    OverallProgress progress;
    downloader.SetProgressReceiver(&progress, nullptr);
    std::vector<std::unique_ptr<TZBKCurlFileDownloadService>> parts;
    std::vector<std::thread> threads;
    for (uint64_t i = 0; i < numParts; ++i) {
        parts.emplace_back(new TZBKCurlFileDownloadService(&m_params, &cancel, &m_handler,
                                                           TZFile(T(m_target)), T(std::string("u"))));
        parts.back()->SetPart(i, numParts * m_params.m_partSizeBytes, {}, &downloader,
                              parts.back().get());
    }
    for (uint64_t i = 0; i < numParts; ++i)
        threads.emplace_back([&, i] {
            for (int32_t p = 0; p <= 100; ++p) {
                int32_t percent = p;
                downloader.OnProgress(parts[i].get(), percent);
            }
        });
    for (auto& t : threads) t.join();
    int32_t percent = 100;
    downloader.OnProgress(parts[0].get(), percent);
    EXPECT_EQ(progress.last.load(), 100);
}
