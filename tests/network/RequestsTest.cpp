// Single requests against the loopback servers: the handshake request, the request log and the
// ping helper.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NetTestUtil.h"
#include "network/BKHandshakeResponse.h"
#include "network/ITZInternetFileDownloader.h"
#include "network/TZBKCurlFileDownloader.h"
#include "network/TZBKHandshakeRequest.h"
#include "platform/TZLogger.h"

using nettest::ScratchFolder;
using nettest::Slurp;
using nettest::T;

namespace {

class Requests : public ::testing::Test {
protected:
    void SetUp() override { TZ_REQUIRE_TEST_SERVERS(); }
    tztest::TestServers& Servers() { return tztest::TestServers::Shared(); }

    // Handshake settings for a server on 127.0.0.1: TLS on, the run's CA.
    TZBKCloudParams Handshake(int inPort, const std::string& inPrefix = "") {
        TZBKCloudParams params;
        params.m_host = T("127.0.0.1");
        params.m_port = T(std::to_string(inPort));
        params.m_pathPrefix = T(inPrefix);
        params.m_caFile = TZPath(T(Servers().CaFile()));
        params.m_timeoutMs = 10000;
        return params;
    }
    static int PortOf(const std::string& inUrl) {
        return std::stoi(inUrl.substr(inUrl.rfind(':') + 1));
    }
};

}  // namespace

TEST_F(Requests, HandshakeOverHttpsReadsTheReply) {
    Servers().WriteText("handshake.json",
                        R"({"result":"success","morlixdownloadUrl":"https://x/p.zip",)"
                        R"("morlixinstallPath":"/opt/m/m","morlixbuildNumber":"42"})");
    std::string body;
    const int result =
        TZBKHandshakeRequest::Perform(Handshake(PortOf(Servers().NginxHttps(""))), nullptr, body);
    ASSERT_EQ(result, 0);
    BKHandshakeResponse reply(body);
    reply.Read();
    EXPECT_EQ(reply.m_result.ToUTF8(), "success");
    EXPECT_EQ(reply.m_downloadUrl.ToUTF8(), "https://x/p.zip");
    EXPECT_EQ(reply.m_installPath.ToUTF8(), "/opt/m/m");
    EXPECT_EQ(reply.m_buildNumber.ToUTF8(), "42");
}

TEST_F(Requests, HandshakeHeadersArriveInOrder) {
    std::string body;
    ASSERT_EQ(TZBKHandshakeRequest::Perform(Handshake(PortOf(Servers().FaultHttps("")), "echo"),
                                            nullptr, body),
              0);
    std::vector<std::string> sent;
    for (const auto& h : TZBKHandshakeRequest::BuildHeaders()) sent.push_back(h.ToUTF8());
    // The echo lists every header line the server received, in order; ours follow libcurl's own.
    std::vector<std::string> received;
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Host:", 0) != 0 && line.rfind("Accept:", 0) != 0) received.push_back(line);
    EXPECT_EQ(received, sent);
}

TEST_F(Requests, HandshakeStatusIsNotExamined) {
    std::filesystem::create_directories(Servers().DocRoot() + "/hs500");
    Servers().WriteText("hs500/handshake", R"({"result":"success"})");
    std::string body;
    ASSERT_EQ(TZBKHandshakeRequest::Perform(
                  Handshake(PortOf(Servers().FaultHttps("")), "status/500/hs500"), nullptr, body),
              0);
    BKHandshakeResponse reply(body);
    reply.Read();
    EXPECT_EQ(reply.m_result.ToUTF8(), "success");
}

TEST_F(Requests, HandshakeRefusesWrongCaOrHost) {
    struct Row {
        const char* why;
        TZBKCloudParams params;
    } rows[] = {
        {"unknown CA", Handshake(PortOf(Servers().NginxHttps("")))},
        {"certificate for another host", Handshake(PortOf(Servers().FaultWrongHost("")), "echo")},
    };
    rows[0].params.m_caFile = TZPath(T(Servers().OtherCaFile()));
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        std::string body;
        EXPECT_EQ(TZBKHandshakeRequest::Perform(r.params, nullptr, body),
                  CURLE_PEER_FAILED_VERIFICATION);
        EXPECT_TRUE(body.empty());
    }
}

TEST_F(Requests, HandshakeCancellation) {
    std::filesystem::create_directories(Servers().DocRoot() + "/hsstall");
    Servers().WriteText("hsstall/handshake", R"({"result":"success"})");
    bool cancel = true;
    std::string body;
    const auto params = Handshake(PortOf(Servers().FaultHttps("")), "stall/any/1000/hsstall");
    EXPECT_EQ(TZBKHandshakeRequest::Perform(params, &cancel, body), 0);
    for (const auto& r : Servers().FaultRequests())
        EXPECT_EQ(r.path.find("hsstall"), std::string::npos) << r.path;

    cancel = false;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        TZBKSetCancelled(&cancel);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TZBKHandshakeRequest::Perform(params, &cancel, body), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    setter.join();
}

TEST_F(Requests, RequestLogOnlyWithLoggingOnAndNeverTheBody) {
    ScratchFolder scratch;
    const std::string marker = "BODY-MARKER-7f3a9c";
    Servers().WriteText("logbody.txt", marker + "\n");
    TZLogger& logger = TZLogger::Instance();
    const std::string logFile = scratch.File("log.txt");
    logger.SetLogFile(T(logFile));

    TZBKCloudParams params = nettest::LoopbackParams();
    TZBKCurlFileDownloader::Initialize(params);
    for (const bool enabled : {false, true}) {
        SCOPED_TRACE(enabled ? "logging on" : "logging off");
        logger.m_enabled = enabled;
        for (const std::string& url :
             {Servers().NginxHttp("/logbody.txt"), Servers().NginxHttps("/logbody.txt")}) {
            TZBKCurlFileDownloader downloader;
            // A slot of its own for each round: a fresh connection, so the TLS handshake shows.
            downloader.DownloadFileRangeFromURL(TZFile(T(scratch.File("part"))), 0, 0, T(url),
                                                params, enabled ? 1 : 0, {}, nullptr);
            ASSERT_TRUE(downloader.IsSuccessful());
            EXPECT_EQ(Slurp(scratch.File("part")), marker + "\n");
        }
        const std::string log = Slurp(logFile);
        if (!enabled) {
            EXPECT_EQ(log.find("CURL LOG - "), std::string::npos);
            continue;
        }
        EXPECT_NE(log.find("CURL LOG - TEXT::\n"), std::string::npos);
        EXPECT_NE(log.find("CURL LOG - HEADER_OUT::\nGET /logbody.txt HTTP/1.1"), std::string::npos);
        EXPECT_NE(log.find("CURL LOG - HEADER_IN::\nHTTP/1.1 200 OK"), std::string::npos);
        EXPECT_NE(log.find("CURL LOG - UNKNOWN_TYPE::\n"), std::string::npos);
        EXPECT_EQ(log.find(marker), std::string::npos);
    }
    logger.m_enabled = true;
}

TEST_F(Requests, PingHelper) {
    Servers().MakeFile("pingtarget.bin", 10);
    Servers().MakeFile("pingstall.bin", 10);
    ITZInternetFileDownloader& helper = ITZInternetFileDownloader::Instance();
    EXPECT_EQ(&helper, &ITZInternetFileDownloader::Instance(nullptr));
    EXPECT_EQ(helper.GetTimeoutSeconds(), 5);

    EXPECT_TRUE(helper.SendRequest(T(Servers().NginxHttp("/telvo/ping?uid=u1&name=Launch"))));
    const std::string line = "\"/telvo/ping?uid=u1&name=Launch\" 200";
    EXPECT_NE(Servers().WaitForTelvoLog({line}).find(line), std::string::npos);
    EXPECT_TRUE(helper.SendRequest(T(Servers().NginxHttp("/no-such-page"))));  // 404 is no error
    EXPECT_TRUE(helper.SendRequest(T(Servers().FaultHttp("/redirect/pingtarget.bin"))));
    bool followed = false;
    for (const auto& r : Servers().FaultRequests()) followed |= r.path == "/file/pingtarget.bin";
    EXPECT_TRUE(followed);
    EXPECT_FALSE(helper.SendRequest(T("http://127.0.0.1:1/telvo/ping")));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(helper.SendRequest(T(Servers().FaultHttp("/stall/any/1/pingstall.bin"))));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(4500));
    EXPECT_LT(took, std::chrono::seconds(8));
}

TEST_F(Requests, PingHelperFromSeveralThreads) {
    ITZInternetFileDownloader::SetCurlInitialized(true);
    std::vector<std::thread> threads;
    std::atomic<int> sent{0};
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            if (ITZInternetFileDownloader::Instance().SendRequest(
                    T(Servers().NginxHttp("/telvo/ping?uid=t" + std::to_string(i)))))
                ++sent;
        });
    for (auto& t : threads) t.join();
    ITZInternetFileDownloader::SetCurlInitialized(false);
    EXPECT_EQ(sent.load(), 8);
    std::vector<std::string> texts;
    for (int i = 0; i < 8; ++i) texts.push_back("uid=t" + std::to_string(i) + "\"");
    const std::string log = Servers().WaitForTelvoLog(texts);
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(log.find("uid=t" + std::to_string(i) + "\""), std::string::npos) << i;
}
