// TZString: the program's own wide string.
//
// A standard string of UTF-16 units (std::u16string) with every standard member, plus helpers for
// UTF-8 text, numbers and a few comparisons. Messages, URLs, JSON values, header and log lines are
// TZStrings; they meet the foundation library through AString and the outside world as UTF-8.
//
// UTF-8 operands are decoded by the foundation decoder (AString::UTF8ToAString): malformed bytes
// become U+FFFD or are taken as they stand, and 0 characters are dropped, so decoding never fails.
//
//   TZString("caf\xC3\xA9")          u"café"
//   TZString(u"10").AppendUInt64(5)  u"105"
//   TZString(u"a,,b").Split(u",")    {u"a", u"", u"b"}
//   TZString(u" 42x").ParseUInt64()  42
//
// Failure: as std::u16string (std::bad_alloc, std::length_error, std::out_of_range). Number
// formatting never fails. Thread safety: as std::u16string.
#ifndef PLATFORM_TZSTRING_H
#define PLATFORM_TZSTRING_H

#include <tarsel/orn/AString.h>

#include <cstdint>
#include <string>
#include <vector>

class TZString : public std::u16string {
 public:
  // How the constructor from a byte string reads its bytes.
  enum ByteMode {
    kBytesASCII = 0,  // 0x00-0x7F become the unit of the same value, other bytes U+FFFD
    kBytesUTF8 = 1,   // UTF-8, the mode the program uses
  };

  using std::u16string::basic_string;
  TZString() = default;
  TZString(const std::u16string& inText);
  TZString(std::u16string&& inText) noexcept;
  // A null text gives an empty string; any mode other than kBytesASCII reads UTF-8.
  TZString(const char* inText, int inMode = kBytesUTF8);
  TZString(const tarsel::orn::AString& inText);
  // Zero-terminated; null gives empty.
  TZString(const char16_t* inText);

  // Append the number formatted with "%d", with a printf format (UTF-16 text, converted to UTF-8,
  // printed into 100 bytes, so longer output is cut), with "%u" and with "%llu". The format must
  // hold exactly one conversion for an int (flags, digits for width and precision, one of
  // d i o u x X c; "%%" allowed); any other format appends nothing.
  TZString& AppendInt(int32_t inValue);
  TZString& AppendInt(int32_t inValue, const TZString& inFormat);
  TZString& AppendUInt(uint32_t inValue);
  TZString& AppendUInt64(uint64_t inValue);

  tarsel::orn::AString ToAString() const;
  std::string ToUTF8() const;
  std::u16string ToWString() const;

  // Leading white space is skipped, then an optional '+', then decimal digits up to the first
  // other unit. No digits, a '-' sign or a value past 2^64 - 1 give 0.
  uint64_t ParseUInt64() const;

  // The pieces between any of inSeparators' units, empty ones included: "a,,b" at ',' gives
  // "a", "", "b"; an empty text gives one empty piece; no separators give the whole text.
  std::vector<TZString> Split(const std::u16string& inSeparators) const;

  // As substr, but a TZString.
  TZString Substring(size_type inPos = 0, size_type inCount = npos) const;

  // Exact, case-sensitive comparison with the decoded UTF-8 text.
  bool EqualsUTF8(const char* inText) const;
  // True unless the text is exactly "success".
  bool IsNotSuccess() const;

  TZString& operator+=(const char* inUTF8);
  using std::u16string::operator+=;
};

TZString operator+(const TZString& inLeft, const TZString& inRight);
TZString operator+(const TZString& inLeft, char16_t inRight);
TZString operator+(const TZString& inLeft, const char* inRightUTF8);
TZString operator+(const char* inLeftUTF8, const TZString& inRight);
TZString operator+(const TZString& inLeft, const char16_t* inRight);
TZString operator+(const char16_t* inLeft, const TZString& inRight);

#endif  // PLATFORM_TZSTRING_H
