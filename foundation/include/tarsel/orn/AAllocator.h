// AAllocator: the one place where the foundation library gets and returns memory.
//
// By default it uses the global operator new and operator delete. A host may register its own
// pair of procedures once, before any foundation object exists; objects allocated with one pair
// must be freed with the same pair. Every foundation class routes its class-level operator new
// and delete (single, array and placement forms) and its private records through here.
//
// Thread safety: Alloc and Free may be called from any thread; RegisterMemoryProcs must be called
// before other threads use the library.
#ifndef TARSEL_ORN_AALLOCATOR_H
#define TARSEL_ORN_AALLOCATOR_H

#include <tarsel/orn/Export.h>

#include <cstddef>

namespace tarsel {
namespace orn {

class TARSEL_ORN_API AAllocator {
 public:
  using AllocateProc = void* (*)(std::size_t inSize);
  using FreeProc = void (*)(void* inPointer);

  // Memory for inSize bytes from the registered procedure, else from the global operator new
  // (which throws std::bad_alloc when it fails; a registered procedure may return null).
  static void* Alloc(std::size_t inSize);
  // Returns memory from Alloc; a null pointer is ignored.
  static void Free(void* inPointer);

  // Stores both procedures; passing two nulls goes back to the global operators.
  static void RegisterMemoryProcs(AllocateProc inAlloc, FreeProc inFree);
  static AllocateProc GetAllocateProc();
  static FreeProc GetFreeProc();

  AAllocator() = delete;
};

}  // namespace orn
}  // namespace tarsel

// Class-level allocation operators of a foundation class, all going through AAllocator.
// operator new throws std::bad_alloc when no memory can be had, as a new-expression requires.
#define TARSEL_ORN_ALLOCATION_OPERATORS                                    \
  static void* operator new(std::size_t inSize);                           \
  static void* operator new[](std::size_t inSize);                         \
  static void* operator new(std::size_t inSize, void* inPlace) noexcept;   \
  static void* operator new[](std::size_t inSize, void* inPlace) noexcept; \
  static void operator delete(void* inPointer) noexcept;                   \
  static void operator delete[](void* inPointer) noexcept;                 \
  static void operator delete(void* inPointer, void* inPlace) noexcept;    \
  static void operator delete[](void* inPointer, void* inPlace) noexcept;

#endif  // TARSEL_ORN_AALLOCATOR_H
