#include "network/ITZInternetFileDownloader.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <memory>

#include "platform/TZMutex.h"

namespace {

std::atomic<bool> gCurlInitialized{false};

size_t DropBody(char*, size_t inSize, size_t inCount, void*) { return inSize * inCount; }

}  // namespace

ITZInternetFileDownloader& ITZInternetFileDownloader::Instance(void*) {
    static TZRecursiveMutex mutex;
    static std::unique_ptr<ITZInternetFileDownloader> instance;
    TZRecursiveLock lock(mutex);
    if (!instance) instance.reset(new ITZInternetFileDownloader());
    return *instance;
}

void ITZInternetFileDownloader::SetCurlInitialized(bool inInitialized) {
    gCurlInitialized = inInitialized;
}

bool ITZInternetFileDownloader::IsCurlInitialized() { return gCurlInitialized; }

ITZInternetFileDownloader::~ITZInternetFileDownloader() = default;

bool ITZInternetFileDownloader::SendRequest(const TZString& inUrl) {
    // libcurl counts its initialisations, so this pair leaves an application's own one alone.
    const bool initializedHere = !gCurlInitialized;
    if (initializedHere && curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return false;
    bool sent = false;
    if (CURL* handle = curl_easy_init()) {
        const std::string url = inUrl.ToUTF8();
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, m_timeoutSeconds);
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &DropBody);
        const CURLcode result = curl_easy_perform(handle);
        if (result != CURLE_OK)
            std::fprintf(stderr, "curl_easy_perform() failed: %s\n", curl_easy_strerror(result));
        sent = result == CURLE_OK;
        curl_easy_cleanup(handle);
    }
    if (initializedHere) curl_global_cleanup();
    return sent;
}
