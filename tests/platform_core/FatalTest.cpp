// HandleFatalException: entered from two threads at once, one box is shown and the process exits
// once, with status 1. Runs in a child process (a death test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "CoreTestSupport.h"
#include "platform/TZExceptionUtils.h"
#include "platform/TZMessageBox.h"
#include "platform/TZMutex.h"

namespace {

// The child writes one line per event to this file, which the parent reads afterwards.
void Record(const std::string& inPath, const std::string& inLine) {
  FILE* file = std::fopen(inPath.c_str(), "a");
  if (file) {
    std::fprintf(file, "%s\n", inLine.c_str());
    std::fclose(file);
  }
}

void TwoThreadsHitFatal(const std::string& inRecord) {
  TZMutex mutex;
  TZCondition changed;
  int returned = 0;
  // The box stays open until the other thread has come back from HandleFatalException, so the
  // second call arrives while the first one's box is open.
  TZSetMessageBoxResponder([&](const TZMessageBoxRequest& inRequest) {
    Record(inRecord, "box " + inRequest.m_caption.ToUTF8() + ": " + inRequest.m_text.ToUTF8());
    TZLock lock(mutex);
    while (returned < 1) changed.Wait(lock);
    return kTZAnswerOK;
  });
  std::atomic<bool> go{false};
  auto body = [&] {
    while (!go) std::this_thread::yield();
    TZExceptionUtils::HandleFatalException(TZFatalException());
    // Only the thread whose call did not exit gets here.
    Record(inRecord, "returned");
    TZLock lock(mutex);
    ++returned;
    changed.NotifyAll();
  };
  std::thread first(body);
  std::thread second(body);
  go = true;
  first.join();
  second.join();
  // Both calls returned: the process did not exit at all.
  std::exit(50);
}

TEST(FatalExceptionTest, TwoThreadsAtOnceShowOneBoxAndExitOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* inherited = std::getenv("TZ_FATAL_TEST_RECORD");
  // The re-executed child writes to the parent's file and makes no folder of its own.
  std::optional<coretest::ScratchDir> dir;
  if (!inherited) dir.emplace();
  const std::string record = inherited ? inherited : dir->File("record.txt");
  setenv("TZ_FATAL_TEST_RECORD", record.c_str(), 1);
  EXPECT_EXIT(TwoThreadsHitFatal(record), ::testing::ExitedWithCode(1), "");
  if (inherited) return;
  unsetenv("TZ_FATAL_TEST_RECORD");
  const std::string text = coretest::ReadFile(record);
  EXPECT_EQ("box Tarsel Ostrel: kTZExceptionMsg\nreturned\n", text);
}

}  // namespace
