// The first write to a page of a new block is a page fault, in which the
// kernel finds the page and clears it. On a virtual machine whose host hands
// memory out as the guest first touches it, and takes back what the guest
// frees, that costs far more than the clearing: on the two-core machines the
// benchmarks run on, a fresh 4 GiB took 7.5 s to fault in on one thread and
// 3.9 s on two (bench/first_touch). The large tables of a run are made in the
// steps that run on one thread (reading, coding, the set-up of the batches),
// so a block of two huge pages or more is faulted in as it is made, half on
// this thread and half on a second one, when the run may use two threads.
// Smaller blocks gain nothing from it: they are faulted in as first written.
#include "huge_alloc.h"

#include <system_error>
#include <thread>

#include <sys/mman.h>

#include "threads.h"

namespace haldor {

namespace {

// Where the kernel cannot (before Linux 5.14) or will not (short of memory),
// nothing is done: the pages are then faulted in as they are first written.
void fault_range(char* p, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  madvise(p, bytes, MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)bytes;
#endif
}

}  // namespace

void fault_in(void* p, std::size_t bytes) {
  static const unsigned threads = worker_threads(2);
  if (threads < 2) return;
  // Each thread takes whole huge pages: the block starts on one.
  char* const first = static_cast<char*>(p);
  const std::size_t half = (bytes / 2) & ~(kHugePage - 1);
  if (half == 0) return;
  try {
    std::thread helper(fault_range, first + half, bytes - half);
    fault_range(first, half);
    helper.join();
  } catch (const std::system_error&) {
    // no thread to be had: the pages are faulted in as they are first written
  }
}

}  // namespace haldor
