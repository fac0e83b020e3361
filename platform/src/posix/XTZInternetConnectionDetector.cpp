// Linux half of the connection detector.

#include "XTZInternetConnectionDetector.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

const unsigned long kRouteUp = 0x0001;      // RTF_UP
const unsigned long kRouteReject = 0x0200;  // RTF_REJECT

std::string ReadText(const char* inPath) {
  std::ifstream in(inPath);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ParseHex(const std::string& inText, unsigned long& outValue) {
  if (inText.empty() || inText.size() > 8) return false;
  outValue = 0;
  for (char c : inText) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    outValue = outValue * 16 + digit;
  }
  return true;
}

bool AllZero(const std::string& inText) { return inText.find_first_not_of('0') == std::string::npos; }

std::vector<std::string> Fields(const std::string& inLine) {
  std::istringstream in(inLine);
  std::vector<std::string> fields;
  std::string field;
  while (in >> field) fields.push_back(field);
  return fields;
}

bool UsableFlags(const std::string& inFlags) {
  unsigned long flags;
  return ParseHex(inFlags, flags) && (flags & kRouteUp) != 0 && (flags & kRouteReject) == 0;
}

}  // namespace

bool XTZInternetConnectionDetector::HasDefaultRoute(const std::set<std::string>& inUpInterfaces,
                                                    const std::string& inIpv4Routes,
                                                    const std::string& inIpv6Routes) {
  // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT (after a header line)
  std::istringstream ipv4(inIpv4Routes);
  std::string line;
  std::getline(ipv4, line);
  while (std::getline(ipv4, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() < 8) continue;
    if (AllZero(f[1]) && f[1].size() == 8 && AllZero(f[7]) && f[7].size() == 8 && UsableFlags(f[3]) &&
        inUpInterfaces.count(f[0]) > 0) {
      return true;
    }
  }
  // Destination PrefixLength Source PrefixLength NextHop Metric RefCnt Use Flags Iface (no header)
  std::istringstream ipv6(inIpv6Routes);
  while (std::getline(ipv6, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() < 10) continue;
    if (AllZero(f[0]) && f[0].size() == 32 && AllZero(f[1]) && UsableFlags(f[8]) &&
        inUpInterfaces.count(f[9]) > 0) {
      return true;
    }
  }
  return false;
}

bool XTZInternetConnectionDetector::QuerySystem() {
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  std::set<std::string> up;
  for (struct ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
    const unsigned flags = item->ifa_flags;
    if (item->ifa_name != nullptr && (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0 &&
        (flags & IFF_LOOPBACK) == 0) {
      up.insert(item->ifa_name);
    }
  }
  freeifaddrs(list);
  if (up.empty()) return false;
  return HasDefaultRoute(up, ReadText("/proc/net/route"), ReadText("/proc/net/ipv6_route"));
}
