// What the first touch of fresh memory costs on this machine, and whether a
// second thread halves it: maps N GiB, offers it for huge pages as the
// programs' large tables are, and faults it in on T threads (each its own
// share), then writes it all once more.
//
//   first_touch [GiB] [threads]      default: 4 GiB, 1 thread
//
// On a virtual machine whose host takes freed memory back, every run touches
// memory the host must hand out again, so runs one after another each pay it.
#include <sys/mman.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  const std::size_t gib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4;
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1;
  if (gib == 0 || threads == 0) {
    std::fputs("usage: first_touch [GiB] [threads]\n", stderr);
    return 2;
  }
  const std::size_t bytes = gib << 30;
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) {
    std::perror("mmap");
    return 1;
  }
  char* p = static_cast<char*>(map);
#ifdef MADV_HUGEPAGE
  madvise(p, bytes, MADV_HUGEPAGE);
#endif
  const std::size_t share = bytes / threads;
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) {
    pool.emplace_back([=] {
      const std::size_t end = t + 1 == threads ? bytes : (t + 1) * share;
      for (std::size_t i = t * share; i < end; i += 4096) p[i] = 1;
    });
  }
  for (std::thread& t : pool) t.join();
  const auto t1 = Clock::now();
  for (std::size_t i = 0; i < bytes; i += 4096) p[i] = static_cast<char>(p[i] + 1);
  const auto t2 = Clock::now();
  munmap(p, bytes);
  std::printf("%zu GiB, %u thread(s): first touch %.3f s, second %.3f s\n", gib, threads,
              std::chrono::duration<double>(t1 - t0).count(), std::chrono::duration<double>(t2 - t1).count());
  return 0;
}
