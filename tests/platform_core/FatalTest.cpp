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

// Two threads call HandleFatalException. With inSecondWaitsForBox the second call is made only
// once the first one's box is open; otherwise both start at once. The box stays open until the
// other call has returned, so a second exit could not hide behind the first.
void TwoThreadsHitFatal(const std::string& inRecord, bool inSecondWaitsForBox) {
  TZMutex mutex;
  TZCondition changed;
  bool boxOpen = false;
  int returned = 0;
  TZSetMessageBoxResponder([&](const TZMessageBoxRequest& inRequest) {
    Record(inRecord, "box " + inRequest.m_caption.ToUTF8() + ": " + inRequest.m_text.ToUTF8());
    TZLock lock(mutex);
    boxOpen = true;
    changed.NotifyAll();
    while (returned < 1) changed.Wait(lock);
    return kTZAnswerOK;
  });
  std::atomic<bool> go{false};
  auto body = [&](bool inWaitForBox) {
    while (!go) std::this_thread::yield();
    if (inWaitForBox) {
      TZLock lock(mutex);
      while (!boxOpen) changed.Wait(lock);
    }
    TZExceptionUtils::HandleFatalException(TZFatalException());
    // Only the thread whose call did not exit gets here.
    Record(inRecord, "returned");
    TZLock lock(mutex);
    ++returned;
    changed.NotifyAll();
  };
  // Detached: the thread whose call returns has ended by the time the other one exits, and a
  // joinable thread left behind would count as leaked.
  std::thread(body, false).detach();
  std::thread(body, inSecondWaitsForBox).detach();
  go = true;
  TZLock lock(mutex);
  while (returned < 2) changed.Wait(lock);
  // Both calls returned: the process did not exit at all.
  std::exit(50);
}

TEST(FatalExceptionTest, TwoThreadsAtOnceShowOneBoxAndExitOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* inherited = std::getenv("TZ_FATAL_TEST_RECORD");
  // The re-executed child writes to the parent's files and makes no folder of its own.
  std::optional<coretest::ScratchDir> dir;
  if (!inherited) dir.emplace();
  const std::string folder = inherited ? inherited : dir->Path();
  setenv("TZ_FATAL_TEST_RECORD", folder.c_str(), 1);
  for (const bool secondWaitsForBox : {false, true}) {
    const std::string record = folder + (secondWaitsForBox ? "/during_box.txt" : "/at_once.txt");
    EXPECT_EXIT(TwoThreadsHitFatal(record, secondWaitsForBox), ::testing::ExitedWithCode(1), "")
        << "second waits for the box: " << secondWaitsForBox;
    if (inherited) continue;  // the re-executed child only runs its own row's statement
    const auto lines = coretest::Lines(coretest::ReadFile(record));
    ASSERT_EQ(2u, lines.size()) << "second waits for the box: " << secondWaitsForBox;
    // One box, one call that returned; when both start at once either may come first.
    const std::string box = "box Tarsel Ostrel: kTZExceptionMsg";
    if (secondWaitsForBox) {
      EXPECT_EQ(box, lines[0]);
      EXPECT_EQ("returned", lines[1]);
    } else {
      EXPECT_TRUE((lines[0] == box && lines[1] == "returned") || (lines[0] == "returned" && lines[1] == box))
          << lines[0] << " / " << lines[1];
    }
  }
  if (!inherited) unsetenv("TZ_FATAL_TEST_RECORD");
}

}  // namespace
