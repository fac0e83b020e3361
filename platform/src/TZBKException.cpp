#include "platform/TZBKException.h"

#include <cstring>
#include <string>

#include "platform/TZLogger.h"

const char16_t kTZErrorInternal[] = u"kTZErrorInternal";

TZString TZSourceBaseName(const char* inSourceFile) {
  if (!inSourceFile || !*inSourceFile) return TZString();
  std::string name(inSourceFile);
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return TZString(name.c_str());
}

TZBKException::TZBKException(const int32_t& inCode, const char* inSourceFile, int32_t inLine)
    : m_code(inCode), m_file(TZSourceBaseName(inSourceFile)), m_line(inLine) {
  LogInternalError();
}

TZBKException::TZBKException(const TZString& inMessageKey, const char* inSourceFile, int32_t inLine)
    : m_code(kTZErrorInternalCode),
      m_messageKey(inMessageKey),
      m_file(TZSourceBaseName(inSourceFile)),
      m_line(inLine) {
  LogInternalError();
}

void TZBKException::LogInternalError() const {
  TZLogger& logger = TZLogger::Instance();
  if (logger.m_enabled) logger.Log("Internal Error: %s, %d", m_file.ToUTF8().c_str(), m_line);
}
