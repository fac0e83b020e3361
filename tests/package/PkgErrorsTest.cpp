#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "pkg/PkgException.h"

namespace {

struct MessageRow {
  int code;
  const char* text;
};

TEST(PkgErrors, MessagesCarryThePrefixAndTheTableText) {
  const MessageRow rows[] = {
      {0, "NONE"},
      {2, "Couldn't read all bytes of CDH"},
      {11, "Could not find ECD"},
      {16, "Detected a Split Zip file"},
      {19, "NOT Implemented"},
      {31, "Error Decompressing File"},
      {48, "Error Creating Temp File"},
      {49, "Error Deleting Temp File"},
      {50, "UNKNOWN Error Code"},
      {51, "UNKNOWN Error Code"},
      {-1, "UNKNOWN Error Code"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.code);
    const pkg::PackageException e(row.code);
    EXPECT_EQ(e.GetCode(), row.code);
    EXPECT_EQ(std::string(e.what()), std::string("PKGLIB SAMPLE ERROR MESSAGE: ") + row.text);
  }
}

TEST(PkgErrors, RuntimeErrorCarriesTheRuntimeText) {
  try {
    pkg::ThrowPkgRuntimeError(ENOENT);
    FAIL() << "nothing thrown";
  } catch (const pkg::PackageIOException& e) {
    EXPECT_EQ(e.GetCode(), 50);
    EXPECT_STREQ(e.what(), std::strerror(ENOENT));
  }
}

TEST(PkgErrors, IOExceptionIsCaughtAsPackageException) {
  try {
    throw pkg::PackageIOException(pkg::kPkgErrBadCDHSignature);
  } catch (const pkg::PackageException& e) {
    EXPECT_EQ(e.GetCode(), 3);
    EXPECT_NE(dynamic_cast<const pkg::PackageIOException*>(&e), nullptr);
  }
}

}  // namespace
