#include "network/TZBKCloudParams.h"

const char kTZBKHandshakeHost[] = "handshake.tarsel.example";

TZBKCloudParams::TZBKCloudParams() : m_host(kTZBKHandshakeHost), m_port(u"443") {}
