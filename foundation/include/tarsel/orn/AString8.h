// AString8: the foundation library's 8-bit string, a thin wrapper around a standard byte string.
//
// It carries UTF-8 text and zero-terminated byte strings. Sizes and positions are in bytes; the
// text is always zero-terminated. Comparisons are bytewise over unsigned bytes, then by length.
//
// Failure: unlike the rest of the library this class reports errors as a standard byte string
// does: std::out_of_range "invalid string position" for a position past the end, std::length_error
// "string too long" for a length past max, std::bad_alloc ("bad allocation") when memory runs out.
//
// Thread safety: as a standard string. A moved-from object holds no representation; it reads as
// empty and may be assigned to or destroyed.
#ifndef TARSEL_ORN_ASTRING8_H
#define TARSEL_ORN_ASTRING8_H

#include <tarsel/orn/AAllocator.h>
#include <tarsel/orn/Export.h>

#include <cstddef>
#include <string>

namespace tarsel {
namespace orn {

class TARSEL_ORN_API AString8 {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  static const std::size_t npos;

  AString8();
  AString8(const AString8& inOther);
  AString8(AString8&& inOther) noexcept;
  // Zero-terminated; null gives empty.
  AString8(const char* inText);
  // inSize bytes; a null pointer gives empty.
  AString8(const char* inText, std::size_t inSize);
  virtual ~AString8();

  AString8& assign(const char* inText, std::size_t inSize);
  AString8& operator=(const AString8& inOther);
  AString8& operator=(AString8&& inOther) noexcept;
  AString8& operator=(const char* inText);
  void swap(AString8& inOther) noexcept;

  AString8& operator+=(const AString8& inOther);
  AString8& operator+=(const char* inText);
  AString8& operator+=(char inChar);
  AString8 operator+(const AString8& inOther) const;
  AString8 operator+(const char* inText) const;
  AString8 operator+(char inChar) const;

  char& at(std::size_t inPos);
  const char& at(std::size_t inPos) const;
  const char* c_str() const;
  void clear();
  bool empty() const;
  // Removes min(inCount, size() - inPos) bytes; inPos > size() throws std::out_of_range.
  AString8& erase(std::size_t inPos = 0, std::size_t inCount = npos);
  // Room for inSize bytes; never drops below the current size.
  void reserve(std::size_t inSize);
  std::size_t size() const;
  std::size_t length() const;

  bool operator==(const AString8& inOther) const;
  bool operator!=(const AString8& inOther) const;
  bool operator==(const char* inText) const;
  bool operator!=(const char* inText) const;
  bool operator<(const AString8& inOther) const;
  bool operator<=(const AString8& inOther) const;
  bool operator>(const AString8& inOther) const;
  bool operator>=(const AString8& inOther) const;

 private:
  std::string& Text();
  int Compare(const char* inText, std::size_t inSize) const;

  std::string* m_text;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_ASTRING8_H
