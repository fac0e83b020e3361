#include "platform/ITZInternetConnectionDetector.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "XTZInternetConnectionDetector.h"

TZRecursiveMutex& TZProcessRecursiveMutex() {
  static TZRecursiveMutex mutex;
  return mutex;
}

ITZInternetConnectionDetector& ITZInternetConnectionDetector::Instance() {
  TZRecursiveMutex& mutex = TZProcessRecursiveMutex();
  TZRecursiveLock lock(mutex);
  static std::unique_ptr<ITZInternetConnectionDetector> instance;
  if (!instance) instance.reset(new XTZInternetConnectionDetector());
  return *instance;
}

bool XTZInternetConnectionDetector::IsConnected() {
  TZRecursiveLock lock(TZProcessRecursiveMutex());
  const char* forced = std::getenv("TZ_FORCE_CONNECTED");
  if (forced != nullptr && std::strcmp(forced, "1") == 0) return true;
  if (forced != nullptr && std::strcmp(forced, "0") == 0) return false;
  return QuerySystem();
}
