// A hardware fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL) translated into a C++ exception on a thread
// that installed the translator (TZExceptionUtils::InstallExceptionHandlers). The crash dump is
// written by the signal handler before this exception is built (TZCrashDump.h), so a fault leaves
// a dump even when a handler catches the exception and the program goes on.
#pragma once

#include <cstdint>

#include "platform/TZException.h"

class XTZSEHException : public TZFatalException {
 public:
  // inSehCode: the signal number; inSignalCode: the siginfo code (e.g. SEGV_MAPERR);
  // inFaultAddress: the faulting address the system reported; inDumpError: 0 when the dump file
  // was written, else the errno of the failed step.
  XTZSEHException(uint32_t inSehCode, int32_t inSignalCode, uintptr_t inFaultAddress, int32_t inDumpError)
      : m_sehCode(inSehCode),
        m_signalCode(inSignalCode),
        m_faultAddress(inFaultAddress),
        m_dumpError(inDumpError) {}

  uint32_t GetSEHCode() const { return m_sehCode; }
  int32_t GetSignalCode() const { return m_signalCode; }
  uintptr_t GetFaultAddress() const { return m_faultAddress; }
  int32_t GetDumpError() const { return m_dumpError; }

 private:
  // Copies of what the system reported: the signal frame the system passed is gone once the
  // exception has left the handler.
  uint32_t m_sehCode;
  int32_t m_signalCode;
  uintptr_t m_faultAddress;
  int32_t m_dumpError;
};
