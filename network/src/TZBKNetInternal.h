// Helpers private to the network library.
#pragma once

#include "platform/TZBKException.h"
#include "platform/TZLogger.h"

// Throws TZBKException with the key kTZErrorInternal, thrown at inFile:inLine.
[[noreturn]] inline void TZBKThrowInternal(const char* inFile, int inLine) {
    throw TZBKException(TZString(kTZErrorInternal), inFile, inLine);
}

// Logs a printf-style line when the logger is on; the arguments are not evaluated otherwise.
#define TZBK_LOG(...)                                        \
    do {                                                     \
        TZLogger& tzbkLogger = TZLogger::Instance();         \
        if (tzbkLogger.m_enabled) tzbkLogger.Log(__VA_ARGS__); \
    } while (0)
