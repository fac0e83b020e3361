#include "platform/TZLogger.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "XTZLogger.h"
#include "platform/TZWorkerThread.h"

namespace {

// Made during static initialisation so that the file is emptied at start-up; other static
// initialisers that log first reach it through Instance() all the same.
TZLogger& s_forceCreation = TZLogger::Instance();

}  // namespace

TZLogger& TZLogger::Instance() {
  // Never destroyed: threads and static destructors may log until the process ends.
  static TZLogger* const instance = new XTZLogger();
  return *instance;
}

TZLogger::TZLogger() : m_startTime(std::chrono::steady_clock::now()), m_logPath(XTZDefaultLogPath()) {
  m_stream = std::make_unique<std::ofstream>(m_logPath.ToUTF8(), std::ios::out | std::ios::trunc);
}

TZLogger::~TZLogger() = default;

void TZLogger::SetLogFile(const TZString& inPath) {
  auto stream = std::make_unique<std::ofstream>(inPath.ToUTF8(), std::ios::out | std::ios::trunc);
  TZLock lock(m_mutex);
  m_logPath = inPath;
  m_stream = std::move(stream);
  m_dated = true;
}

TZString TZLogger::GetLogFile() const {
  TZLock lock(m_mutex);
  return m_logPath;
}

std::string TZLogger::FormatV(const char* inFormat, va_list inArgs) {
  va_list measure;
  va_copy(measure, inArgs);
  const int length = std::vsnprintf(nullptr, 0, inFormat, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), inFormat, inArgs);
  return std::string(buffer.data(), static_cast<size_t>(length));
}

void TZLogger::Log(const char* inFormat, ...) {
  if (!m_enabled || !inFormat) return;
  if (!std::strchr(inFormat, '%')) {
    WriteLine(inFormat);
    return;
  }
  va_list args;
  va_start(args, inFormat);
  const std::string line = FormatV(inFormat, args);
  va_end(args);
  WriteLine(line.c_str());
}

std::string TZLogger::BuildLine(const char* inMessage) const {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char prefix[96];
  if (m_dated) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::snprintf(prefix, sizeof prefix, "date=\"%s, %02d %s %d %02d:%02d:%02d GMT\" thread=\"%u\" ",
                  kDays[utc.tm_wday % 7], utc.tm_mday, kMonths[utc.tm_mon % 12], utc.tm_year + 1900,
                  utc.tm_hour, utc.tm_min, utc.tm_sec, TZGetCurrentThreadId());
  } else {
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_startTime)
            .count();
    std::snprintf(prefix, sizeof prefix, "%lld %u ", ms, TZGetCurrentThreadId());
  }
  return std::string(prefix) + inMessage;
}

void TZLogger::WriteLine(const char* inLine) {
  if (!m_enabled || !inLine) return;
  TZLock lock(m_mutex);
  const std::string line = BuildLine(inLine) + "\n";
  if (m_stream) {
    m_stream->write(line.data(), static_cast<std::streamsize>(line.size()));
    m_stream->flush();
  }
  if (m_echoToStdout) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
  }
}
