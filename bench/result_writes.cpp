// What writing a large result file costs, by four ways of writing it:
//
//   result_writes FILE GiB serial|pwrite|mmap|direct
//
//   serial  1 MiB spans written one after another from one thread (what
//           the programs do, through stdio);
//   pwrite  the spans written at their offsets from two threads in turn;
//   mmap    the file sized first, then mapped and filled from two threads;
//   direct  serial, with O_DIRECT (past the page cache, straight to disk).
//
// FILE must not exist: it is created, written, closed and removed, and the
// seconds of each step are printed. Wait a while between runs: on a virtual
// machine whose host takes freed memory back, page cache given back by the
// removal of the last file is otherwise handed out again warm.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr std::size_t kSpan = std::size_t(1) << 20;

int usage() {
  std::fputs("usage: result_writes FILE GiB serial|pwrite|mmap|direct\n", stderr);
  return 2;
}

[[noreturn]] void fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

// Writes all of `n` bytes at `offset`, or ends the run.
void write_at(int fd, const char* data, std::size_t n, off_t offset) {
  while (n > 0) {
    const ssize_t done = pwrite(fd, data, n, offset);
    if (done < 0) fail("pwrite");
    data += done;
    n -= static_cast<std::size_t>(done);
    offset += done;
  }
}

// Calls f(offset) for the spans of `total` bytes that thread t of two takes.
template <class F>
void on_two_threads(std::size_t total, F f) {
  auto share = [&](std::size_t t) {
    for (std::size_t o = t * kSpan; o < total; o += 2 * kSpan) f(o);
  };
  std::thread other(share, 1);
  share(0);
  other.join();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return usage();
  const std::string file = argv[1], mode = argv[3];
  const double gib = std::atof(argv[2]);
  const std::size_t total = static_cast<std::size_t>(gib * (1 << 30)) / kSpan * kSpan;
  if (total == 0 || (mode != "serial" && mode != "pwrite" && mode != "mmap" && mode != "direct")) return usage();
  // One span of text, aligned for O_DIRECT.
  char* span = static_cast<char*>(std::aligned_alloc(4096, kSpan));
  if (!span) fail("aligned_alloc");
  for (std::size_t i = 0; i < kSpan; ++i) span[i] = i % 64 == 63 ? '\n' : static_cast<char>('0' + i % 10);

  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  const int flags = O_CREAT | O_EXCL | O_RDWR | (mode == "direct" ? O_DIRECT : 0);
  const int fd = open(file.c_str(), flags, 0644);
  if (fd < 0) fail("open");
  if (mode == "serial" || mode == "direct") {
    for (std::size_t o = 0; o < total; o += kSpan) write_at(fd, span, kSpan, static_cast<off_t>(o));
  } else if (mode == "pwrite") {
    on_two_threads(total, [&](std::size_t o) { write_at(fd, span, kSpan, static_cast<off_t>(o)); });
  } else {
    if (ftruncate(fd, static_cast<off_t>(total)) != 0) fail("ftruncate");
    void* map = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) fail("mmap");
    char* p = static_cast<char*>(map);
    on_two_threads(total, [&](std::size_t o) { std::memcpy(p + o, span, kSpan); });
    if (munmap(map, total) != 0) fail("munmap");
  }
  const auto t1 = Clock::now();
  if (close(fd) != 0) fail("close");
  const auto t2 = Clock::now();
  if (unlink(file.c_str()) != 0) fail("unlink");
  const auto t3 = Clock::now();
  auto s = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
  std::printf("%s, %.2f GiB: write %.3f s, close %.3f s, remove %.3f s\n", mode.c_str(),
              static_cast<double>(total) / (1 << 30), s(t1 - t0), s(t2 - t1), s(t3 - t2));
  std::free(span);
  return 0;
}
