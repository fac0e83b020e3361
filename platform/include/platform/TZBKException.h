// TZBKException: the exception of the installer workflow and of the cloud/download layer.
//
// It carries either a numeric error code (the code the user finally sees) or a message key, plus
// the base name of the source file that threw (no folder, no extension) and the line. Building
// one logs "Internal Error: %s, %d" with that base name and line when the logger is enabled.
// Copyable; catch sites take a copy. what() is the standard default and carries no text.
#pragma once

#include <cstdint>
#include <exception>

#include "platform/TZString.h"

// The key of every key-constructed exception: a broken internal contract.
extern const char16_t kTZErrorInternal[];

// The code a key-constructed exception carries. Catch sites log the code and show it to the user
// in the error dialog's support line, so it must be a fixed value that no other failure uses: the
// installer's own codes are 9 and 9000 to 9006, everything else is the setup program's exit code,
// and 9999 is neither.
constexpr int32_t kTZErrorInternalCode = 9999;

class TZBKException : public std::exception {
 public:
  // A numeric error code thrown at inSourceFile:inLine; the message key stays empty.
  TZBKException(const int32_t& inCode, const char* inSourceFile, int32_t inLine);
  // A message key thrown at inSourceFile:inLine; the code is kTZErrorInternalCode.
  TZBKException(const TZString& inMessageKey, const char* inSourceFile, int32_t inLine);

  int32_t GetCode() const { return m_code; }
  const TZString& GetMessageKey() const { return m_messageKey; }
  // Base name of the source file, e.g. "BKInstallerService" for ".../installer/BKInstallerService.cpp".
  const TZString& GetFile() const { return m_file; }
  int32_t GetLine() const { return m_line; }

 private:
  void LogInternalError() const;

  int32_t m_code;
  TZString m_messageKey;
  TZString m_file;
  int32_t m_line;
};

// The base of the last component of a source path ('/' or '\' separated): the component without
// the text from its last "." on. "a/b/Foo.cpp" -> "Foo", "..\x\Foo" -> "Foo", "Foo.src" -> "Foo",
// "Foo" -> "Foo", "" -> "".
TZString TZSourceBaseName(const char* inSourceFile);
