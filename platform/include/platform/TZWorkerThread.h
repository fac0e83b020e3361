// Worker threads of the program, on Boost.Thread.
//
// TZWorkerThread is an abstract thread object: a subclass supplies Run(), the body executed on
// the new thread. Start() creates a platform thread; Join() waits for it. The object is owned and
// driven (Start, Join, destruction) by one owner thread.
//
// Priority codes, applied by the new thread to itself before Run():
//     0 lowest, 1 below normal, 2 left as inherited (no call made), 3 above normal, 4 highest,
//     any other value: normal priority, set explicitly.
// On Linux these are per-thread nice values; a change the system refuses is ignored.
//
// Lifetime: the thread calls into this object, so the object must outlive every thread it
// started. The destructor therefore joins every thread still running rather than detaching it.
// A subclass whose Run() uses the subclass's own members must Join() in its own destructor
// (before those members go away); the base destructor's join is the last guard for the base.
#pragma once

#include <cstdint>
#include <memory>

class TZWorkerThreadImpl;

class TZWorkerThread {
 public:
  explicit TZWorkerThread(uint32_t inPriority);
  virtual ~TZWorkerThread();
  TZWorkerThread(const TZWorkerThread&) = delete;
  TZWorkerThread& operator=(const TZWorkerThread&) = delete;

  // The body of the thread.
  virtual void Run() = 0;

  // Starts a new platform thread running Run(). Calling it again while an earlier thread still
  // runs starts another one; both keep running. Throws boost::thread_resource_error when the
  // system refuses a thread (nothing is changed then).
  void Start();

  // Waits until every thread started through this object has ended. Returns at once when none
  // was started or all have been joined already.
  void Join();

 private:
  std::unique_ptr<TZWorkerThreadImpl> m_impl;
};

// The calling thread's system thread id (gettid on Linux).
uint32_t TZGetCurrentThreadId();
