// Receivers of exceptions that escape a worker thread's callback (TZBKWorkerThread).
#pragma once

#include "platform/TZBKException.h"

// Called on the worker thread whose callback let the exception escape. Owned by the caller of
// the worker's constructor; it must outlive the worker.
class ITZCustomExceptionHandler {
 public:
  // Anything other than a TZBKException escaped (translated hardware faults included).
  virtual void HandleUnknownException() = 0;
  virtual void HandleException(const TZBKException& inException) = 0;

 protected:
  ~ITZCustomExceptionHandler() = default;
};

// The installer's handler: the assertion line the worker already wrote is all that happens, and
// the worker thread just ends; its owner notices through its own state.
class InstallerCustomExceptionHandler final : public ITZCustomExceptionHandler {
 public:
  void HandleUnknownException() override {}
  void HandleException(const TZBKException&) override {}
};
