#include "XTZLogger.h"

#include <cstring>

#include "platform/TZFileUtil.h"

void XTZLogger::WriteLineW(const TZString& inLine) {
  if (!m_enabled) return;
  WriteLine(inLine.ToUTF8().c_str());
}

void XTZLogger::LogW(const char16_t* inFormat, ...) {
  if (!m_enabled || !inFormat) return;
  const std::string format = TZString(inFormat).ToUTF8();
  if (!std::strchr(format.c_str(), '%')) {
    WriteLine(format.c_str());
    return;
  }
  va_list args;
  va_start(args, inFormat);
  const std::string line = FormatV(format.c_str(), args);
  va_end(args);
  WriteLine(line.c_str());
}

TZString XTZDefaultLogPath() {
  TZString folder = TZFileUtil::GetTempFolder().ToString();
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder + u"tzbk_log.txt";
}
