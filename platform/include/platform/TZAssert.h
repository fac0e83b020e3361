// Assertions of the program: reported as one log line, never stopping the program.
#pragma once

#include <cstdint>

// If the process-wide logger is enabled, logs "Assert failed: %s at %s:%d" with the message, the
// source path and the line, or "Assert failed at %s:%d" when inMessage is null. Nothing else
// happens: no dialog, no break, no exit. Any thread may call it.
void TZReportAssert(const char* inMessage, const char* inSourceFile, int32_t inLine);
