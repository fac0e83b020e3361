// BKHandshakeResponse: the handshake service's JSON reply and the four values the installer
// reads from it.
//
// The reply is parsed by jsoncpp with comments allowed. Read() visits the document depth first,
// the members of every object in byte-wise sorted name order, and takes the string values of the
// keys "result", "morlixdownloadUrl", "morlixinstallPath" and "morlixbuildNumber" at any depth of
// nested objects (never inside arrays, never a value that is not a string). When a key occurs
// more than once, the occurrence visited last wins:
//   {"data": {"morlixdownloadUrl": "A"}, "morlixdownloadUrl": "B"}  -> m_downloadUrl "B"
//   {"morlixbuildNumber": 12}                                        -> m_buildNumber ""
// A value local to one handshake try; not shared between threads.
#pragma once

#include <json/value.h>

#include <string>

#include "platform/TZString.h"

class BKHandshakeResponse {
public:
    // Parses inReply (UTF-8). Malformed JSON, an empty text included, throws TZBKException with
    // the key kTZErrorInternal.
    explicit BKHandshakeResponse(const std::string& inReply);

    // Clears the four strings and fills them from m_root.
    void Read();

    Json::Value m_root;
    TZString m_result;
    TZString m_downloadUrl;
    TZString m_installPath;
    TZString m_buildNumber;

private:
    void Visit(const std::string& inName, const Json::Value& inValue);
};
