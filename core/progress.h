// A progress line on standard error for the long phases of a console program.
//
// A phase that takes more than about a second shows how far it has got, as a
// percentage, right after the phase's own message on the console; the line is
// erased when the phase completes, so the console ends up showing exactly what
// it shows without it. Nothing is written unless standard error is a terminal:
// with standard error in a file or a pipe (the front end's log, a test) the
// output stays byte for byte the same.
//
// The progress text is drawn after the cursor and erased with backspaces, so
// the phase message that standard output has on the same line stays in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace haldor {

// Where a progress line goes. The programs use standard_error(); tests give
// their own stream, terminal flag and clock.
struct ProgressOutput {
  using Clock = std::chrono::steady_clock;

  std::FILE* stream = nullptr;         // the line's stream
  bool terminal = false;               // draw only when true
  std::FILE* flush_first = nullptr;    // flushed before the line first shows (standard output)
  std::function<Clock::time_point()> now;  // empty: the steady clock

  // Standard error, and whether it is a terminal (decided once per process).
  static ProgressOutput standard_error();
};

// A progress line on standard error for one phase of a console program.
class Progress {
 public:
  Progress(const char* label, std::uint64_t total);  // nothing shown yet
  Progress(const char* label, std::uint64_t total, ProgressOutput output);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // Cheap enough to call per record: the clock is looked at only every so
  // many records (about a thousandth of the total).
  void update(std::uint64_t done) {
    if (done >= next_check_) check(done);
  }
  void finish();  // erases the line if one was shown; the destructor calls it
  ~Progress();

  // The text drawn for `done` of `total` ("label 42%"; a count when the total is unknown).
  static int format(char* buffer, std::size_t size, const char* label, std::uint64_t done,
                    std::uint64_t total);

  // Shown for this long before the line appears.
  static constexpr std::chrono::milliseconds kDelay{1000};

 private:
  void check(std::uint64_t done);
  void draw(std::uint64_t done);
  void erase();
  ProgressOutput::Clock::time_point now() const;

  const char* label_;
  std::uint64_t total_;
  ProgressOutput out_;
  ProgressOutput::Clock::time_point start_;
  std::uint64_t next_check_;
  std::uint64_t step_;
  int shown_ = 0;       // characters of the line on the terminal now
  int last_value_ = -1; // the percentage (or count bucket) last drawn
  bool finished_ = false;
};

}  // namespace haldor
