// The programs' operator new and delete: blocks of 32 MiB and more are taken
// 2 MiB aligned and offered to the kernel for transparent huge pages, as the
// record and identifier tables are (huge_alloc.h); smaller blocks are plain
// malloc, and every block is given back with free.
//
// A run makes many arrays the size of the pedigree (codes, parents, F, the
// batches' marks and indices) and writes each of them from end to end soon
// after making it. Every first touch of a 4 KiB page is a page fault, and on
// a virtual machine one fault can cost more than ten microseconds: at 10^7
// animals a Folvane run took about 157,000 of them, at 10^8 about 1.7
// million, most of them in the steps that run on one core. A huge page costs
// one fault for 512 such pages.
//
// Linked into the four programs only, not into the libraries: tests and the
// front end keep the allocator they are built with, and the build leaves it
// out of sanitizer builds, whose allocator keeps its own checks.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "huge_alloc.h"

namespace {

// Blocks this large are mapped on their own by malloc and given back to the
// kernel when freed. Smaller ones may come from malloc's heap, where a range
// once offered for huge pages keeps the offer after the block is freed, and
// the small blocks made there later would each take a huge page.
constexpr std::size_t kLargeBlock = std::size_t{32} << 20;

}  // namespace

void* operator new(std::size_t bytes) { return haldor::huge_alloc(bytes, kLargeBlock); }
void* operator new[](std::size_t bytes) { return haldor::huge_alloc(bytes, kLargeBlock); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
