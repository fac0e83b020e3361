// tzfetch: downloads a URL with the installer's multipart download and shows its progress.
//
//   tzfetch [--cacert FILE] [--threads N] [--part-size BYTES] [--log] URL OUT
//
// The defaults are the installer's download settings: 16 transfers at once, 10 MB parts,
// "https://" URLs verified against the system's certificate bundle (or FILE). Ctrl-C cancels.
// Exit status: 0 when OUT holds the whole file, 1 on failure, 2 on a usage error.
#include <curl/curl.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "network/TZBKCurlFileDownloader.h"
#include "network/TZBKCurlMultipartFileDownloader.h"
#include "platform/TZCustomExceptionHandler.h"
#include "platform/TZLogger.h"

namespace {

bool gCancel = false;

void OnInterrupt(int) { TZBKSetCancelled(&gCancel); }

// Prints "NN%" on one line of standard error whenever the overall percentage grows. Called from
// the part threads.
class ProgressLine : public ITZBKCurlProgressCallback {
public:
    bool OnProgress(void*, int32_t& inPercent) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (inPercent > m_shown) {
            m_shown = inPercent;
            std::fprintf(stderr, "\rtzfetch: %3d%%", inPercent);
        }
        return true;
    }

private:
    std::mutex m_mutex;
    int32_t m_shown = -1;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: tzfetch [--cacert FILE] [--threads N] [--part-size BYTES] [--log] URL OUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    TZBKCloudParams params;
    params.m_useTLS = false;  // as the installer's download settings
    bool log = false;
    int arg = 1;
    for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
        const std::string option = argv[arg];
        if (option == "--log") {
            log = true;
        } else if (arg + 1 < argc && option == "--cacert") {
            params.m_caFile = TZPath(TZString(argv[++arg]));
        } else if (arg + 1 < argc && option == "--threads") {
            params.m_numDownloadThreads = std::atoi(argv[++arg]);
        } else if (arg + 1 < argc && option == "--part-size") {
            params.m_partSizeBytes = std::strtoull(argv[++arg], nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (argc - arg != 2 || params.m_numDownloadThreads < 1 ||
        params.m_numDownloadThreads > TZBKCurlFileDownloader::MAX_DOWNLOAD_THREADS ||
        params.m_partSizeBytes == 0)
        return Usage();
    TZLogger::Instance().m_enabled = log;

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
        std::fprintf(stderr, "tzfetch: libcurl could not be initialised\n");
        return 1;
    }
    bool ok = false;
    try {
        TZBKCurlFileDownloader::Initialize(params);
        InstallerCustomExceptionHandler handler;
        ProgressLine progress;
        TZBKCurlMultipartFileDownloader downloader(&params, &handler, &gCancel,
                                                   TZFile(TZString(argv[arg + 1])),
                                                   TZString(argv[arg]));
        downloader.SetProgressReceiver(&progress, nullptr);
        ok = downloader.DownloadFile();
        std::fprintf(stderr, "\n");
        if (ok)
            std::fprintf(stderr, "tzfetch: %llu bytes\n",
                         static_cast<unsigned long long>(downloader.GetFileSizeBytes()));
    } catch (...) {
        ok = false;
    }
    if (!ok) std::fprintf(stderr, "tzfetch: the download failed%s\n", TZBKIsCancelled(&gCancel) ? " (cancelled)" : "");
    curl_global_cleanup();
    return ok ? 0 : 1;
}
