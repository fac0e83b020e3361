// Errors of the package library.
//
// Every failure of the library is thrown as a PackageException carrying one of the codes below
// and a message. Codes 0 to 49 have fixed messages ("PKGLIB SAMPLE ERROR MESSAGE: " followed by
// the text of the code); a code above 49 gets the "UNKNOWN Error Code" text, except code 50,
// which the file layer throws with the C runtime's text for the current errno.
//
// PackageIOException marks failures of reading or writing the package file itself (the record
// readers and the file layer throw it); a handler of PackageException catches both.
#pragma once

#include <exception>
#include <string>

namespace pkg {

enum PkgErrorCode : int {
  kPkgErrNone = 0,
  kPkgErrOutOfMemory = 1,
  kPkgErrReadCDH = 2,
  kPkgErrBadCDHSignature = 3,
  kPkgErrReadFileName = 4,
  kPkgErrReadExtraField = 5,
  kPkgErrReadComment = 6,
  kPkgErrFileTooBig = 7,
  kPkgErrBadLFHSignature = 8,
  kPkgErrTooManyEntries = 9,
  kPkgErrReadECD = 10,
  kPkgErrFindECD = 11,
  kPkgErrReadZip64ECDL = 12,
  kPkgErrBadZip64ECDLSignature = 13,
  kPkgErrReadZip64ECD = 14,
  kPkgErrBadZip64ECDSignature = 15,
  kPkgErrSplitZip = 16,
  kPkgErrAlreadyOpen = 17,
  kPkgErrBadLFHSize = 18,
  kPkgErrNotImplemented = 19,
  kPkgErrNotPackage = 20,
  kPkgErrEntryNotFound = 21,
  kPkgErrBadArgument = 22,
  kPkgErrUnsupportedOperation = 23,
  kPkgErrIllegalState = 24,
  kPkgErrDirectoryExists = 25,
  kPkgErrWriteOnly = 26,
  kPkgErrDeflateWrite = 27,
  kPkgErrNotInUpdate = 28,
  kPkgErrWriteFile = 29,
  kPkgErrClosePackage = 30,
  kPkgErrDecompress = 31,
  kPkgErrCompress = 32,
  kPkgErrModeInputOnly = 33,
  kPkgErrModeInvalid = 34,
  kPkgErrUpdateInProgress = 35,
  kPkgErrUpdateNeedsWrite = 36,
  kPkgErrUpdateNotInProgress = 37,
  kPkgErrOpenFile = 38,
  kPkgErrOpenTempFile = 39,
  kPkgErrReadFile = 40,
  kPkgErrSeek = 41,
  kPkgErrTell = 42,
  kPkgErrFlush = 43,
  kPkgErrTruncate = 44,
  kPkgErrConformance = 45,
  kPkgErrInvalidMimetype = 46,
  kPkgErrMissingMimetype = 47,
  kPkgErrCreateTempFile = 48,
  kPkgErrDeleteTempFile = 49,
  kPkgErrRuntime = 50,
};

// The fixed message of a code, with its prefix. Never fails; unknown codes give the
// "UNKNOWN Error Code" text.
std::string PkgErrorMessage(int inCode);

class PackageException : public std::exception {
 public:
  // Message from the table of codes.
  explicit PackageException(int inCode);
  // Explicit message (code 50 carries the runtime's error text).
  PackageException(int inCode, std::string inMessage);

  int GetCode() const noexcept { return m_code; }
  const char* what() const noexcept override { return m_message.c_str(); }

 private:
  int m_code;
  std::string m_message;
};

class PackageIOException : public PackageException {
 public:
  using PackageException::PackageException;
};

// Code 50 for the given errno value, thrown as PackageIOException.
[[noreturn]] void ThrowPkgRuntimeError(int inErrno);

}  // namespace pkg
