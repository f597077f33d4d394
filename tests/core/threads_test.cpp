#include "threads.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace haldor {
namespace {

// HALDOR_THREADS caps the threads only when it is a whole number of at least
// one; anything else leaves the processor's count (never zero threads).
TEST(WorkerThreads, CapAndJunkInTheEnvironment) {
  unsetenv("HALDOR_THREADS");
  const unsigned all = worker_threads(64);
  EXPECT_GE(all, 1u);
  EXPECT_LE(all, std::max(std::thread::hardware_concurrency(), 1u));
  EXPECT_EQ(worker_threads(1), 1u);
  EXPECT_EQ(worker_threads(0), 1u);
  setenv("HALDOR_THREADS", "1", 1);
  EXPECT_EQ(worker_threads(64), 1u);
  setenv("HALDOR_THREADS", "1000", 1);
  EXPECT_EQ(worker_threads(64), all);
  for (const char* junk : {"0", "", "two", "2x", "-1"}) {
    setenv("HALDOR_THREADS", junk, 1);
    EXPECT_EQ(worker_threads(64), all) << '"' << junk << '"';
  }
  unsetenv("HALDOR_THREADS");
}

}  // namespace
}  // namespace haldor
