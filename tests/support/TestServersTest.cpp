// The test servers themselves, checked with plain libcurl: every later network test relies on
// what these show (ranges, the handshake file, the ping log, each fault, the certificates).
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestServers.h"

namespace {

struct Reply {
    CURLcode rc = CURLE_OK;
    long status = 0;
    std::string body;
};

size_t Collect(char* d, size_t s, size_t n, void* u) {
    static_cast<std::string*>(u)->append(d, s * n);
    return s * n;
}

Reply Get(const std::string& url, const char* range = nullptr, const std::string& ca = "",
          long timeoutMs = 10000) {
    Reply r;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
    if (range) curl_easy_setopt(h, CURLOPT_RANGE, range);
    if (!ca.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, ca.c_str());
    r.rc = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &r.status);
    curl_easy_cleanup(h);
    return r;
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

TEST(TestServers, NginxServesRangesOverHttpsAndHttp) {
    TZ_REQUIRE_TEST_SERVERS();
    auto& s = tztest::TestServers::Shared();
    const std::string file = Slurp(s.MakeFile("ranges.bin", 5000));
    Reply r = Get(s.NginxHttps("/ranges.bin", "localhost"), "100-199", s.CaFile());
    ASSERT_EQ(r.rc, CURLE_OK);
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, file.substr(100, 100));
    r = Get(s.NginxHttp("/ranges.bin"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, file);
}

TEST(TestServers, CertificatesCheckCaAndHost) {
    TZ_REQUIRE_TEST_SERVERS();
    auto& s = tztest::TestServers::Shared();
    EXPECT_EQ(Get(s.NginxHttps("/handshake"), nullptr, s.CaFile()).rc, CURLE_OK);
    EXPECT_EQ(Get(s.NginxHttps("/handshake"), nullptr, s.OtherCaFile()).rc,
              CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_EQ(Get(s.FaultWrongHost("/echo"), nullptr, s.CaFile()).rc,
              CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_EQ(Get(s.FaultHttps("/echo"), nullptr, s.CaFile()).rc, CURLE_OK);
}

TEST(TestServers, HandshakeAndPingLog) {
    TZ_REQUIRE_TEST_SERVERS();
    auto& s = tztest::TestServers::Shared();
    Reply r = Get(s.NginxHttps("/handshake"), nullptr, s.CaFile());
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("\"result\": \"success\""), std::string::npos) << r.body;
    r = Get(s.NginxHttp("/telvo/ping?uid=7&name=Launch"));
    EXPECT_EQ(r.status, 200);
    const std::string line = "\"/telvo/ping?uid=7&name=Launch\" 200";
    EXPECT_NE(s.WaitForTelvoLog({line}).find(line), std::string::npos);
}

TEST(TestServers, FaultsBehaveAsNamed) {
    TZ_REQUIRE_TEST_SERVERS();
    auto& s = tztest::TestServers::Shared();
    const std::string file = Slurp(s.MakeFile("faults.bin", 1000));
    struct Row {
        const char* path;
        const char* range;
        CURLcode rc;
        long status;
        std::string body;
    } rows[] = {
        {"/file/faults.bin", "10-19", CURLE_OK, 206, file.substr(10, 10)},
        {"/norange/faults.bin", "10-19", CURLE_OK, 200, file},
        {"/nolength/faults.bin", nullptr, CURLE_OK, 200, file},
        {"/err500/10/1/faults.bin", "0-9", CURLE_OK, 206, file.substr(0, 10)},
        {"/err500/10/1/faults.bin", "10-19", CURLE_OK, 500,
         "<html><body><h1>500 Internal Server Error</h1></body></html>\n"},
        {"/err500/10/1/faults.bin", "10-19", CURLE_OK, 206, file.substr(10, 10)},
        {"/drop/any/1/faults.bin", "0-99", CURLE_PARTIAL_FILE, 206, file.substr(0, 50)},
        {"/redirect/faults.bin", nullptr, CURLE_OK, 302, "Moved\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " range " + (row.range ? row.range : "-"));
        Reply r = Get(s.FaultHttp(row.path), row.range);
        EXPECT_EQ(r.rc, row.rc);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.body, row.body);
    }
    Reply stalled = Get(s.FaultHttp("/stall/any/1/faults.bin"), nullptr, "", 500);
    EXPECT_EQ(stalled.rc, CURLE_OPERATION_TIMEDOUT);
    const auto seen = s.FaultRequests();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().path, "/stall/any/1/faults.bin");
}
