// Helpers for the foundation tests: allocators registered for the lifetime of a scope.
#ifndef TESTS_FOUNDATION_FOUNDATIONTESTUTIL_H
#define TESTS_FOUNDATION_FOUNDATIONTESTUTIL_H

#include <tarsel/orn/AAllocator.h>

#include <atomic>
#include <new>

// Every allocation through AAllocator fails while it lives; frees go to the global operator.
class FailingAllocator {
 public:
  FailingAllocator() {
    tarsel::orn::AAllocator::RegisterMemoryProcs([](std::size_t) -> void* { return nullptr; },
                                                 [](void* p) { ::operator delete(p); });
  }
  ~FailingAllocator() { tarsel::orn::AAllocator::RegisterMemoryProcs(nullptr, nullptr); }
  FailingAllocator(const FailingAllocator&) = delete;
  FailingAllocator& operator=(const FailingAllocator&) = delete;
};

// Counts allocations and frees through AAllocator while it lives.
class CountingAllocator {
 public:
  CountingAllocator() {
    Counts().allocations = 0;
    Counts().frees = 0;
    tarsel::orn::AAllocator::RegisterMemoryProcs(
        [](std::size_t size) -> void* {
          ++Counts().allocations;
          return ::operator new(size);
        },
        [](void* p) {
          ++Counts().frees;
          ::operator delete(p);
        });
  }
  ~CountingAllocator() { tarsel::orn::AAllocator::RegisterMemoryProcs(nullptr, nullptr); }
  CountingAllocator(const CountingAllocator&) = delete;
  CountingAllocator& operator=(const CountingAllocator&) = delete;

  int Allocations() const { return Counts().allocations; }
  int Frees() const { return Counts().frees; }

 private:
  struct Tally {
    std::atomic<int> allocations{0};
    std::atomic<int> frees{0};
  };
  static Tally& Counts() {
    static Tally tally;
    return tally;
  }
};

#endif  // TESTS_FOUNDATION_FOUNDATIONTESTUTIL_H
