#include "platform/TZAssert.h"

#include "platform/TZLogger.h"

void TZReportAssert(const char* inMessage, const char* inSourceFile, int32_t inLine) {
  TZLogger& logger = TZLogger::Instance();
  if (!logger.m_enabled) return;
  const char* file = inSourceFile ? inSourceFile : "";
  if (inMessage)
    logger.Log("Assert failed: %s at %s:%d", inMessage, file, inLine);
  else
    logger.Log("Assert failed at %s:%d", file, inLine);
}
