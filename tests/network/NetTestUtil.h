// Shared by the network tests: request settings for the loopback servers, scratch folders and
// small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TestServers.h"
#include "network/TZBKCloudParams.h"
#include "platform/TZFile.h"
#include "platform/TZString.h"

namespace nettest {

inline TZString T(const std::string& inText) { return TZString(inText.c_str()); }

// Settings for the loopback servers: the run's CA and short time-outs, as the installer's
// download settings (TLS flag cleared).
inline TZBKCloudParams LoopbackParams() {
    TZBKCloudParams params;
    params.m_useTLS = false;
    params.m_caFile = TZPath(T(tztest::TestServers::Shared().CaFile()));
    params.m_connectTimeoutMs = 5000;
    params.m_timeoutMs = 5000;
    return params;
}

// A fresh, empty folder for one test; removed by the destructor.
class ScratchFolder {
public:
    ScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::string(::testing::TempDir()) + "tznet-" + info->test_suite_name() + "-" +
                 info->name() + "-" + std::to_string(::getpid());
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& inName) const { return m_path + "/" + inName; }

private:
    std::string m_path;
};

inline std::string Slurp(const std::string& inPath) {
    std::ifstream f(inPath, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace nettest
