// Hardware faults on threads with the translator become exceptions and leave a crash dump; on
// threads without it they are not intercepted. Every case runs in a child process (a death test)
// with its own temporary folder, so the dumps land in a folder this test owns.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "CoreTestSupport.h"
#include "platform/TZBKWorkerThread.h"
#include "platform/TZCrashDump.h"
#include "platform/TZExceptionUtils.h"
#include "platform/TZFileUtil.h"
#include "platform/TZLogger.h"
#include "platform/XTZSEHException.h"

using coretest::CountOccurrences;
using coretest::Match;
using coretest::ReadFile;

namespace fs = std::filesystem;

// The faults, kept out of the optimiser's sight and with external names, so that the dump's
// backtrace can name them. The sanitizers would catch both before the processor does; these must
// reach the processor.
int* volatile g_null = nullptr;
volatile int g_zero = 0;
volatile int g_sink = 0;

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteThroughNull() { *g_null = 42; }

__attribute__((noinline, no_sanitize("address", "undefined"))) void DivideByZero() { g_sink = 7 / g_zero; }

// Recurses until the stack runs out.
__attribute__((noinline, no_sanitize("address", "undefined"))) int Overflow(int inDepth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(inDepth);
  return g_zero == 0 ? Overflow(inDepth + 1) + frame[0] : 0;
}

namespace {

// One scratch folder per test, shared by the parent and the child it re-executes: the child
// inherits TZ_CRASH_TEST_DIR and TMPDIR, so its session folder is made inside the folder.
class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (const char* inherited = std::getenv("TZ_CRASH_TEST_DIR")) {
      m_dir = inherited;
      return;
    }
    std::string pattern = (fs::temp_directory_path() / "tzcrash-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(&pattern[0]));
    m_dir = pattern;
    m_owner = true;
    setenv("TZ_CRASH_TEST_DIR", m_dir.c_str(), 1);
    m_savedTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", m_dir.c_str(), 1);
  }
  void TearDown() override {
    if (!m_owner) return;
    unsetenv("TZ_CRASH_TEST_DIR");
    if (m_savedTmp.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", m_savedTmp.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }
  // Every dump file under the scratch folder.
  std::vector<fs::path> Dumps() const {
    std::vector<fs::path> dumps;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir))
      if (entry.path().extension() == ".dmp") dumps.push_back(entry.path());
    return dumps;
  }

  std::string m_dir;
  bool m_owner = false;
  std::string m_savedTmp;
};

class CountingHandler : public ITZCustomExceptionHandler {
 public:
  void HandleUnknownException() override { ++m_unknown; }
  void HandleException(const TZBKException&) override { ++m_known; }
  std::atomic<int> m_unknown{0};
  std::atomic<int> m_known{0};
};

class FaultCallback : public TZBKWorkerThreadCallback {
 public:
  explicit FaultCallback(void (*inFault)()) : m_fault(inFault) {}
  void Run() override {
    m_fault();
    m_survived = true;  // never reached: the fault leaves by an exception
  }
  void (*m_fault)();
  std::atomic<bool> m_survived{false};
};

// In the child: faults on a worker thread, checks what the worker reported, and exits 0 when the
// process went on normally. A failed check exits with a code that names it.
void FaultOnWorkerThenGoOn(void (*inFault)(), const std::string& inLogPath) {
  TZLogger::Instance().SetLogFile(TZString(inLogPath.c_str()));
  TZLogger::Instance().m_enabled = true;
  TZExceptionUtils::InstallExceptionHandlers();
  CountingHandler handler;
  FaultCallback callback(inFault);
  {
    TZBKWorkerThread worker(2, &callback, &handler);
    worker.Start();
    worker.Join();
  }
  if (callback.m_survived) std::exit(10);
  if (handler.m_unknown != 1 || handler.m_known != 0) std::exit(11);
  if (TZGetLastDumpPath().empty()) std::exit(12);
  // The process goes on: a second worker runs normally.
  FaultCallback quiet([] {});
  TZBKWorkerThread again(2, &quiet, &handler);
  again.Start();
  again.Join();
  std::exit(quiet.m_survived && handler.m_unknown == 1 ? 0 : 13);
}

TEST_F(CrashTest, FaultOnWorkerThreadArrivesAsExceptionAndLeavesADump) {
  struct Row {
    const char* m_name;
    void (*m_fault)();
    int m_signal;
    const char* m_signalName;
  };
  const Row rows[] = {
      {"null write", WriteThroughNull, SIGSEGV, "SIGSEGV"},
      {"integer division by zero", DivideByZero, SIGFPE, "SIGFPE"},
  };
  for (const Row& row : rows) {
    const std::string logPath = m_dir + "/" + std::to_string(row.m_signal) + "_log.txt";
    EXPECT_EXIT(FaultOnWorkerThenGoOn(row.m_fault, logPath), ::testing::ExitedWithCode(0), "") << row.m_name;
    if (!m_owner) continue;  // the re-executed child only runs its own row's statement
    // Exactly one new dump, in the "Dump" folder of a session folder.
    std::vector<fs::path> dumps;
    for (const fs::path& dump : Dumps())
      if (ReadFile(dump.string()).find(std::string("(") + row.m_signalName + ")") != std::string::npos)
        dumps.push_back(dump);
    ASSERT_EQ(1u, dumps.size()) << row.m_name;
    const fs::path& dump = dumps[0];
    EXPECT_EQ("Dump", dump.parent_path().filename().string()) << row.m_name;
    EXPECT_TRUE(Match(dump.parent_path().parent_path().filename().string(), "TZ[0-9]+Session")) << dump;
    EXPECT_TRUE(Match(dump.filename().string(),
                      "TzDump[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\.dmp"))
        << dump;
    const std::string text = ReadFile(dump.string());
    for (const std::string& expected :
         {std::string("version=1.0.0.1\n"), std::string("signal=") + std::to_string(row.m_signal),
          std::string("backtrace:\n"), std::string("memory map:\n"), std::string("thread=")})
      EXPECT_NE(std::string::npos, text.find(expected)) << row.m_name << ": " << expected;
    // The backtrace names the faulting function.
    EXPECT_NE(std::string::npos, text.find(row.m_signal == SIGSEGV ? "WriteThroughNull" : "DivideByZero"))
        << text.substr(0, 3000);
    // The worker reported the translated fault as an unknown exception, once.
    const std::string log = ReadFile(logPath);
    EXPECT_EQ(1u, CountOccurrences(log,
                                   "Assert failed: Exception in TZBKWorkerThread at "
                                   "..\\..\\..\\source\\components\\briskencore\\TZBKWorkerThread:59"))
        << log;
  }
}

// In the child: two faults caught on one thread, checking the exception's fields.
void TwoFaultsCaught() {
  TZExceptionUtils::InstallExceptionHandlers();
  std::vector<std::string> paths;
  try {
    WriteThroughNull();
    std::exit(20);
  } catch (const XTZSEHException& fault) {
    if (fault.GetSEHCode() != SIGSEGV || fault.GetFaultAddress() != 0 || fault.GetDumpError() != 0)
      std::exit(21);
    if (fault.GetDisplayMessage() != TZString(u"kTZExceptionMsg")) std::exit(22);
    paths.push_back(TZGetLastDumpPath().ToUTF8());
  }
  try {
    DivideByZero();
    std::exit(23);
  } catch (const TZFatalException& fault) {
    paths.push_back(TZGetLastDumpPath().ToUTF8());
  }
  // Two files with different names in the same folder.
  if (paths[0] == paths[1] || fs::path(paths[0]).parent_path() != fs::path(paths[1]).parent_path())
    std::exit(24);
  // The file utilities know the latest dump.
  if (TZFileUtil::GetDumpFileName().ToUTF8() != fs::path(paths[1]).filename().string()) std::exit(26);
  std::exit(fs::exists(paths[0]) && fs::exists(paths[1]) ? 0 : 25);
}

TEST_F(CrashTest, TwoFaultsGiveTwoDumpsInOneFolder) {
  EXPECT_EXIT(TwoFaultsCaught(), ::testing::ExitedWithCode(0), "");
  if (m_owner) {
    EXPECT_EQ(2u, Dumps().size());
  }
}

// In the child: after a first dump, a file takes the place of the "Dump" folder, so the second
// dump cannot be written; the failure is an assertion line and the fault still arrives.
void FaultWithoutDumpFolder(const std::string& inLogPath) {
  TZLogger::Instance().SetLogFile(TZString(inLogPath.c_str()));
  TZLogger::Instance().m_enabled = true;
  TZExceptionUtils::InstallExceptionHandlers();
  try {
    WriteThroughNull();
    std::exit(60);
  } catch (const XTZSEHException&) {
  }
  const fs::path dumpFolder = fs::path(TZGetLastDumpPath().ToUTF8()).parent_path();
  fs::remove_all(dumpFolder);
  std::ofstream(dumpFolder) << "not a folder";
  try {
    WriteThroughNull();
    std::exit(61);
  } catch (const XTZSEHException& fault) {
    std::exit(fault.GetDumpError() == ENOTDIR ? 0 : 62);
  }
}

TEST_F(CrashTest, DumpThatCannotBeWrittenIsReportedAndTheFaultStillArrives) {
  const std::string logPath = m_dir + "/nodump_log.txt";
  EXPECT_EXIT(FaultWithoutDumpFolder(logPath), ::testing::ExitedWithCode(0), "");
  if (m_owner) {
    EXPECT_TRUE(Dumps().empty());
    EXPECT_NE(std::string::npos,
              ReadFile(logPath).find("Assert failed: CreateFile failed. Error: " + std::to_string(ENOTDIR) +
                                     " at ..\\..\\..\\source\\private\\exceptions\\WTZExceptionUtils:97"))
        << ReadFile(logPath);
  }
}

// In the child: a stack overflow on a translating thread is reported through the alternate stack.
void OverflowOnWorker() {
  TZExceptionUtils::InstallExceptionHandlers();
  CountingHandler handler;
  FaultCallback callback([] { g_sink = Overflow(0); });
  {
    TZBKWorkerThread worker(2, &callback, &handler);
    worker.Start();
    worker.Join();
  }
  std::exit(handler.m_unknown == 1 && !TZGetLastDumpPath().empty() ? 0 : 70);
}

TEST_F(CrashTest, StackOverflowOnWorkerThreadIsReported) {
  EXPECT_EXIT(OverflowOnWorker(), ::testing::ExitedWithCode(0), "");
  if (m_owner) {
    const auto dumps = Dumps();
    ASSERT_EQ(1u, dumps.size());
    EXPECT_NE(std::string::npos, ReadFile(dumps[0].string()).find("(SIGSEGV)"));
  }
}

// In the child: the main thread installs the translator, another thread does not and faults.
void FaultOnThreadWithoutTranslator() {
  TZExceptionUtils::InstallExceptionHandlers();
  std::thread plain([] {
    try {
      WriteThroughNull();
    } catch (...) {
      std::exit(30);  // intercepted: wrong
    }
  });
  plain.join();
  std::exit(31);
}

bool EndedByTheFault(int inStatus) {
  // Killed by SIGSEGV, or (under AddressSanitizer, whose handler was there first) its report
  // and a non-zero exit; never one of the child's own exit codes.
  if (WIFSIGNALED(inStatus)) return WTERMSIG(inStatus) == SIGSEGV;
  return WIFEXITED(inStatus) && WEXITSTATUS(inStatus) != 0 && WEXITSTATUS(inStatus) != 30 &&
         WEXITSTATUS(inStatus) != 31;
}

TEST_F(CrashTest, FaultOnThreadWithoutTranslatorIsNotIntercepted) {
  EXPECT_EXIT(FaultOnThreadWithoutTranslator(), EndedByTheFault, "");
  if (m_owner) {
    EXPECT_TRUE(Dumps().empty());
  }
}

// In the child: a signal sent by a process is not a fault, even on a translating thread.
TEST_F(CrashTest, SentSignalIsNotTranslated) {
  EXPECT_EXIT(
      {
        TZExceptionUtils::InstallExceptionHandlers();
        try {
          raise(SIGSEGV);
        } catch (...) {
          std::exit(40);
        }
        std::exit(41);
      },
      EndedByTheFault, "");
  if (m_owner) {
    EXPECT_TRUE(Dumps().empty());
  }
}

}  // namespace
