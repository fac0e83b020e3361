// Process-wide handling of hardware faults and fatal exceptions.
//
// InstallExceptionHandlers installs the fault translator for the calling thread: on such a thread
// a SIGSEGV, SIGBUS, SIGFPE or SIGILL writes a crash dump (TZCrashDump.h) and then arrives as an
// XTZSEHException thrown at the faulting instruction. Threads that did not install it keep the
// previous behaviour (normally: the process ends). The entry calls it first thing, every worker
// thread at the start of its body. In ThreadSanitizer builds the translator is off.
//
// HandleFatalException shows the exception's display text in one message box and ends the process
// with exit status 1; only the first call in the process does so, later calls from any thread
// (also while that box is open) return at once.
#pragma once

#include "platform/TZException.h"

class TZExceptionUtils {
 public:
  virtual ~TZExceptionUtils() = default;

  // Never throws: a failure becomes the assertion line "Failed to install exception handler
  // functions".
  static void InstallExceptionHandlers();
  // Never throws: a failure becomes the assertion line "Failed to handle the exception".
  static void HandleFatalException(const TZException& inException);

 protected:
  TZExceptionUtils() = default;

  virtual void InstallHandlers() = 0;
  virtual void HandleFatal(const TZException& inException);
  // Puts back what was installed before the translator, for the whole process.
  virtual void RestoreHandlers() = 0;

 private:
  static TZExceptionUtils& Instance();
  // Set once HandleFatal starts; read by nothing but kept for a debugger.
  bool m_handling = false;
};
