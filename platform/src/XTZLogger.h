// The logger of this platform: wide texts become UTF-8; there is no debugger output.
#pragma once

#include "platform/TZLogger.h"

class XTZLogger : public TZLogger {
 public:
  XTZLogger() = default;

  void WriteLineW(const TZString& inLine) override;
  void LogW(const char16_t* inFormat, ...) override;
};

// The temporary folder + "tzbk_log.txt".
TZString XTZDefaultLogPath();
