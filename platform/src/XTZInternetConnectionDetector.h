#pragma once
// The Linux connection detector: interfaces from getifaddrs, routes from /proc/net.

#include <set>
#include <string>

#include "platform/ITZInternetConnectionDetector.h"

class XTZInternetConnectionDetector : public ITZInternetConnectionDetector {
 public:
  bool IsConnected() override;

  // True when a default route of inIpv4Routes (the text of /proc/net/route) or inIpv6Routes (the
  // text of /proc/net/ipv6_route) is up, not a reject route, and leads through one of
  // inUpInterfaces. Malformed lines are skipped.
  static bool HasDefaultRoute(const std::set<std::string>& inUpInterfaces, const std::string& inIpv4Routes,
                              const std::string& inIpv6Routes);

 private:
  // The names of the interfaces other than loopback that are up and running, and the route
  // tables, put through HasDefaultRoute.
  static bool QuerySystem();
};
