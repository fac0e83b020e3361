#include "network/BKHandshakeResponse.h"

#include <json/reader.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "TZBKNetInternal.h"

BKHandshakeResponse::BKHandshakeResponse(const std::string& inReply) {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(inReply.data(), inReply.data() + inReply.size(), &m_root, &errors))
        TZBKThrowInternal(__FILE__, __LINE__);
}

void BKHandshakeResponse::Read() {
    m_result.clear();
    m_downloadUrl.clear();
    m_installPath.clear();
    m_buildNumber.clear();
    Visit("m_root", m_root);
}

void BKHandshakeResponse::Visit(const std::string& inName, const Json::Value& inValue) {
    if (inValue.isObject()) {
        std::vector<std::string> names = inValue.getMemberNames();
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) Visit(name, inValue[name]);
        return;
    }
    if (!inValue.isString()) return;
    TZString* target = nullptr;
    if (inName == "result")
        target = &m_result;
    else if (inName == "morlixdownloadUrl")
        target = &m_downloadUrl;
    else if (inName == "morlixinstallPath")
        target = &m_installPath;
    else if (inName == "morlixbuildNumber")
        target = &m_buildNumber;
    if (target != nullptr) *target = TZString(inValue.asString().c_str());
}
