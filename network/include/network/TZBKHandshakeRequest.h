// The handshake request: one GET of "/handshake" on the handshake service, with the
// identification headers and the handshake's own header lines. The reply body is handed back
// unread; BKHandshakeResponse parses it. The HTTP status is not examined: the body alone decides.
//
// Runs on the calling thread; the cancel flag (see TZBKCloudUtilsLite.h) may be set by another.
#pragma once

#include <list>
#include <string>

#include "network/TZBKCloudParams.h"
#include "platform/TZString.h"

class TZBKHandshakeRequest {
public:
    // The scheme (GetURLScheme), m_host, ":", m_port, "/" and m_pathPrefix when it is not empty,
    // then "/handshake". Defaults: "https://handshake.tarsel.example:443/handshake".
    static TZString BuildURL(const TZBKCloudParams& inParams);

    // In order: the five identification headers, "deviceToken:<token>", "numberofProjects:0",
    // "OSVersion:<SystemUtils::GetOSVersionString()>", "ClientCampaign:cnet".
    static std::list<TZString> BuildHeaders();

    // Sends the request with the common options of inParams (time-outs, request log, TLS) on a
    // new handle and collects the body into outBody. Returns libcurl's result code: 0 on a
    // completed transfer; CURLE_ABORTED_BY_CALLBACK or CURLE_WRITE_ERROR when the cancel flag
    // stopped it. With the flag already set nothing is sent and the result is 0: the caller
    // tests the flag as well. Throws TZBKException (kTZErrorInternal) when no handle can be made.
    static int Perform(const TZBKCloudParams& inParams, const bool* inCancelFlag,
                       std::string& outBody);
};
