// The fault translator of this platform: signal handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL
// that act only on threads that installed the translator.
#pragma once

#include "platform/TZExceptionUtils.h"

class XTZExceptionUtils : public TZExceptionUtils {
 public:
  XTZExceptionUtils() = default;

 protected:
  // Process-wide on the first call (signal actions, dump folder, backtrace warm-up); for the
  // calling thread on every call (the thread's mark and its alternate signal stack).
  void InstallHandlers() override;
  void RestoreHandlers() override;
};
