#include "platform/TZExceptionUtils.h"

#include <cstdlib>

#include "XTZExceptionUtils.h"
#include "platform/TZAssert.h"
#include "platform/TZMessageBox.h"
#include "platform/TZMutex.h"

namespace {

// Guards the first-fatal flag; made at static initialisation so that two threads entering
// HandleFatalException at once find it in place.
TZMutex s_fatalMutex;
bool s_firstFatal = true;

}  // namespace

TZExceptionUtils& TZExceptionUtils::Instance() {
  // Never destroyed: worker threads may still install handlers while the process exits.
  static TZExceptionUtils* const instance = new XTZExceptionUtils();
  return *instance;
}

void TZExceptionUtils::InstallExceptionHandlers() {
  try {
    Instance().InstallHandlers();
  } catch (...) {
    TZReportAssert("Failed to install exception handler functions", __FILE__, __LINE__);
  }
}

void TZExceptionUtils::HandleFatalException(const TZException& inException) {
  try {
    Instance().HandleFatal(inException);
  } catch (...) {
    TZReportAssert("Failed to handle the exception", __FILE__, __LINE__);
  }
}

void TZExceptionUtils::HandleFatal(const TZException& inException) {
  {
    TZLock lock(s_fatalMutex);
    m_handling = true;
    if (!s_firstFatal) return;
    s_firstFatal = false;
  }
  TZShowMessageBox(inException.GetDisplayMessage());
  RestoreHandlers();
  std::exit(1);
}
