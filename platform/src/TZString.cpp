#include <platform/TZString.h>
#include <tarsel/orn/AString8.h>

#include <cstdio>
#include <cstring>

using tarsel::orn::AString;
using tarsel::orn::AString8;

namespace {

std::u16string DecodeUTF8(const char* inText) {
  if (inText == nullptr || inText[0] == 0) {
    return std::u16string();
  }
  AString decoded;
  AString::UTF8ToAString(AString8(inText), decoded);
  return std::u16string(decoded.GrabWString(), decoded.UTF16Count());
}

// True for a printf format with exactly one conversion that takes an int: flags, a width and a
// precision given as digits, then one of d i o u x X c. "%%" is a literal percent sign.
bool IsFormatForOneInt(const std::string& inFormat) {
  int conversions = 0;
  for (std::size_t pos = 0; pos < inFormat.size(); ++pos) {
    if (inFormat[pos] != '%') {
      continue;
    }
    ++pos;
    if (pos < inFormat.size() && inFormat[pos] == '%') {
      continue;
    }
    while (pos < inFormat.size() && std::strchr("-+ #0", inFormat[pos]) != nullptr) {
      ++pos;
    }
    while (pos < inFormat.size() && inFormat[pos] >= '0' && inFormat[pos] <= '9') {
      ++pos;
    }
    if (pos < inFormat.size() && inFormat[pos] == '.') {
      ++pos;
      while (pos < inFormat.size() && inFormat[pos] >= '0' && inFormat[pos] <= '9') {
        ++pos;
      }
    }
    if (pos >= inFormat.size() || std::strchr("diouxXc", inFormat[pos]) == nullptr) {
      return false;
    }
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

TZString::TZString(const std::u16string& inText) : std::u16string(inText) {}

TZString::TZString(std::u16string&& inText) noexcept : std::u16string(std::move(inText)) {}

TZString::TZString(const char* inText, int inMode) {
  if (inText == nullptr) {
    return;
  }
  if (inMode != kBytesASCII) {
    assign(DecodeUTF8(inText));
    return;
  }
  for (const char* p = inText; *p != 0; ++p) {
    const unsigned char byte = static_cast<unsigned char>(*p);
    push_back(byte < 0x80 ? char16_t{byte} : char16_t{0xFFFD});
  }
}

TZString::TZString(const AString& inText) : std::u16string(inText.GrabWString(), inText.UTF16Count()) {}

TZString::TZString(const char16_t* inText) {
  if (inText != nullptr) {
    assign(inText);
  }
}

TZString& TZString::AppendInt(int32_t inValue) {
  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(inValue));
  append(buffer, buffer + std::char_traits<char>::length(buffer));
  return *this;
}

TZString& TZString::AppendInt(int32_t inValue, const TZString& inFormat) {
  std::string format = inFormat.ToUTF8();
  // printf stops at a 0 byte; so does the check.
  format.resize(std::strlen(format.c_str()));
  if (!IsFormatForOneInt(format)) {
    return *this;
  }
  char buffer[100] = {0};
  std::snprintf(buffer, sizeof buffer, format.c_str(), static_cast<int>(inValue));
  append(DecodeUTF8(buffer));
  return *this;
}

TZString& TZString::AppendUInt(uint32_t inValue) {
  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(inValue));
  append(buffer, buffer + std::char_traits<char>::length(buffer));
  return *this;
}

TZString& TZString::AppendUInt64(uint64_t inValue) {
  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(inValue));
  append(buffer, buffer + std::char_traits<char>::length(buffer));
  return *this;
}

AString TZString::ToAString() const { return AString(c_str(), static_cast<uint32_t>(size())); }

std::string TZString::ToUTF8() const {
  AString8 bytes;
  AString::AStringToUTF8(ToAString(), bytes);
  return std::string(bytes.c_str(), bytes.size());
}

std::u16string TZString::ToWString() const { return std::u16string(*this); }

uint64_t TZString::ParseUInt64() const {
  size_type pos = 0;
  while (pos < size() && (at(pos) == u' ' || (at(pos) >= u'\t' && at(pos) <= u'\r'))) {
    ++pos;
  }
  if (pos < size() && at(pos) == u'+') {
    ++pos;
  }
  uint64_t value = 0;
  for (; pos < size() && at(pos) >= u'0' && at(pos) <= u'9'; ++pos) {
    const uint64_t digit = static_cast<uint64_t>(at(pos) - u'0');
    if (value > (UINT64_MAX - digit) / 10) {
      return 0;
    }
    value = value * 10 + digit;
  }
  return value;
}

std::vector<TZString> TZString::Split(const std::u16string& inSeparators) const {
  std::vector<TZString> pieces;
  size_type start = 0;
  for (;;) {
    const size_type end = inSeparators.empty() ? npos : find_first_of(inSeparators, start);
    pieces.push_back(Substring(start, end == npos ? npos : end - start));
    if (end == npos) {
      return pieces;
    }
    start = end + 1;
  }
}

TZString TZString::Substring(size_type inPos, size_type inCount) const {
  return TZString(substr(inPos, inCount));
}

bool TZString::EqualsUTF8(const char* inText) const { return compare(DecodeUTF8(inText)) == 0; }

bool TZString::IsNotSuccess() const { return compare(u"success") != 0; }

TZString& TZString::operator+=(const char* inUTF8) {
  append(DecodeUTF8(inUTF8));
  return *this;
}

TZString operator+(const TZString& inLeft, const TZString& inRight) {
  TZString result(inLeft);
  result.append(inRight);
  return result;
}

TZString operator+(const TZString& inLeft, char16_t inRight) {
  TZString result(inLeft);
  result.push_back(inRight);
  return result;
}

TZString operator+(const TZString& inLeft, const char* inRightUTF8) {
  TZString result(inLeft);
  result += inRightUTF8;
  return result;
}

TZString operator+(const char* inLeftUTF8, const TZString& inRight) {
  TZString result(inLeftUTF8);
  result.append(inRight);
  return result;
}

TZString operator+(const TZString& inLeft, const char16_t* inRight) {
  TZString result(inLeft);
  if (inRight != nullptr) {
    result.append(inRight);
  }
  return result;
}

TZString operator+(const char16_t* inLeft, const TZString& inRight) {
  TZString result(inLeft);
  result.append(inRight);
  return result;
}
