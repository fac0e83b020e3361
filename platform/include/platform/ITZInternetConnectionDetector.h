#pragma once
// ITZInternetConnectionDetector: does the machine have a working Internet connection now?
//
// The answer comes from the system's network state; nothing is sent. On Linux the machine counts
// as connected when a network interface other than loopback is up and running and a default route
// (IPv4 in /proc/net/route or IPv6 in /proc/net/ipv6_route) leads through one of those
// interfaces; an unreachable (reject) default route does not count.
//
// Environment override, for tests and demonstrations: TZ_FORCE_CONNECTED set to "1" makes
// IsConnected() answer true, "0" false, whatever the network does; any other value, or none, lets
// the system decide. It is read on every call.
//
// Threads: Instance() and IsConnected() both hold TZProcessRecursiveMutex(), so calls from
// several threads are serialised, and a thread that already holds that mutex may call them again.
// Never throws: whatever cannot be read counts as not connected.

#include "platform/TZMutex.h"

class ITZInternetConnectionDetector {
 public:
  virtual ~ITZInternetConnectionDetector() = default;

  // The process-wide detector, made on the first call and destroyed at process exit.
  static ITZInternetConnectionDetector& Instance();

  virtual bool IsConnected() = 0;
};

// The process-wide recursive mutex under which process-wide singletons such as the connection
// detector are made and used.
TZRecursiveMutex& TZProcessRecursiveMutex();
