#include "threads.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace haldor {

unsigned worker_threads(unsigned most) {
  unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, std::max(most, 1u));
  if (const char* cap = std::getenv("HALDOR_THREADS")) {
    char* end = nullptr;
    const unsigned long wanted = std::strtoul(cap, &end, 10);
    if (end != cap && *end == '\0' && wanted >= 1) threads = static_cast<unsigned>(std::min<unsigned long>(threads, wanted));
  }
  return threads;
}

}  // namespace haldor
