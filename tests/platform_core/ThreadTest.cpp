// Threads, worker threads, locks and conditions.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "CoreTestSupport.h"
#include "platform/TZBKWorkerThread.h"
#include "platform/TZFileUtil.h"
#include "platform/TZLogger.h"
#include "platform/TZMutex.h"
#include "platform/TZWorkerThread.h"

using coretest::CountOccurrences;
using coretest::ReadFile;
using coretest::ScratchDir;

namespace {

// Worker threads install the fault translator, which makes the run's session folder; it goes when
// the tests are done, as the installer's teardown removes it.
class SessionFolderCleanup : public ::testing::Environment {
 public:
  void TearDown() override { TZFileUtil::DeleteSessionTempFolder(); }
};
::testing::Environment* const s_cleanup = ::testing::AddGlobalTestEnvironment(new SessionFolderCleanup);

// A worker whose body is a function; joins in its destructor as the contract asks of subclasses.
class FunctionThread : public TZWorkerThread {
 public:
  FunctionThread(uint32_t inPriority, std::function<void()> inBody)
      : TZWorkerThread(inPriority), m_body(std::move(inBody)) {}
  ~FunctionThread() override { Join(); }
  void Run() override { m_body(); }

 private:
  std::function<void()> m_body;
};

// A gate one thread opens and others wait for.
class Gate {
 public:
  void Open() {
    TZLock lock(m_mutex);
    m_open = true;
    m_changed.NotifyAll();
  }
  void WaitOpen() {
    TZLock lock(m_mutex);
    while (!m_open) m_changed.Wait(lock);
  }

 private:
  TZMutex m_mutex;
  TZCondition m_changed;
  bool m_open = false;
};

TEST(WorkerThreadTest, JoinWithoutStartReturnsAtOnce) {
  std::atomic<int> runs{0};
  FunctionThread worker(2, [&runs] { ++runs; });
  worker.Join();
  worker.Join();
  EXPECT_EQ(0, runs.load());
}

TEST(WorkerThreadTest, StartTwiceRunsTwoThreadsAndJoinWaitsForBoth) {
  Gate gate;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  FunctionThread worker(2, [&] {
    ++started;
    gate.WaitOpen();
    ++finished;
  });
  worker.Start();
  worker.Start();
  while (started.load() < 2) std::this_thread::yield();
  EXPECT_EQ(0, finished.load());
  gate.Open();
  worker.Join();
  EXPECT_EQ(2, finished.load());
  // A joined worker can be started again.
  worker.Start();
  worker.Join();
  EXPECT_EQ(3, finished.load());
}

TEST(WorkerThreadTest, DestroyingARunningWorkerWaitsForItsThread) {
  std::atomic<bool> finished{false};
  auto* worker = new FunctionThread(2, [&finished] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    finished = true;
  });
  worker->Start();
  delete worker;
  EXPECT_TRUE(finished.load());
}

int CurrentNice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); }

TEST(WorkerThreadTest, PriorityCodesSetTheThreadsNiceValue) {
  struct Row {
    uint32_t m_code;
    int m_creatorNice;  // the nice value the new thread inherits
    int m_expected;
  };
  // Code 2 makes no call, so the inherited value stays; other values above 4 set normal (0).
  const Row rows[] = {
      {0, 0, 10}, {1, 0, 5}, {2, 0, 0}, {2, 3, 3}, {7, 3, 0}, {3, 0, -5}, {4, 0, -10},
  };
  const bool mayRaise = geteuid() == 0;
  for (const Row& row : rows) {
    int seen = 1000;
    // A fresh creator thread, so that nice changes never reach the test's own thread.
    std::thread creator([&] {
      setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), row.m_creatorNice);
      FunctionThread worker(row.m_code, [&seen] { seen = CurrentNice(); });
      worker.Start();
      worker.Join();
    });
    creator.join();
    const int expected = row.m_expected < row.m_creatorNice && !mayRaise ? row.m_creatorNice : row.m_expected;
    EXPECT_EQ(expected, seen) << "code " << row.m_code << " from nice " << row.m_creatorNice;
  }
}

TEST(LockTest, ConditionWakesWaitersAndLostNotifyIsSeenThroughThePredicate) {
  TZMutex mutex;
  TZCondition changed;
  std::deque<int> items;
  // Notify with nobody waiting: the notification is lost, the predicate is not.
  {
    TZLock lock(mutex);
    items.push_back(1);
    changed.NotifyAll();
  }
  std::vector<int> taken;
  std::thread consumer([&] {
    for (;;) {
      TZLock lock(mutex);
      while (items.empty()) changed.Wait(lock);
      const int item = items.front();
      items.pop_front();
      if (item == 0) return;
      taken.push_back(item);
    }
  });
  for (int i = 2; i <= 100; ++i) {
    TZLock lock(mutex);
    items.push_back(i);
    changed.NotifyAll();
  }
  {
    TZLock lock(mutex);
    items.push_back(0);
    changed.NotifyAll();
  }
  consumer.join();
  ASSERT_EQ(100u, taken.size());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(i + 1, taken[i]);
}

TEST(LockTest, RecursiveMutexIsFreeOnlyAfterTheLastLock) {
  TZRecursiveMutex mutex;
  std::atomic<bool> otherHasIt{false};
  std::thread other;
  {
    TZRecursiveLock outer(mutex);
    {
      TZRecursiveLock inner(mutex);
      other = std::thread([&] {
        TZRecursiveLock lock(mutex);
        otherHasIt = true;
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      EXPECT_FALSE(otherHasIt.load());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(otherHasIt.load());
  }
  other.join();
  EXPECT_TRUE(otherHasIt.load());
}

TEST(LockTest, MutexMakesIncrementsAtomic) {
  TZMutex mutex;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        TZLock lock(mutex);
        ++counter;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(40000, counter);
}

// --- TZBKWorkerThread ------------------------------------------------------------------------

class RecordingHandler : public ITZCustomExceptionHandler {
 public:
  void HandleUnknownException() override { ++m_unknown; }
  void HandleException(const TZBKException& inException) override {
    ++m_known;
    m_code = inException.GetCode();
  }
  std::atomic<int> m_unknown{0};
  std::atomic<int> m_known{0};
  std::atomic<int32_t> m_code{0};
};

class FunctionCallback : public TZBKWorkerThreadCallback {
 public:
  explicit FunctionCallback(std::function<void()> inBody) : m_body(std::move(inBody)) {}
  void Run() override { m_body(); }

 private:
  std::function<void()> m_body;
};

TEST(BKWorkerThreadTest, EscapingExceptionsBecomeOneAssertLineAndOneHandlerCall) {
  ScratchDir dir;
  const std::string logPath = dir.File("worker_log.txt");
  TZLogger::Instance().SetLogFile(TZString(logPath.c_str()));
  TZLogger::Instance().m_enabled = true;

  const std::string knownLine =
      "Assert failed: TZCustomException in TZBKWorkerThread at "
      "..\\..\\..\\source\\components\\briskencore\\TZBKWorkerThread:54";
  const std::string unknownLine =
      "Assert failed: Exception in TZBKWorkerThread at "
      "..\\..\\..\\source\\components\\briskencore\\TZBKWorkerThread:59";
  struct Row {
    const char* m_name;
    std::function<void()> m_body;
    int m_known;
    int m_unknown;
  };
  const Row rows[] = {
      {"returns", [] {}, 0, 0},
      {"TZBKException", [] { throw TZBKException(9002, "BKDownload.cpp", 12); }, 1, 0},
      {"runtime_error", [] { throw std::runtime_error("boom"); }, 0, 1},
      {"int", [] { throw 5; }, 0, 1},
  };
  for (const Row& row : rows) {
    TZLogger::Instance().SetLogFile(TZString(logPath.c_str()));
    RecordingHandler handler;
    FunctionCallback callback(row.m_body);
    {
      TZBKWorkerThread worker(2, &callback, &handler);
      worker.Start();
      worker.Join();
    }
    const std::string log = ReadFile(logPath);
    EXPECT_EQ(static_cast<size_t>(row.m_known), CountOccurrences(log, knownLine)) << row.m_name;
    EXPECT_EQ(static_cast<size_t>(row.m_unknown), CountOccurrences(log, unknownLine)) << row.m_name;
    EXPECT_EQ(row.m_known, handler.m_known.load()) << row.m_name;
    EXPECT_EQ(row.m_unknown, handler.m_unknown.load()) << row.m_name;
    if (row.m_known) {
      EXPECT_EQ(9002, handler.m_code.load()) << row.m_name;
    }
  }
}

TEST(BKWorkerThreadTest, NullCallbackAndHandlerAreHarmless) {
  TZBKWorkerThread worker(2, nullptr, nullptr);
  worker.Start();
  worker.Join();
  FunctionCallback callback([] { throw 1; });
  TZBKWorkerThread throwing(2, &callback, nullptr);
  throwing.Start();
  throwing.Join();
}

}  // namespace
