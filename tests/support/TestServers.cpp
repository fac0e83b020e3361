#include "TestServers.h"

#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <json/json.h>
#include <openssl/evp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <thread>

extern char** environ;

namespace tztest {

TestServers& TestServers::Shared() {
    static TestServers servers;
    return servers;
}

TestServers::TestServers() { Start(); }

TestServers::~TestServers() { Stop(); }

void TestServers::Start() {
    const std::string script = std::string(TZ_SOURCE_DIR) + "/scripts/testservers/testservers.py";
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    const char* argv[] = {"python3", script.c_str(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "python3", &fa, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    if (rc != 0) {
        close(in[1]);
        close(out[0]);
        m_error = "cannot start python3";
        return;
    }
    m_pid = pid;
    m_stdinFd = in[1];

    // One line of JSON announces the servers; the launcher needs a few seconds at most.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[4096];
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    close(out[0]);

    Json::Value v;
    Json::CharReaderBuilder b;
    std::string errs;
    std::unique_ptr<Json::CharReader> reader(b.newCharReader());
    if (line.empty() || !reader->parse(line.data(), line.data() + line.size(), &v, &errs) ||
        !v.isObject()) {
        m_error = "the launcher announced no servers (" + line + ")";
        Stop();
        return;
    }
    m_dir = v["dir"].asString();
    m_docRoot = v["docroot"].asString();
    m_caFile = v["ca_file"].asString();
    m_otherCaFile = v["other_ca_file"].asString();
    m_telvoLog = v["telvo_log"].asString();
    m_httpPort = v["http_port"].asInt();
    m_httpsPort = v["https_port"].asInt();
    m_faultHttpPort = v["fault_http_port"].asInt();
    m_faultHttpsPort = v["fault_https_port"].asInt();
    m_faultWrongHostPort = v["fault_wronghost_port"].asInt();
    m_ok = true;
}

void TestServers::Stop() {
    if (m_stdinFd >= 0) {
        close(m_stdinFd);
        m_stdinFd = -1;
    }
    if (m_pid > 0) {
        // End of input asks the launcher to stop; it is killed if it takes too long.
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }
    m_ok = false;
}

static std::string Url(const char* scheme, const std::string& host, int port,
                       const std::string& path) {
    return std::string(scheme) + "://" + host + ":" + std::to_string(port) + path;
}

std::string TestServers::NginxHttps(const std::string& path, const std::string& host) const {
    return Url("https", host, m_httpsPort, path);
}
std::string TestServers::NginxHttp(const std::string& path) const {
    return Url("http", "127.0.0.1", m_httpPort, path);
}
std::string TestServers::FaultHttp(const std::string& path) const {
    return Url("http", "127.0.0.1", m_faultHttpPort, path);
}
std::string TestServers::FaultHttps(const std::string& path) const {
    return Url("https", "127.0.0.1", m_faultHttpsPort, path);
}
std::string TestServers::FaultWrongHost(const std::string& path) const {
    return Url("https", "127.0.0.1", m_faultWrongHostPort, path);
}

std::string TestServers::WaitForTelvoLog(const std::vector<std::string>& inTexts) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        std::ifstream in(m_telvoLog, std::ios::binary);
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const bool all = std::all_of(inTexts.begin(), inTexts.end(), [&](const std::string& text) {
            return log.find(text) != std::string::npos;
        });
        if (all || std::chrono::steady_clock::now() >= deadline) return log;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string TestServers::MakeFile(const std::string& name, std::uint64_t size,
                                  std::uint32_t seed) const {
    const std::string path = m_docRoot + "/" + name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 rng(seed);
    std::vector<std::uint64_t> block(1 << 17);
    while (size > 0) {
        for (auto& w : block) w = rng();
        const std::uint64_t n = std::min<std::uint64_t>(size, block.size() * 8);
        f.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        size -= n;
    }
    return path;
}

std::string TestServers::WriteText(const std::string& name, const std::string& text) const {
    const std::string path = m_docRoot + "/" + name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    return path;
}

static size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

std::vector<TestServers::Request> TestServers::FaultRequests() const {
    std::vector<Request> result;
    CURL* h = curl_easy_init();
    if (!h) return result;
    std::string body;
    const std::string url = FaultHttp("/_requests");
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 10L);
    const CURLcode rc = curl_easy_perform(h);
    curl_easy_cleanup(h);
    if (rc != CURLE_OK) return result;
    Json::Value v;
    Json::CharReaderBuilder b;
    std::string errs;
    std::unique_ptr<Json::CharReader> reader(b.newCharReader());
    if (!reader->parse(body.data(), body.data() + body.size(), &v, &errs) || !v.isArray())
        return result;
    for (const auto& r : v)
        result.push_back({r["method"].asString(), r["path"].asString(),
                          r["range"].isString() ? r["range"].asString() : std::string()});
    return result;
}

std::string Sha256OfFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return {};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr);
    std::vector<char> buf(1 << 20);
    while (f) {
        f.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<size_t>(f.gcount()));
    }
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_DigestFinal_ex(ctx.get(), md, &len);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < len; ++i) {
        std::snprintf(two, sizeof two, "%02x", md[i]);
        hex += two;
    }
    return hex;
}

long long FileSize(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tztest
