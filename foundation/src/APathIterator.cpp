#include <tarsel/orn/APath.h>
#include <tarsel/orn/APathIterator.h>

#include <cstdio>

#include "OrnInternal.h"

namespace tarsel {
namespace orn {

struct APathIteratorRecord {
  const APath* m_path = nullptr;
  std::ptrdiff_t m_position = 0;
};

namespace {

const APathComponent& EmptyComponent() {
  static const APathComponent empty;
  return empty;
}

// Reports a record that could not be allocated, in the assertion form the program logs.
APathIteratorRecord* NewRecord(const APath* inPath, std::ptrdiff_t inPosition, const char* inCondition,
                               const char* inSource, int inLine) {
  APathIteratorRecord* record = internal::TryNew<APathIteratorRecord>();
  if (record == nullptr) {
    std::fprintf(stderr, "Assert failed: %s at %s:%d\n", inCondition, inSource, inLine);
    return nullptr;
  }
  record->m_path = inPath;
  record->m_position = inPosition;
  return record;
}

const APath* PathOf(const APathIteratorRecord* inRecord) {
  return inRecord == nullptr ? nullptr : inRecord->m_path;
}

std::ptrdiff_t PositionOf(const APathIteratorRecord* inRecord) {
  return inRecord == nullptr ? 0 : inRecord->m_position;
}

}  // namespace

#define TZ_NEW_FORWARD_RECORD(path, position) \
  NewRecord(path, position, "pImpl != NULL", "..\\..\\source\\APathIterator", __LINE__)
#define TZ_NEW_REVERSE_RECORD(path, position) \
  NewRecord(path, position, "fpImpl != NULL", "..\\..\\source\\APathReverseIterator", __LINE__)

// ---- APathIterator ----

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(APathIterator)

APathIterator::APathIterator() : m_record(TZ_NEW_FORWARD_RECORD(nullptr, 0)) {}

APathIterator::APathIterator(const APath* inPath, difference_type inPosition)
    : m_record(TZ_NEW_FORWARD_RECORD(inPath, inPosition)) {}

APathIterator::APathIterator(const APathIterator& inOther)
    : m_record(TZ_NEW_FORWARD_RECORD(PathOf(inOther.m_record), PositionOf(inOther.m_record))) {}

APathIterator& APathIterator::operator=(const APathIterator& inOther) {
  if (m_record != nullptr && inOther.m_record != nullptr) {
    *m_record = *inOther.m_record;
  }
  return *this;
}

APathIterator::~APathIterator() { internal::Delete(m_record); }

APathIterator& APathIterator::operator++() { return *this += 1; }

APathIterator APathIterator::operator++(int) {
  APathIterator before(*this);
  *this += 1;
  return before;
}

APathIterator& APathIterator::operator--() { return *this -= 1; }

APathIterator APathIterator::operator--(int) {
  APathIterator before(*this);
  *this -= 1;
  return before;
}

APathIterator& APathIterator::operator+=(difference_type inCount) {
  if (m_record != nullptr) {
    m_record->m_position += inCount;
  }
  return *this;
}

APathIterator& APathIterator::operator-=(difference_type inCount) {
  if (m_record != nullptr) {
    m_record->m_position -= inCount;
  }
  return *this;
}

APathIterator APathIterator::operator+(difference_type inCount) const {
  APathIterator result(*this);
  result += inCount;
  return result;
}

APathIterator APathIterator::operator-(difference_type inCount) const {
  APathIterator result(*this);
  result -= inCount;
  return result;
}

APathIterator::difference_type APathIterator::operator-(const APathIterator& inOther) const {
  return PositionOf(m_record) - PositionOf(inOther.m_record);
}

bool APathIterator::operator==(const APathIterator& inOther) const {
  return PathOf(m_record) == PathOf(inOther.m_record) && PositionOf(m_record) == PositionOf(inOther.m_record);
}

bool APathIterator::operator!=(const APathIterator& inOther) const { return !(*this == inOther); }
bool APathIterator::operator<(const APathIterator& inOther) const { return *this - inOther < 0; }
bool APathIterator::operator<=(const APathIterator& inOther) const { return *this - inOther <= 0; }
bool APathIterator::operator>(const APathIterator& inOther) const { return *this - inOther > 0; }
bool APathIterator::operator>=(const APathIterator& inOther) const { return *this - inOther >= 0; }

APathIterator::reference APathIterator::operator*() const { return (*this)[0]; }

APathIterator::pointer APathIterator::operator->() const { return &(*this)[0]; }

APathIterator::reference APathIterator::operator[](difference_type inOffset) const {
  const APath* path = PathOf(m_record);
  const APathComponent* component =
      path == nullptr ? nullptr : path->ComponentAt(PositionOf(m_record) + inOffset);
  return component == nullptr ? EmptyComponent() : *component;
}

// ---- APathReverseIterator: position p designates component p - 1 ----

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(APathReverseIterator)

APathReverseIterator::APathReverseIterator() : m_record(TZ_NEW_REVERSE_RECORD(nullptr, 0)) {}

APathReverseIterator::APathReverseIterator(const APath* inPath, difference_type inPosition)
    : m_record(TZ_NEW_REVERSE_RECORD(inPath, inPosition)) {}

APathReverseIterator::APathReverseIterator(const APathReverseIterator& inOther)
    : m_record(TZ_NEW_REVERSE_RECORD(PathOf(inOther.m_record), PositionOf(inOther.m_record))) {}

APathReverseIterator& APathReverseIterator::operator=(const APathReverseIterator& inOther) {
  if (m_record != nullptr && inOther.m_record != nullptr) {
    *m_record = *inOther.m_record;
  }
  return *this;
}

APathReverseIterator::~APathReverseIterator() { internal::Delete(m_record); }

APathReverseIterator& APathReverseIterator::operator++() { return *this += 1; }

APathReverseIterator APathReverseIterator::operator++(int) {
  APathReverseIterator before(*this);
  *this += 1;
  return before;
}

APathReverseIterator& APathReverseIterator::operator--() { return *this -= 1; }

APathReverseIterator APathReverseIterator::operator--(int) {
  APathReverseIterator before(*this);
  *this -= 1;
  return before;
}

APathReverseIterator& APathReverseIterator::operator+=(difference_type inCount) {
  if (m_record != nullptr) {
    m_record->m_position -= inCount;
  }
  return *this;
}

APathReverseIterator& APathReverseIterator::operator-=(difference_type inCount) {
  if (m_record != nullptr) {
    m_record->m_position += inCount;
  }
  return *this;
}

APathReverseIterator APathReverseIterator::operator+(difference_type inCount) const {
  APathReverseIterator result(*this);
  result += inCount;
  return result;
}

APathReverseIterator APathReverseIterator::operator-(difference_type inCount) const {
  APathReverseIterator result(*this);
  result -= inCount;
  return result;
}

APathReverseIterator::difference_type APathReverseIterator::operator-(
    const APathReverseIterator& inOther) const {
  return PositionOf(inOther.m_record) - PositionOf(m_record);
}

bool APathReverseIterator::operator==(const APathReverseIterator& inOther) const {
  return PathOf(m_record) == PathOf(inOther.m_record) && PositionOf(m_record) == PositionOf(inOther.m_record);
}

bool APathReverseIterator::operator!=(const APathReverseIterator& inOther) const {
  return !(*this == inOther);
}
bool APathReverseIterator::operator<(const APathReverseIterator& inOther) const {
  return *this - inOther < 0;
}
bool APathReverseIterator::operator<=(const APathReverseIterator& inOther) const {
  return *this - inOther <= 0;
}
bool APathReverseIterator::operator>(const APathReverseIterator& inOther) const {
  return *this - inOther > 0;
}
bool APathReverseIterator::operator>=(const APathReverseIterator& inOther) const {
  return *this - inOther >= 0;
}

APathReverseIterator::reference APathReverseIterator::operator*() const { return (*this)[0]; }

APathReverseIterator::pointer APathReverseIterator::operator->() const { return &(*this)[0]; }

APathReverseIterator::reference APathReverseIterator::operator[](difference_type inOffset) const {
  const APath* path = PathOf(m_record);
  const APathComponent* component =
      path == nullptr ? nullptr : path->ComponentAt(PositionOf(m_record) - 1 - inOffset);
  return component == nullptr ? EmptyComponent() : *component;
}

// ---- APath's view of its iterators ----

uint32_t APath::IteratorIndex(const APathIterator& inAt) const {
  const std::ptrdiff_t position = PositionOf(inAt.m_record);
  if (PathOf(inAt.m_record) != this || position < 0 || position > static_cast<std::ptrdiff_t>(Size())) {
    return kLastComponentIndex;
  }
  return static_cast<uint32_t>(position);
}

}  // namespace orn
}  // namespace tarsel
