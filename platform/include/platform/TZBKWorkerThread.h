// The worker thread of the installer and download layers: runs a callback on its own thread and
// turns every exception that escapes the callback into an assertion line and a report to an
// ITZCustomExceptionHandler. Nothing escapes the thread; nothing is retried.
//
// Owners embed a TZBKWorkerThread and stop it one way: set their stop flag (or queue a stop item)
// under their mutex, NotifyAll, release the mutex, then Join. The destructor joins as well, so
// the callback and the handler must outlive the object. Start/Join/destruction: owner thread only.
#pragma once

#include <cstdint>

#include "platform/TZCustomExceptionHandler.h"
#include "platform/TZWorkerThread.h"

// What a TZBKWorkerThread runs. Not owned by the worker.
class TZBKWorkerThreadCallback {
 public:
  // The body executed on the worker thread.
  virtual void Run() = 0;

 protected:
  ~TZBKWorkerThreadCallback() = default;
};

class TZBKWorkerThread : public TZWorkerThread {
 public:
  // inCallback and inHandler are not owned; either may be null.
  TZBKWorkerThread(uint32_t inPriority, TZBKWorkerThreadCallback* inCallback,
                   ITZCustomExceptionHandler* inHandler);
  ~TZBKWorkerThread() override;

  // On the worker thread: installs the fault translator, runs the callback and reports what
  // escapes it: a TZBKException as "TZCustomException in TZBKWorkerThread" (line 54) and then
  // HandleException; anything else (a translated fault included) as "Exception in
  // TZBKWorkerThread" (line 59) and then HandleUnknownException.
  void Run() override;

 private:
  TZBKWorkerThreadCallback* m_callback;
  ITZCustomExceptionHandler* m_handler;
};
