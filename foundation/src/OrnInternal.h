// Helpers shared by the foundation library's sources; not installed.
#ifndef TARSEL_ORN_ORNINTERNAL_H
#define TARSEL_ORN_ORNINTERNAL_H

#include <tarsel/orn/AAllocator.h>

#include <new>
#include <utility>

namespace tarsel {
namespace orn {
namespace internal {

// Memory from AAllocator, or null instead of an exception.
void* TryAlloc(std::size_t inSize) noexcept;

// A T built in memory from AAllocator, or null when no memory could be had.
template <class T, class... Args>
T* TryNew(Args&&... inArgs) noexcept {
  void* memory = TryAlloc(sizeof(T));
  if (memory == nullptr) {
    return nullptr;
  }
  try {
    return new (memory) T(std::forward<Args>(inArgs)...);
  } catch (...) {
    AAllocator::Free(memory);
    return nullptr;
  }
}

// A T built in memory from AAllocator; throws std::bad_alloc (or what T's constructor throws).
template <class T, class... Args>
T* New(Args&&... inArgs) {
  void* memory = AAllocator::Alloc(sizeof(T));
  if (memory == nullptr) {
    throw std::bad_alloc();
  }
  try {
    return new (memory) T(std::forward<Args>(inArgs)...);
  } catch (...) {
    AAllocator::Free(memory);
    throw;
  }
}

template <class T>
void Delete(T* inObject) noexcept {
  if (inObject != nullptr) {
    inObject->~T();
    AAllocator::Free(inObject);
  }
}

}  // namespace internal
}  // namespace orn
}  // namespace tarsel

// Defines the operators declared by TARSEL_ORN_ALLOCATION_OPERATORS for class C.
#define TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(C)                                                     \
  void* C::operator new(std::size_t inSize) {                                                         \
    void* memory = ::tarsel::orn::AAllocator::Alloc(inSize);                                          \
    if (memory == nullptr) throw std::bad_alloc();                                                    \
    return memory;                                                                                    \
  }                                                                                                   \
  void* C::operator new[](std::size_t inSize) { return C::operator new(inSize); }                     \
  void* C::operator new(std::size_t, void* inPlace) noexcept { return inPlace; }                      \
  void* C::operator new[](std::size_t, void* inPlace) noexcept { return inPlace; }                    \
  void C::operator delete(void* inPointer) noexcept { ::tarsel::orn::AAllocator::Free(inPointer); }   \
  void C::operator delete[](void* inPointer) noexcept { ::tarsel::orn::AAllocator::Free(inPointer); } \
  void C::operator delete(void*, void*) noexcept {}                                                   \
  void C::operator delete[](void*, void*) noexcept {}

#endif  // TARSEL_ORN_ORNINTERNAL_H
