#include <tarsel/orn/AString.h>
#include <tarsel/orn/AString8.h>

#include <cstring>
#include <string>

#include "OrnInternal.h"

namespace tarsel {
namespace orn {

namespace {

constexpr uint32_t kInlineUnits = 32;
constexpr char16_t kReplacementChar = 0xFFFD;

bool IsHigh(char16_t inUnit) { return inUnit >= 0xD800 && inUnit <= 0xDBFF; }
bool IsLow(char16_t inUnit) { return inUnit >= 0xDC00 && inUnit <= 0xDFFF; }
bool IsSurrogate(char16_t inUnit) { return inUnit >= 0xD800 && inUnit <= 0xDFFF; }

// Units of the character that starts at unit inPos.
uint32_t CharUnitsAt(const char16_t* inText, uint32_t inUnits, uint32_t inPos) {
  return (IsHigh(inText[inPos]) && inPos + 1 < inUnits && IsLow(inText[inPos + 1])) ? 2 : 1;
}

uint32_t CountChars(const char16_t* inText, uint32_t inUnits) {
  uint32_t chars = 0;
  for (uint32_t pos = 0; pos < inUnits; pos += CharUnitsAt(inText, inUnits, pos)) {
    ++chars;
  }
  return chars;
}

// Units taken by the first inChars characters (clamped to the text).
uint32_t UnitsOfChars(const char16_t* inText, uint32_t inUnits, uint32_t inChars) {
  uint32_t pos = 0;
  for (uint32_t chars = 0; pos < inUnits && chars < inChars; ++chars) {
    pos += CharUnitsAt(inText, inUnits, pos);
  }
  return pos;
}

// A unit position splits no surrogate pair.
bool IsBoundary(const char16_t* inText, uint32_t inUnits, uint32_t inPos) {
  return inPos == 0 || inPos >= inUnits || !(IsHigh(inText[inPos - 1]) && IsLow(inText[inPos]));
}

// Units of a zero-terminated text, at most kMaxUnits + 1 (so that too long is detectable).
uint32_t BoundedLength(const char16_t* inText) {
  if (inText == nullptr) {
    return 0;
  }
  uint32_t units = 0;
  while (inText[units] != 0 && units <= AString::kMaxUnits) {
    ++units;
  }
  return units;
}

}  // namespace

struct AStringRep {
  char16_t m_inline[kInlineUnits] = {0};
  char16_t* m_heap = nullptr;
  uint32_t m_heapCapacity = 0;
  uint32_t m_unitLength = 0;
  uint32_t m_charLength = 0;
  char16_t* m_active = m_inline;

  AStringRep() = default;
  AStringRep(const AStringRep&) = delete;
  AStringRep& operator=(const AStringRep&) = delete;
  ~AStringRep() { AAllocator::Free(m_heap); }

  uint32_t CapacityUnits() const { return m_heap != nullptr ? m_heapCapacity : kInlineUnits; }

  // Makes room for inUnits units plus the terminator; false (nothing changed) without memory.
  bool Grow(uint32_t inUnits) {
    if (inUnits > AString::kMaxUnits) {
      return false;
    }
    const uint32_t needed = inUnits + 1;
    if (CapacityUnits() >= needed) {
      return true;
    }
    const uint64_t step = m_heapCapacity < 64 ? 32 : m_heapCapacity / 2;
    const uint64_t capacity = (needed + step - 1) / step * step;
    return MoveTo(static_cast<uint32_t>(capacity));
  }

  // Moves the text into a heap buffer of inCapacity units, or inline for 0.
  bool MoveTo(uint32_t inCapacity) {
    char16_t* target = m_inline;
    if (inCapacity != 0) {
      target = static_cast<char16_t*>(internal::TryAlloc(sizeof(char16_t) * inCapacity));
      if (target == nullptr) {
        return false;
      }
    }
    std::memmove(target, m_active, sizeof(char16_t) * (m_unitLength + 1));
    AAllocator::Free(m_heap);
    m_heap = inCapacity != 0 ? target : nullptr;
    m_heapCapacity = inCapacity;
    m_active = target;
    return true;
  }

  void SetLength(uint32_t inUnits) {
    m_unitLength = inUnits;
    m_active[inUnits] = 0;
  }
};

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(AString)

const uint32_t AString::kAtEnd = 0xFFFFFFFF;
const uint32_t AString::kToEnd = 0xFFFFFFFF;
const uint32_t AString::kMaxUnits = 0x3FFFFFFF;

uint32_t WLength(const char16_t* inText) {
  if (inText == nullptr) {
    return 0;
  }
  uint32_t units = 0;
  while (inText[units] != 0) {
    ++units;
  }
  return units;
}

AString::AString() : m_rep(internal::TryNew<AStringRep>()) {}

AString::AString(const AString& inOther) : AString() { SetString(inOther); }

AString::AString(AString&& inOther) noexcept : m_rep(inOther.m_rep) { inOther.m_rep = nullptr; }

AString::AString(const char* inText) : AString() { CStringToAString(inText, *this); }

AString::AString(const char16_t* inText) : AString() { SetString(inText); }

AString::AString(const char16_t* inText, uint32_t inUnits) : AString() { SetBuffer(inText, inUnits); }

AString::~AString() { internal::Delete(m_rep); }

AString& AString::operator=(const AString& inOther) {
  if (this != &inOther) {
    SetString(inOther);
  }
  return *this;
}

AString& AString::operator=(AString&& inOther) noexcept {
  swap(inOther);
  return *this;
}

AString& AString::operator=(const char* inText) {
  CStringToAString(inText, *this);
  return *this;
}

AString& AString::operator=(const char16_t* inText) {
  SetString(inText);
  return *this;
}

void AString::swap(AString& inOther) noexcept {
  AStringRep* rep = m_rep;
  m_rep = inOther.m_rep;
  inOther.m_rep = rep;
}

AStringRep* AString::Rep() {
  if (m_rep == nullptr) {
    m_rep = internal::TryNew<AStringRep>();
  }
  return m_rep;
}

bool AString::CStringToAString(const char* inText, AString& outString) {
  const std::size_t bytes = inText == nullptr ? 0 : std::strlen(inText);
  if (bytes > kMaxUnits) {
    return false;
  }
  AStringRep* rep = outString.Rep();
  if (rep == nullptr || !rep->Grow(static_cast<uint32_t>(bytes))) {
    return false;
  }
  for (std::size_t i = 0; i < bytes; ++i) {
    rep->m_active[i] = static_cast<unsigned char>(inText[i]);
  }
  rep->SetLength(static_cast<uint32_t>(bytes));
  rep->m_charLength = static_cast<uint32_t>(bytes);
  return true;
}

// Replaces inRemoveUnits units at inUnitPos by inSourceUnits units of inSource. The source may lie
// inside this string's own buffer.
bool AString::ReplaceUnits(uint32_t inUnitPos, uint32_t inRemoveUnits, const char16_t* inSource,
                           uint32_t inSourceUnits) {
  AStringRep* rep = Rep();
  if (rep == nullptr) {
    return false;
  }
  const uint32_t oldUnits = rep->m_unitLength;
  const uint64_t newUnits = uint64_t{oldUnits} - inRemoveUnits + inSourceUnits;
  if (newUnits > kMaxUnits) {
    return false;
  }
  char16_t* copy = nullptr;
  if (inSourceUnits != 0 && inSource >= rep->m_active && inSource < rep->m_active + oldUnits + 1) {
    copy = static_cast<char16_t*>(internal::TryAlloc(sizeof(char16_t) * inSourceUnits));
    if (copy == nullptr) {
      return false;
    }
    std::memcpy(copy, inSource, sizeof(char16_t) * inSourceUnits);
    inSource = copy;
  }
  const bool appending = inUnitPos == oldUnits && inRemoveUnits == 0;
  bool ok = rep->Grow(static_cast<uint32_t>(newUnits));
  if (ok) {
    char16_t* text = rep->m_active;
    const uint32_t tail = oldUnits - inUnitPos - inRemoveUnits;
    std::memmove(text + inUnitPos + inSourceUnits, text + inUnitPos + inRemoveUnits, sizeof(char16_t) * tail);
    if (inSourceUnits != 0) {
      std::memcpy(text + inUnitPos, inSource, sizeof(char16_t) * inSourceUnits);
    }
    rep->SetLength(static_cast<uint32_t>(newUnits));
    if (appending && !(oldUnits > 0 && IsHigh(text[oldUnits - 1]))) {
      rep->m_charLength += CountChars(text + oldUnits, inSourceUnits);
    } else if (appending) {
      // The old last unit was a lone high surrogate that may pair with the first new unit.
      rep->m_charLength = rep->m_charLength - 1 + CountChars(text + oldUnits - 1, inSourceUnits + 1);
    } else {
      rep->m_charLength = CountChars(text, rep->m_unitLength);
    }
  }
  AAllocator::Free(copy);
  return ok;
}

bool AString::SetBuffer(const char16_t* inText, uint32_t inUnits) {
  if (inText == nullptr || inUnits == 0 || inText[0] == 0) {
    Clear();
    return true;
  }
  return ReplaceUnits(0, UTF16Count(), inText, inUnits);
}

bool AString::SetString(const AString& inSource, uint32_t inCount) {
  if (&inSource == this) {
    return inCount >= CharCount() ? true : Truncate(CharCount() - inCount);
  }
  const char16_t* text = inSource.GrabWString();
  return ReplaceUnits(0, UTF16Count(), text, UnitsOfChars(text, inSource.UTF16Count(), inCount));
}

bool AString::SetString(const char16_t* inSource, uint32_t inCount) {
  const uint32_t units = BoundedLength(inSource);
  if (units > kMaxUnits) {
    return false;
  }
  return ReplaceUnits(0, UTF16Count(), inSource, UnitsOfChars(inSource, units, inCount));
}

bool AString::Append(const AString& inSource, uint32_t inCount) {
  return Insert(CharCount(), inSource, inCount);
}

bool AString::Append(const char16_t* inSource, uint32_t inCount) {
  return Insert(CharCount(), inSource, inCount);
}

bool AString::Append(char16_t inChar) {
  if (inChar == 0) {
    return true;
  }
  return ReplaceUnits(UTF16Count(), 0, &inChar, 1);
}

AString& AString::operator+=(const AString& inSource) {
  Append(inSource);
  return *this;
}

AString& AString::operator+=(const char16_t* inSource) {
  Append(inSource);
  return *this;
}

AString& AString::operator+=(char16_t inChar) {
  Append(inChar);
  return *this;
}

AString AString::operator+(const AString& inSource) const {
  AString result(*this);
  result.Append(inSource);
  return result;
}

AString AString::operator+(const char16_t* inSource) const {
  AString result(*this);
  result.Append(inSource);
  return result;
}

AString AString::operator+(char16_t inChar) const {
  AString result(*this);
  result.Append(inChar);
  return result;
}

bool AString::Insert(uint32_t inPos, const AString& inSource, uint32_t inCount) {
  if (inPos > CharCount() || inCount == 0 || inSource.IsEmpty()) {
    return true;
  }
  const char16_t* source = inSource.GrabWString();
  const uint32_t sourceUnits = UnitsOfChars(source, inSource.UTF16Count(), inCount);
  return ReplaceUnits(UnitsOfChars(GrabWString(), UTF16Count(), inPos), 0, source, sourceUnits);
}

bool AString::Insert(uint32_t inPos, const char16_t* inSource, uint32_t inCount) {
  if (inPos > CharCount() || inCount == 0 || inSource == nullptr || inSource[0] == 0) {
    return true;
  }
  const uint32_t sourceUnits = BoundedLength(inSource);
  if (sourceUnits > kMaxUnits) {
    return false;
  }
  const char16_t* text = GrabWString();
  const uint32_t unitPos = UnitsOfChars(text, UTF16Count(), inPos);
  return ReplaceUnits(unitPos, 0, inSource, UnitsOfChars(inSource, sourceUnits, inCount));
}

bool AString::Remove(uint32_t inPos, uint32_t inCount) {
  const uint32_t chars = CharCount();
  if (inPos >= chars || inCount == 0) {
    return true;
  }
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  const uint32_t start = UnitsOfChars(text, units, inPos);
  const uint32_t removed = UnitsOfChars(text + start, units - start, inCount);
  return ReplaceUnits(start, removed, nullptr, 0);
}

bool AString::Truncate(uint32_t inCount) {
  const uint32_t chars = CharCount();
  if (inCount == 0) {
    return true;
  }
  if (inCount >= chars) {
    Clear();
    return true;
  }
  return Remove(chars - inCount, inCount);
}

void AString::Clear() {
  if (m_rep != nullptr) {
    m_rep->SetLength(0);
    m_rep->m_charLength = 0;
  }
}

AString AString::Substring(uint32_t inPos, uint32_t inCount) const {
  AString result;
  if (inPos >= CharCount() || inCount == 0) {
    return result;
  }
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  const uint32_t start = UnitsOfChars(text, units, inPos);
  result.SetBuffer(text + start, UnitsOfChars(text + start, units - start, inCount));
  return result;
}

char16_t AString::GetChar(uint32_t inIndex) const {
  if (inIndex >= CharCount()) {
    return 0;
  }
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  const uint32_t pos = UnitsOfChars(text, units, inIndex);
  return CharUnitsAt(text, units, pos) == 2 ? 0 : text[pos];
}

char16_t AString::operator[](uint32_t inIndex) const { return GetChar(inIndex); }

bool AString::SetChar(uint32_t inIndex, char16_t inChar) {
  const uint32_t chars = CharCount();
  if (inIndex > chars || inChar == 0) {
    return true;
  }
  if (inIndex == chars) {
    return Append(inChar);
  }
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  const uint32_t pos = UnitsOfChars(text, units, inIndex);
  return ReplaceUnits(pos, CharUnitsAt(text, units, pos), &inChar, 1);
}

uint32_t AString::FindUnits(const char16_t* inNeedle, uint32_t inNeedleUnits, uint32_t inFromUnit) const {
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  if (inNeedleUnits > units) {
    return kAtEnd;
  }
  for (uint32_t pos = inFromUnit; pos <= units - inNeedleUnits; ++pos) {
    if (std::memcmp(text + pos, inNeedle, sizeof(char16_t) * inNeedleUnits) == 0 &&
        IsBoundary(text, units, pos) && IsBoundary(text, units, pos + inNeedleUnits)) {
      return pos;
    }
  }
  return kAtEnd;
}

uint32_t AString::IndexOf(const AString& inNeedle, uint32_t inStart) const {
  if (inStart >= CharCount()) {
    return kAtEnd;
  }
  if (inNeedle.IsEmpty()) {
    return inStart;
  }
  const char16_t* text = GrabWString();
  const uint32_t from = UnitsOfChars(text, UTF16Count(), inStart);
  const uint32_t found = FindUnits(inNeedle.GrabWString(), inNeedle.UTF16Count(), from);
  return found == kAtEnd ? kAtEnd : CountChars(text, found);
}

uint32_t AString::IndexOf(char16_t inChar, uint32_t inStart) const {
  if (inChar == 0 || IsSurrogate(inChar)) {
    return kAtEnd;
  }
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  uint32_t pos = UnitsOfChars(text, units, inStart);
  for (uint32_t index = inStart; pos < units; ++index) {
    if (text[pos] == inChar) {
      return index;
    }
    pos += CharUnitsAt(text, units, pos);
  }
  return kAtEnd;
}

uint32_t AString::IndexOfAny(const AString& inSet, uint32_t inStart) const {
  if (inStart >= CharCount()) {
    return kAtEnd;
  }
  if (inSet.IsEmpty()) {
    return inStart;
  }
  const char16_t* text = GrabWString();
  const uint32_t units = UTF16Count();
  uint32_t pos = UnitsOfChars(text, units, inStart);
  for (uint32_t index = inStart; pos < units; ++index) {
    const uint32_t width = CharUnitsAt(text, units, pos);
    if (inSet.FindUnits(text + pos, width, 0) != kAtEnd) {
      return index;
    }
    pos += width;
  }
  return kAtEnd;
}

bool AString::Contains(const AString& inNeedle, uint32_t inStart) const {
  return IndexOf(inNeedle, inStart) != kAtEnd;
}

bool AString::Contains(char16_t inChar, uint32_t inStart) const { return IndexOf(inChar, inStart) != kAtEnd; }

bool AString::ContainsAny(const AString& inSet, uint32_t inStart) const {
  return IndexOfAny(inSet, inStart) != kAtEnd;
}

AString AString::GetToken(const AString& inDelimiter, uint32_t inIndex) const {
  AString result;
  const uint32_t delimiterUnits = inDelimiter.UTF16Count();
  if (inIndex == 0 || delimiterUnits == 0 || IsEmpty()) {
    return result;
  }
  const char16_t* delimiter = inDelimiter.GrabWString();
  uint32_t found = 0;
  for (uint32_t n = 0; n < inIndex; ++n) {
    found = FindUnits(delimiter, delimiterUnits, n == 0 ? 0 : found + delimiterUnits);
    if (found == kAtEnd) {
      return result;
    }
  }
  const uint32_t start = found + delimiterUnits;
  const uint32_t next = FindUnits(delimiter, delimiterUnits, start);
  const uint32_t end = next == kAtEnd ? UTF16Count() : next;
  result.SetBuffer(GrabWString() + start, end - start);
  return result;
}

AString AString::GetToken(char16_t inDelimiter, uint32_t inIndex) const {
  const char16_t delimiter[2] = {inDelimiter, 0};
  return GetToken(AString(delimiter), inIndex);
}

int AString::Compare(const AString& inOther) const {
  const char16_t* a = GrabWString();
  const char16_t* b = inOther.GrabWString();
  const uint32_t aUnits = UTF16Count();
  const uint32_t bUnits = inOther.UTF16Count();
  const uint32_t common = aUnits < bUnits ? aUnits : bUnits;
  for (uint32_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) {
      return a[i] < b[i] ? -1 : 1;
    }
  }
  if (aUnits == bUnits) {
    return 0;
  }
  return aUnits < bUnits ? -1 : 1;
}

bool AString::operator==(const AString& inOther) const {
  return UTF16Count() == inOther.UTF16Count() && CharCount() == inOther.CharCount() &&
         std::memcmp(GrabWString(), inOther.GrabWString(), sizeof(char16_t) * UTF16Count()) == 0;
}

bool AString::operator!=(const AString& inOther) const { return !(*this == inOther); }

bool AString::operator==(const char16_t* inOther) const {
  const uint32_t units = BoundedLength(inOther);
  return units == UTF16Count() && std::memcmp(GrabWString(), inOther, sizeof(char16_t) * units) == 0;
}

bool AString::operator!=(const char16_t* inOther) const { return !(*this == inOther); }

bool AString::operator<(const AString& inOther) const { return Compare(inOther) < 0; }
bool AString::operator<=(const AString& inOther) const { return Compare(inOther) <= 0; }
bool AString::operator>(const AString& inOther) const { return Compare(inOther) > 0; }
bool AString::operator>=(const AString& inOther) const { return Compare(inOther) >= 0; }

uint32_t AString::CharCount() const { return m_rep == nullptr ? 0 : m_rep->m_charLength; }

uint32_t AString::UTF16Count() const { return m_rep == nullptr ? 0 : m_rep->m_unitLength; }

bool AString::IsEmpty() const { return UTF16Count() == 0; }

uint32_t AString::Capacity() const {
  return m_rep == nullptr ? kInlineUnits - 1 : m_rep->CapacityUnits() - 1;
}

bool AString::Preallocate(uint32_t inUnits) {
  AStringRep* rep = Rep();
  return rep != nullptr && rep->Grow(inUnits);
}

void AString::Shrink(bool inExact) {
  AStringRep* rep = m_rep;
  if (rep == nullptr || rep->m_heap == nullptr) {
    return;
  }
  if (rep->m_unitLength == 0) {
    rep->MoveTo(0);
    return;
  }
  uint32_t target = rep->m_unitLength + 1;
  if (!inExact) {
    target = (target + kInlineUnits - 1) / kInlineUnits * kInlineUnits;
  }
  if (target == rep->m_heapCapacity) {
    return;
  }
  rep->MoveTo(target > kInlineUnits ? target : 0);
}

const char16_t* AString::GrabWString() const {
  static const char16_t kEmpty[1] = {0};
  return m_rep == nullptr ? kEmpty : m_rep->m_active;
}

char16_t* AString::GetWString() const {
  const uint32_t units = UTF16Count();
  auto* copy = static_cast<char16_t*>(internal::TryAlloc(sizeof(char16_t) * (uint64_t{units} + 1)));
  if (copy != nullptr) {
    std::memcpy(copy, GrabWString(), sizeof(char16_t) * (uint64_t{units} + 1));
  }
  return copy;
}

// Decoding rules, one step per lead byte:
//   below 0x80             one unit (a 0 byte appends nothing)
//   below 0xE0, 2 bytes    (lead & 0x1F) << 6 | (b1 & 0x3F); a stray continuation byte in lead
//                          position is taken as a two-byte lead
//   below 0xF0, 3 bytes    (lead & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F)
//   below 0xF8, 4 bytes    a surrogate pair for code points 0x10000-0x10FFFF; an overlong form
//                          below 0x10000 gives its one unit; beyond 0x10FFFF gives U+FFFD
//   0xF8 and above, or a sequence cut short by the end of the input: U+FFFD, one byte consumed.
// Continuation bytes are not checked and overlong forms are accepted; decoded 0 units are dropped.
bool AString::UTF8ToAString(const AString8& inText, AString& outString) {
  const std::size_t size = inText.size();
  if (size > kMaxUnits) {
    return false;
  }
  AStringRep* rep = outString.Rep();
  // Every byte yields at most one unit, so the byte count is enough room.
  if (rep == nullptr || !rep->Grow(static_cast<uint32_t>(size))) {
    return false;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(inText.c_str());
  char16_t* out = rep->m_active;
  uint32_t units = 0;
  auto put = [&](uint32_t inUnit) {
    if (inUnit != 0) {
      out[units++] = static_cast<char16_t>(inUnit);
    }
  };
  std::size_t pos = 0;
  while (pos < size) {
    const unsigned lead = bytes[pos];
    const std::size_t left = size - pos - 1;
    if (lead < 0x80) {
      put(lead);
      pos += 1;
    } else if (lead < 0xE0 && left >= 1) {
      put((lead & 0x1F) << 6 | (bytes[pos + 1] & 0x3F));
      pos += 2;
    } else if (lead >= 0xE0 && lead < 0xF0 && left >= 2) {
      put((lead & 0x0F) << 12 | (bytes[pos + 1] & 0x3F) << 6 | (bytes[pos + 2] & 0x3F));
      pos += 3;
    } else if (lead >= 0xF0 && lead < 0xF8 && left >= 3) {
      const uint32_t codePoint = (lead & 0x07) << 18 | (bytes[pos + 1] & 0x3Fu) << 12 |
                                 (bytes[pos + 2] & 0x3Fu) << 6 | (bytes[pos + 3] & 0x3Fu);
      if (codePoint < 0x10000) {
        put(codePoint);
      } else if (codePoint > 0x10FFFF) {
        put(kReplacementChar);
      } else {
        const uint32_t offset = codePoint - 0x10000;
        out[units++] = static_cast<char16_t>(0xD800 | (offset >> 10));
        out[units++] = static_cast<char16_t>(0xDC00 | (offset & 0x3FF));
      }
      pos += 4;
    } else {
      put(kReplacementChar);
      pos += 1;
    }
  }
  rep->SetLength(units);
  // Counted afterwards: two three-byte sequences may give a high and a low unit that form a pair.
  rep->m_charLength = CountChars(out, units);
  outString.Shrink(false);
  return true;
}

bool AString::AStringToUTF8(const AString& inString, AString8& outText) {
  const char16_t* text = inString.GrabWString();
  const uint32_t units = inString.UTF16Count();
  try {
    std::string bytes;
    bytes.reserve(std::size_t{units} * 2);
    for (uint32_t pos = 0; pos < units; ++pos) {
      const uint32_t unit = text[pos];
      if (unit < 0x80) {
        bytes += static_cast<char>(unit);
      } else if (unit < 0x800) {
        bytes += static_cast<char>(0xC0 | unit >> 6);
        bytes += static_cast<char>(0x80 | (unit & 0x3F));
      } else if (CharUnitsAt(text, units, pos) == 2) {
        const uint32_t codePoint = 0x10000 + ((unit - 0xD800) << 10) + (text[pos + 1] - 0xDC00u);
        bytes += static_cast<char>(0xF0 | codePoint >> 18);
        bytes += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
        ++pos;
      } else {
        bytes += static_cast<char>(0xE0 | unit >> 12);
        bytes += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (unit & 0x3F));
      }
    }
    outText.assign(bytes.data(), bytes.size());
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace orn
}  // namespace tarsel
