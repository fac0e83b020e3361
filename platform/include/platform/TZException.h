// The platform family of exceptions: faults that end the process.
//
// TZException carries a message key, compared by identity (its address), not by content; its
// display text comes from TZMessageTable. TZFatalException is the unknown failure that reached
// the top of a platform thread; XTZSEHException (XTZSEHException.h) is a translated hardware fault.
// TZExceptionUtils::HandleFatalException shows one message box for them and exits.
#pragma once

#include <exception>

#include "platform/TZString.h"

// The key of every fatal exception in this program.
extern const char kTZExceptionMsg[];

class TZException : public std::exception {
 public:
  ~TZException() override = 0;

  // The text TZMessageTable holds for the key.
  virtual TZString GetDisplayMessage() const;

  const char* GetKey() const { return m_key; }

 protected:
  explicit TZException(const char* inKey) : m_key(inKey) {}

  const char* m_key;
};

class TZFatalException : public TZException {
 public:
  TZFatalException() : TZException(kTZExceptionMsg) {}
};

// Process-wide map from message key (by address) to display text, empty at start-up. Fill it
// before other threads start; lookups take no lock.
class TZMessageTable {
 public:
  static void Add(const char* inKey, const TZString& inText);
  // The text stored for inKey; for a key without an entry, the key's own text.
  static TZString Lookup(const char* inKey);
};
