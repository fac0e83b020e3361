// Private objects behind TZWorkerThread: they own the platform threads and apply the priority.
#pragma once

#include <boost/thread/thread.hpp>
#include <cstdint>
#include <memory>
#include <vector>

class TZWorkerThread;

class TZThreadImpl {
 public:
  explicit TZThreadImpl(uint32_t inPriority) : m_priority(inPriority) {}
  // Joins every thread not yet joined: a thread must never outlive the object it calls into.
  virtual ~TZThreadImpl();
  TZThreadImpl(const TZThreadImpl&) = delete;
  TZThreadImpl& operator=(const TZThreadImpl&) = delete;

  virtual void Run() = 0;

  // Creates a new thread whose entry calls Run(). Earlier threads are kept so that Join and the
  // destructor can wait for them.
  void Start();
  void Join();

 protected:
  uint32_t m_priority;

 private:
  std::vector<std::unique_ptr<boost::thread>> m_threads;
};

class TZWorkerThreadImpl : public TZThreadImpl {
 public:
  TZWorkerThreadImpl(uint32_t inPriority, TZWorkerThread* inOwner)
      : TZThreadImpl(inPriority), m_owner(inOwner) {}

  // Applies the priority code to the calling thread, then runs the owner's body.
  void Run() override;

 private:
  TZWorkerThread* m_owner;
};

// Platform half: applies a priority code (see TZWorkerThread.h) to the calling thread.
void XTZApplyThreadPriority(uint32_t inPriority);
