#include "pkg/PkgException.h"

#include <cstring>
#include <utility>

namespace pkg {

namespace {

const char* const kPrefix = "PKGLIB SAMPLE ERROR MESSAGE: ";

const char* const kTexts[] = {
    "NONE",
    "Out of Memory",
    "Couldn't read all bytes of CDH",
    "Bad CDH signature",
    "Could not read file name",
    "Could not read extra field",
    "Could not read file comment",
    "file size too big",
    "Bad LFH signature",
    "Too many CD entries",
    "Could not read ECD",
    "Could not find ECD",
    "Could not read Zip64 ECDL",
    "Bad Zip64 ECDL signature",
    "Could not read Zip64 ECD",
    "Bad Zip64 ECD signature",
    "Detected a Split Zip file",
    "Package already open",
    "Bad LFH size value",
    "NOT Implemented",
    "Not a Valid Package file",
    "Package Entry not found",
    "Client Error Bad Argument",
    "Client Error Unsupported Operation",
    "Package in Illegal State",
    "Directory Already Exists",
    "Package Open Write-Only",
    "Write DEFLATE Operation FAILED",
    "Package not in update",
    "Error Writing File",
    "Error Closing Package File",
    "Error Decompressing File",
    "Error Compressing File",
    "Open mode is input only",
    "Open mode is invalid",
    "Update already in progress",
    "Update requires write",
    "Update not in progress",
    "Error Opening File",
    "Error Opening Temp File",
    "Error Reading File",
    "Error Seeking",
    "Error Telling",
    "Error Flushing",
    "Error Truncating",
    "Conformance Violation",
    "Invalid mimetype file",
    "Missing mimetype file",
    "Error Creating Temp File",
    "Error Deleting Temp File",
};

}  // namespace

std::string PkgErrorMessage(int inCode) {
  const int count = static_cast<int>(sizeof(kTexts) / sizeof(kTexts[0]));
  if (inCode >= 0 && inCode < count) {
    return std::string(kPrefix) + kTexts[inCode];
  }
  return std::string(kPrefix) + "UNKNOWN Error Code";
}

PackageException::PackageException(int inCode) : m_code(inCode), m_message(PkgErrorMessage(inCode)) {}

PackageException::PackageException(int inCode, std::string inMessage)
    : m_code(inCode), m_message(std::move(inMessage)) {}

void ThrowPkgRuntimeError(int inErrno) {
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char* text = strerror_r(inErrno, buffer, sizeof(buffer));
  throw PackageIOException(kPkgErrRuntime, text != nullptr ? text : "Unknown error");
}

}  // namespace pkg
