// APathIterator and APathReverseIterator: random-access iterators over the components of an
// APath, yielding constant component references.
//
// An iterator holds its position and the path it belongs to; two iterators are equal when both
// agree. A reverse iterator sits one step behind its position, as a standard reverse iterator.
// Dereferencing an iterator outside its path's components (or one whose record could not be
// allocated) yields an empty component instead of undefined behaviour. Iterators are invalidated
// by any change of the path's component list, and by the path's destruction.
// Thread safety: as the path they walk.
#ifndef TARSEL_ORN_APATHITERATOR_H
#define TARSEL_ORN_APATHITERATOR_H

#include <tarsel/orn/AAllocator.h>
#include <tarsel/orn/APathComponent.h>
#include <tarsel/orn/Export.h>

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace tarsel {
namespace orn {

class APath;
struct APathIteratorRecord;

class TARSEL_ORN_API APathIterator {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  using iterator_category = std::random_access_iterator_tag;
  using value_type = APathComponent;
  using difference_type = std::ptrdiff_t;
  using pointer = const APathComponent*;
  using reference = const APathComponent&;

  APathIterator();
  APathIterator(const APathIterator& inOther);
  APathIterator& operator=(const APathIterator& inOther);
  ~APathIterator();

  APathIterator& operator++();
  APathIterator operator++(int);
  APathIterator& operator--();
  APathIterator operator--(int);
  APathIterator& operator+=(difference_type inCount);
  APathIterator& operator-=(difference_type inCount);
  APathIterator operator+(difference_type inCount) const;
  APathIterator operator-(difference_type inCount) const;
  difference_type operator-(const APathIterator& inOther) const;

  bool operator==(const APathIterator& inOther) const;
  bool operator!=(const APathIterator& inOther) const;
  bool operator<(const APathIterator& inOther) const;
  bool operator<=(const APathIterator& inOther) const;
  bool operator>(const APathIterator& inOther) const;
  bool operator>=(const APathIterator& inOther) const;

  reference operator*() const;
  pointer operator->() const;
  reference operator[](difference_type inOffset) const;

 private:
  friend class APath;
  APathIterator(const APath* inPath, difference_type inPosition);

  APathIteratorRecord* m_record;
};

class TARSEL_ORN_API APathReverseIterator {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  using iterator_category = std::random_access_iterator_tag;
  using value_type = APathComponent;
  using difference_type = std::ptrdiff_t;
  using pointer = const APathComponent*;
  using reference = const APathComponent&;

  APathReverseIterator();
  APathReverseIterator(const APathReverseIterator& inOther);
  APathReverseIterator& operator=(const APathReverseIterator& inOther);
  ~APathReverseIterator();

  APathReverseIterator& operator++();
  APathReverseIterator operator++(int);
  APathReverseIterator& operator--();
  APathReverseIterator operator--(int);
  APathReverseIterator& operator+=(difference_type inCount);
  APathReverseIterator& operator-=(difference_type inCount);
  APathReverseIterator operator+(difference_type inCount) const;
  APathReverseIterator operator-(difference_type inCount) const;
  difference_type operator-(const APathReverseIterator& inOther) const;

  bool operator==(const APathReverseIterator& inOther) const;
  bool operator!=(const APathReverseIterator& inOther) const;
  bool operator<(const APathReverseIterator& inOther) const;
  bool operator<=(const APathReverseIterator& inOther) const;
  bool operator>(const APathReverseIterator& inOther) const;
  bool operator>=(const APathReverseIterator& inOther) const;

  reference operator*() const;
  pointer operator->() const;
  reference operator[](difference_type inOffset) const;

 private:
  friend class APath;
  APathReverseIterator(const APath* inPath, difference_type inPosition);

  APathIteratorRecord* m_record;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_APATHITERATOR_H
