// The loopback test servers (scripts/testservers/testservers.py) seen from a C++ test.
//
// TestServers::Shared() starts nginx and the fault server on first use, in a temporary folder of
// their own, and hands back their ports, the document root both serve and the run's certificate
// authority. They stop by themselves when the test process ends (the launcher watches the pipe
// on its standard input and dies with its parent); Stop() stops them earlier.
//
// Thread affinity: Shared() may be called from any thread; the first call blocks until the
// servers answer (a few seconds at most). A failure to start leaves Ok() false and Error() set;
// TZ_REQUIRE_TEST_SERVERS() turns that into a fatal test failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tztest {

class TestServers {
public:
    static TestServers& Shared();

    TestServers(const TestServers&) = delete;
    TestServers& operator=(const TestServers&) = delete;
    ~TestServers();

    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }
    void Stop();

    const std::string& Dir() const { return m_dir; }
    const std::string& DocRoot() const { return m_docRoot; }
    const std::string& CaFile() const { return m_caFile; }
    const std::string& OtherCaFile() const { return m_otherCaFile; }
    const std::string& TelvoLog() const { return m_telvoLog; }
    // nginx writes a request's log line after it has sent the response, so a client may look
    // before it is there: waits up to 5 s for every text of inTexts to appear in the telvo log,
    // and returns the log as it then stands.
    std::string WaitForTelvoLog(const std::vector<std::string>& inTexts) const;

    // URLs for a path that starts with "/".
    std::string NginxHttps(const std::string& path, const std::string& host = "127.0.0.1") const;
    std::string NginxHttp(const std::string& path) const;
    std::string FaultHttp(const std::string& path) const;
    std::string FaultHttps(const std::string& path) const;
    std::string FaultWrongHost(const std::string& path) const;

    // Writes size pseudo-random bytes (seeded by seed) to DocRoot()/name; returns the file's path.
    std::string MakeFile(const std::string& name, std::uint64_t size, std::uint32_t seed = 1) const;
    // Writes text to DocRoot()/name; returns the file's path.
    std::string WriteText(const std::string& name, const std::string& text) const;

    // The fault server's record of the requests it has seen: method, path and Range value.
    struct Request {
        std::string method, path, range;
    };
    std::vector<Request> FaultRequests() const;

private:
    TestServers();
    void Start();

    bool m_ok = false;
    std::string m_error;
    int m_pid = -1;
    int m_stdinFd = -1;
    std::string m_dir, m_docRoot, m_caFile, m_otherCaFile, m_telvoLog;
    int m_httpPort = 0, m_httpsPort = 0, m_faultHttpPort = 0, m_faultHttpsPort = 0,
        m_faultWrongHostPort = 0;
};

// Hex SHA-256 of a file's bytes; empty if it cannot be read.
std::string Sha256OfFile(const std::string& path);

// Size of a file, or -1 if it does not exist.
long long FileSize(const std::string& path);

// Names in a folder (without "." and ".."), sorted.
std::vector<std::string> ListFolder(const std::string& path);

}  // namespace tztest

// Fails the current test (fatally) when the servers are not running; use first in a test body.
#define TZ_REQUIRE_TEST_SERVERS()                                                    \
    do {                                                                             \
        if (!::tztest::TestServers::Shared().Ok())                                   \
            FAIL() << "test servers: " << ::tztest::TestServers::Shared().Error();    \
    } while (0)
