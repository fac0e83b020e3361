// AString: the foundation library's UTF-16 string.
//
// Text is held as char16_t units and always ends with a 0 unit. Positions and counts are in
// characters, where a surrogate pair (a unit 0xD800-0xDBFF followed by a unit 0xDC00-0xDFFF) is
// one character; every other unit, a lone surrogate included, is a character of its own. Up to 31
// units live inline; longer text moves to a heap buffer from AAllocator.
//
//   "a\U0001F600b"  CharCount() 3, UTF16Count() 4, GetChar(1) 0 (a pair), GetChar(2) 'b'
//   "a,b,c"         GetToken(',', 1) "b", GetToken(',', 2) "c", GetToken(',', 0) ""
//
// Counts: a count of kToEnd means "all the rest"; a count larger than what is there is clamped.
// A position past the end makes an operation do nothing or return kAtEnd, 0 or an empty string.
//
// Failure: nothing here throws. An operation that needs memory and cannot get it leaves the string
// as it was; the named mutators then return false (they return true otherwise, also when there
// was nothing to do). A string holds at most kMaxUnits units.
//
// Thread safety: one string may be read from several threads at once; a change needs exclusive
// access. A moved-from string holds no representation; it reads as empty and may be assigned to
// or destroyed.
#ifndef TARSEL_ORN_ASTRING_H
#define TARSEL_ORN_ASTRING_H

#include <tarsel/orn/AAllocator.h>
#include <tarsel/orn/Export.h>

#include <cstddef>
#include <cstdint>

namespace tarsel {
namespace orn {

class AString8;
struct AStringRep;

class TARSEL_ORN_API AString {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  // As a position: the end. As a count: all the rest. Searches return it for "not found".
  static const uint32_t kAtEnd;
  static const uint32_t kToEnd;
  // Largest number of UTF-16 units a string holds.
  static const uint32_t kMaxUnits;

  AString();
  AString(const AString& inOther);
  AString(AString&& inOther) noexcept;
  // Each byte becomes the unit of the same value (0x00-0xFF); null gives empty.
  AString(const char* inText);
  // Zero-terminated UTF-16 text; null gives empty.
  AString(const char16_t* inText);
  // Exactly inUnits units (see SetBuffer).
  AString(const char16_t* inText, uint32_t inUnits);
  virtual ~AString();

  AString& operator=(const AString& inOther);
  AString& operator=(AString&& inOther) noexcept;
  AString& operator=(const char* inText);
  AString& operator=(const char16_t* inText);
  void swap(AString& inOther) noexcept;

  // Widens each byte of a zero-terminated byte string into outString.
  static bool CStringToAString(const char* inText, AString& outString);

  // Copies exactly inUnits units and recounts characters; null, inUnits 0 or a first unit of 0
  // clears.
  bool SetBuffer(const char16_t* inText, uint32_t inUnits);
  // Replaces the text by the first inCount characters of the source; empty or null clears.
  bool SetString(const AString& inSource, uint32_t inCount = kToEnd);
  bool SetString(const char16_t* inSource, uint32_t inCount = kToEnd);

  // Appends the first inCount characters; an empty or null source, a count of 0 or a 0 unit
  // appends nothing.
  bool Append(const AString& inSource, uint32_t inCount = kToEnd);
  bool Append(const char16_t* inSource, uint32_t inCount = kToEnd);
  bool Append(char16_t inChar);
  AString& operator+=(const AString& inSource);
  AString& operator+=(const char16_t* inSource);
  AString& operator+=(char16_t inChar);
  AString operator+(const AString& inSource) const;
  AString operator+(const char16_t* inSource) const;
  AString operator+(char16_t inChar) const;

  // Inserts before character inPos; inPos == CharCount() appends, a larger inPos does nothing.
  bool Insert(uint32_t inPos, const AString& inSource, uint32_t inCount = kToEnd);
  bool Insert(uint32_t inPos, const char16_t* inSource, uint32_t inCount = kToEnd);
  // Removes min(inCount, CharCount() - inPos) characters at inPos.
  bool Remove(uint32_t inPos, uint32_t inCount = kToEnd);
  // Removes the last inCount characters; inCount >= CharCount() clears.
  bool Truncate(uint32_t inCount);
  // Length 0; the buffer is kept.
  void Clear();

  AString Substring(uint32_t inPos, uint32_t inCount = kToEnd) const;

  // The character at inIndex as one unit; 0 past the end or for a surrogate pair.
  char16_t GetChar(uint32_t inIndex) const;
  char16_t operator[](uint32_t inIndex) const;
  // inIndex == CharCount() appends; a larger index or a 0 unit does nothing; otherwise the
  // character (a whole pair included) is replaced by the one unit.
  bool SetChar(uint32_t inIndex, char16_t inChar);

  // Character index of the first match at or after inStart, or kAtEnd. A match starts and ends on
  // character boundaries, so a lone surrogate never matches half of a pair.
  uint32_t IndexOf(const AString& inNeedle, uint32_t inStart = 0) const;
  // A 0 or surrogate unit never matches.
  uint32_t IndexOf(char16_t inChar, uint32_t inStart = 0) const;
  // First character that occurs in inSet; a pair matches only the same pair; an empty set gives
  // inStart.
  uint32_t IndexOfAny(const AString& inSet, uint32_t inStart = 0) const;
  bool Contains(const AString& inNeedle, uint32_t inStart = 0) const;
  bool Contains(char16_t inChar, uint32_t inStart = 0) const;
  bool ContainsAny(const AString& inSet, uint32_t inStart = 0) const;

  // The text after the inIndex-th occurrence of the delimiter, up to the next one or the end.
  // Empty for inIndex 0, an empty (or 0) delimiter, an empty string or too few occurrences.
  AString GetToken(const AString& inDelimiter, uint32_t inIndex) const;
  AString GetToken(char16_t inDelimiter, uint32_t inIndex) const;

  // -1, 0 or 1 by unsigned unit values; a prefix is smaller. No case folding.
  int Compare(const AString& inOther) const;
  bool operator==(const AString& inOther) const;
  bool operator!=(const AString& inOther) const;
  bool operator==(const char16_t* inOther) const;
  bool operator!=(const char16_t* inOther) const;
  bool operator<(const AString& inOther) const;
  bool operator<=(const AString& inOther) const;
  bool operator>(const AString& inOther) const;
  bool operator>=(const AString& inOther) const;

  uint32_t CharCount() const;
  uint32_t UTF16Count() const;
  bool IsEmpty() const;
  // Units that fit without growing, terminator not counted: 31 while inline.
  uint32_t Capacity() const;
  // Makes room for inUnits units plus the terminator.
  bool Preallocate(uint32_t inUnits);
  // Gives back unused heap memory: to length + 1 units when inExact, else to the next multiple
  // of 32; 32 units or less go back inline.
  void Shrink(bool inExact);

  // The internal zero-terminated text; valid until the next change of this string.
  const char16_t* GrabWString() const;
  // A new zero-terminated copy from AAllocator::Alloc, to be freed with AAllocator::Free; null when
  // no memory could be had.
  char16_t* GetWString() const;

  // Decodes UTF-8 into outString (see AString.cpp for the exact rules): malformed bytes become
  // U+FFFD or are decoded as they stand, 0 characters are dropped; never reads past the input.
  // False (and outString unchanged) only when memory runs out or the text is too long.
  static bool UTF8ToAString(const AString8& inText, AString& outString);
  // Encodes into outText: pairs as four bytes, every other unit (lone surrogates included) by its
  // own value in one to three bytes. False (outText unchanged) when memory runs out.
  static bool AStringToUTF8(const AString& inString, AString8& outText);

 private:
  AStringRep* Rep();
  bool ReplaceUnits(uint32_t inUnitPos, uint32_t inRemoveUnits, const char16_t* inSource,
                    uint32_t inSourceUnits);
  uint32_t FindUnits(const char16_t* inNeedle, uint32_t inNeedleUnits, uint32_t inFromUnit) const;

  AStringRep* m_rep;
};

// Units before the terminator; 0 for null.
TARSEL_ORN_API uint32_t WLength(const char16_t* inText);

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_ASTRING_H
