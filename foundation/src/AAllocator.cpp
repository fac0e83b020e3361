#include <tarsel/orn/AAllocator.h>

#include <atomic>
#include <new>

#include "OrnInternal.h"

namespace tarsel {
namespace orn {

namespace {

std::atomic<AAllocator::AllocateProc> gAllocProc{nullptr};
std::atomic<AAllocator::FreeProc> gFreeProc{nullptr};

}  // namespace

void* AAllocator::Alloc(std::size_t inSize) {
  AllocateProc proc = gAllocProc.load(std::memory_order_acquire);
  if (proc != nullptr) {
    return proc(inSize);
  }
  return ::operator new(inSize);
}

void AAllocator::Free(void* inPointer) {
  if (inPointer == nullptr) {
    return;
  }
  FreeProc proc = gFreeProc.load(std::memory_order_acquire);
  if (proc != nullptr) {
    proc(inPointer);
  } else {
    ::operator delete(inPointer);
  }
}

void AAllocator::RegisterMemoryProcs(AllocateProc inAlloc, FreeProc inFree) {
  gAllocProc.store(inAlloc, std::memory_order_release);
  gFreeProc.store(inFree, std::memory_order_release);
}

AAllocator::AllocateProc AAllocator::GetAllocateProc() { return gAllocProc.load(std::memory_order_acquire); }

AAllocator::FreeProc AAllocator::GetFreeProc() { return gFreeProc.load(std::memory_order_acquire); }

namespace internal {

void* TryAlloc(std::size_t inSize) noexcept {
  try {
    return AAllocator::Alloc(inSize);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace internal

}  // namespace orn
}  // namespace tarsel
