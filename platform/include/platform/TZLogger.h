// The process-wide logger: trace lines to a text file and, when asked, to standard output.
//
// There are no levels: one on/off flag decides, and call sites test it before they format
// anything:
//     if (TZLogger::Instance().m_enabled)
//         TZLogger::Instance().Log("OS: %s", description.c_str());
//
// Line forms:
//   clock form (from start-up until SetLogFile):  "<ms since start> <thread id> <message>"
//   dated form (after SetLogFile):
//       date="Fri, 11 Dec 2026 03:04:05 GMT" thread="1234" <message>
// Each line is built in memory and written whole under the logger's mutex, to the file and (with
// m_echoToStdout) to standard output, and flushed at once, so the file is complete after a crash.
// Narrow texts are UTF-8; wide texts are written as UTF-8.
//
// The instance is made during static initialisation, writing to the temporary folder +
// "tzbk_log.txt" (emptied at start), and is never destroyed. Any thread may log.
// If a log file cannot be opened, lines for it are silently lost; standard output still gets them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <fstream>
#include <memory>
#include <string>

#include "platform/TZMutex.h"
#include "platform/TZString.h"

class TZLogger {
 public:
  static TZLogger& Instance();

  virtual ~TZLogger();
  TZLogger(const TZLogger&) = delete;
  TZLogger& operator=(const TZLogger&) = delete;

  // Writes one line (without its newline). Returns at once when m_enabled is false.
  virtual void WriteLineW(const TZString& inLine) = 0;
  // Wide format: the format text is converted to UTF-8 and then formatted exactly as Log does,
  // with the arguments of Log (%s takes UTF-8 narrow text).
  virtual void LogW(const char16_t* inFormat, ...) = 0;
  virtual void WriteLine(const char* inLine);
  // printf-style. A format without "%" is written unchanged, without formatting; so text the
  // caller did not write must go through "%s".
  virtual void Log(const char* inFormat, ...) __attribute__((format(printf, 2, 3)));

  // Closes the current file and writes from now on to inPath (created or emptied), in the dated
  // form. Safe while other threads log.
  void SetLogFile(const TZString& inPath);
  TZString GetLogFile() const;

  // Public switches, read without the lock before formatting.
  std::atomic<bool> m_enabled{true};
  std::atomic<bool> m_dated{false};
  std::atomic<bool> m_echoToStdout{false};

 protected:
  TZLogger();
  // Formats a printf-style argument list: exactly the measured length, no truncation.
  static std::string FormatV(const char* inFormat, va_list inArgs);

 private:
  std::string BuildLine(const char* inMessage) const;

  const std::chrono::steady_clock::time_point m_startTime;
  std::unique_ptr<std::ofstream> m_stream;
  mutable TZMutex m_mutex;
  TZString m_logPath;
};
