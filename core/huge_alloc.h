// An allocator for the large tables of a run (records, identifier slots,
// table entries). Tables of millions of entries are looked up at random, and
// with ordinary 4 KiB pages nearly every lookup also misses the TLB; large
// allocations are therefore aligned to 2 MiB and offered to the kernel for
// transparent huge pages, and their pages are faulted in at once, on two
// threads where the run has them. Small allocations are plain malloc.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace haldor {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

// Faults in the pages of a block of two huge pages or more just made (`p` on
// a huge page boundary), half of them on a second thread, when the run may
// use two threads (see huge_alloc.cpp). The block's contents do not change.
void fault_in(void* p, std::size_t bytes);

// Blocks of at least `least` bytes (never less than a huge page) go on huge
// pages; smaller ones are plain malloc. Either is given back with free.
inline void* huge_alloc(std::size_t bytes, std::size_t least = kHugePage) {
  if (bytes >= least && bytes >= kHugePage) {
    const std::size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // Only the whole huge pages the block fills: a huge page under its last
    // bytes would take up to 2 MiB of memory for a few bytes of the block.
    if (const std::size_t whole = bytes & ~(kHugePage - 1)) madvise(p, whole, MADV_HUGEPAGE);
#endif
    fault_in(p, bytes);
    return p;
  }
  void* p = std::malloc(bytes ? bytes : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

template <typename T>
struct HugeAllocator {
  using value_type = T;
  HugeAllocator() = default;
  template <typename U>
  HugeAllocator(const HugeAllocator<U>&) {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(huge_alloc(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) { std::free(p); }
  template <typename U>
  bool operator==(const HugeAllocator<U>&) const { return true; }
};

}  // namespace haldor
