#include "network/TZBKHandshakeRequest.h"

#include <curl/curl.h>

#include <memory>

#include "TZBKNetInternal.h"
#include "network/TZBKCloudUtilsLite.h"
#include "platform/SystemUtils.h"

TZString TZBKHandshakeRequest::BuildURL(const TZBKCloudParams& inParams) {
    TZString url = TZBKCloudUtilsLite::GetURLScheme(inParams) + inParams.m_host + u":" +
                   inParams.m_port;
    if (!inParams.m_pathPrefix.empty()) url += u"/" + inParams.m_pathPrefix;
    url += u"/handshake";
    return url;
}

std::list<TZString> TZBKHandshakeRequest::BuildHeaders() {
    std::list<TZString> headers;
    TZBKCloudUtilsLite::AppendStandardHeaders(headers);
    headers.push_back(TZString(u"deviceToken:") + SystemUtils::GetDeviceToken());
    headers.push_back(TZString(u"numberofProjects:0"));
    headers.push_back(TZString(u"OSVersion:") + SystemUtils::GetOSVersionString());
    headers.push_back(TZString(u"ClientCampaign:cnet"));
    return headers;
}

int TZBKHandshakeRequest::Perform(const TZBKCloudParams& inParams, const bool* inCancelFlag,
                                  std::string& outBody) {
    outBody.clear();
    const TZString url = BuildURL(inParams);
    const std::string url8 = url.ToUTF8();
    const std::list<TZString> headerLines = BuildHeaders();

    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                               &curl_easy_cleanup);
    if (!handle) TZBKThrowInternal(__FILE__, __LINE__);
    curl_slist* headers = nullptr;
    TZBKCurlMemorySink sink;
    sink.m_cancelFlag = inCancelFlag;
    TZBKCurlProgress progress;
    progress.m_cancelFlag = inCancelFlag;
    progress.m_upload = true;
    CURLcode result = CURLE_OK;
    try {
        TZBKCloudUtilsLite::SetHeaders(headerLines, headers, handle.get());
        TZBKCloudUtilsLite::SetCommonOptions(handle.get(), inParams, url);
        curl_easy_setopt(handle.get(), CURLOPT_URL, url8.c_str());
        curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &TZBKCloudUtilsLite::WriteToMemory);
        curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle.get(), CURLOPT_XFERINFOFUNCTION,
                         &TZBKCloudUtilsLite::ProgressCallback);
        curl_easy_setopt(handle.get(), CURLOPT_XFERINFODATA, &progress);
        if (!TZBKIsCancelled(inCancelFlag)) result = curl_easy_perform(handle.get());
    } catch (...) {
        TZBKCloudUtilsLite::FreeHeaders(headers);
        throw;
    }
    TZBKCloudUtilsLite::FreeHeaders(headers);
    outBody.swap(sink.m_bytes);
    return static_cast<int>(result);
}
