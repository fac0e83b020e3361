// Mutexes, scoped locks and condition variables of the program: thin wrappers over Boost.Thread.
//
// Every shared object guards its own fields with one TZMutex (or TZRecursiveMutex) and, where a
// thread waits for a change, one TZCondition used with that same mutex. Locks are held only for
// the few statements that read or change the guarded fields, never across a call that may block
// or call back. Waiting is always a loop that re-tests the predicate under the lock:
//
//     TZLock lock(m_mutex);
//     while (m_items.empty())
//         m_notEmpty.Wait(lock);
//
// Failures: creating a mutex or condition the system refuses throws boost::thread_resource_error;
// locking through a lock that already owns its mutex throws boost::lock_error.
#pragma once

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/locks.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/recursive_mutex.hpp>

class TZLock;
class TZCondition;

// A non-recursive mutex. A thread that takes a TZLock on a mutex it already holds deadlocks.
class TZMutex {
 public:
  TZMutex() = default;
  virtual ~TZMutex() = default;
  TZMutex(const TZMutex&) = delete;
  TZMutex& operator=(const TZMutex&) = delete;

 private:
  friend class TZLock;
  boost::mutex m_mutex;
};

// Scoped lock on a TZMutex: acquires in the constructor, releases in the destructor.
// A lock belongs to the thread that made it.
class TZLock {
 public:
  explicit TZLock(TZMutex& inMutex) : m_lock(inMutex.m_mutex) {}
  virtual ~TZLock() = default;
  TZLock(const TZLock&) = delete;
  TZLock& operator=(const TZLock&) = delete;

 private:
  friend class TZCondition;
  boost::unique_lock<boost::mutex> m_lock;
};

// A recursive mutex: the thread that holds it may lock it again; it is free again when the last
// of that thread's locks is released. Used by singletons that may be re-entered on one thread.
class TZRecursiveMutex {
 public:
  TZRecursiveMutex() = default;
  virtual ~TZRecursiveMutex() = default;
  TZRecursiveMutex(const TZRecursiveMutex&) = delete;
  TZRecursiveMutex& operator=(const TZRecursiveMutex&) = delete;

 private:
  friend class TZRecursiveLock;
  boost::recursive_mutex m_mutex;
};

// Scoped lock on a TZRecursiveMutex.
class TZRecursiveLock {
 public:
  explicit TZRecursiveLock(TZRecursiveMutex& inMutex) : m_lock(inMutex.m_mutex) {}
  virtual ~TZRecursiveLock() = default;
  TZRecursiveLock(const TZRecursiveLock&) = delete;
  TZRecursiveLock& operator=(const TZRecursiveLock&) = delete;

 private:
  boost::unique_lock<boost::recursive_mutex> m_lock;
};

// A condition variable used with one TZMutex. Any thread may notify; a notification issued
// while nobody waits is lost, which is why waiters test their predicate under the lock first.
class TZCondition {
 public:
  TZCondition() = default;
  virtual ~TZCondition() = default;
  TZCondition(const TZCondition&) = delete;
  TZCondition& operator=(const TZCondition&) = delete;

  // Atomically releases the lock's mutex, sleeps until NotifyAll (or a spurious wake-up) and
  // re-acquires the mutex before returning. No time limit.
  void Wait(TZLock& inLock) { m_condition.wait(inLock.m_lock); }

  // Wakes every thread waiting now. Call it while holding the mutex that guards the predicate.
  void NotifyAll() { m_condition.notify_all(); }

 private:
  boost::condition_variable m_condition;
};
