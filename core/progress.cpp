#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <string>

namespace haldor {

namespace {

// Records between two looks at the clock when the total is not known.
constexpr std::uint64_t kUnknownTotalStep = 4096;

bool stderr_is_terminal() {
  static const bool terminal = isatty(fileno(stderr)) == 1;
  return terminal;
}

}  // namespace

ProgressOutput ProgressOutput::standard_error() {
  ProgressOutput out;
  out.stream = stderr;
  out.terminal = stderr_is_terminal();
  out.flush_first = stdout;
  return out;
}

Progress::Progress(const char* label, std::uint64_t total)
    : Progress(label, total, ProgressOutput::standard_error()) {}

Progress::Progress(const char* label, std::uint64_t total, ProgressOutput output)
    : label_(label), total_(total), out_(std::move(output)) {
  if (!out_.terminal || !out_.stream) {
    // Never draws: the clock is not even looked at.
    next_check_ = UINT64_MAX;
    step_ = 0;
    finished_ = true;
    return;
  }
  start_ = now();
  step_ = total_ ? std::max<std::uint64_t>(1, total_ / 1024) : kUnknownTotalStep;
  next_check_ = step_;
}

Progress::~Progress() { finish(); }

ProgressOutput::Clock::time_point Progress::now() const {
  return out_.now ? out_.now() : ProgressOutput::Clock::now();
}

int Progress::format(char* buffer, std::size_t size, const char* label, std::uint64_t done, std::uint64_t total) {
  if (total == 0) return std::snprintf(buffer, size, "[%s %" PRIu64 "]", label, done);
  const std::uint64_t part = std::min(done, total);
  const unsigned percent = static_cast<unsigned>(static_cast<double>(part) * 100.0 / static_cast<double>(total));
  return std::snprintf(buffer, size, "[%s %u%%]", label, percent);
}

void Progress::check(std::uint64_t done) {
  next_check_ = done + step_;
  if (finished_) return;
  if (shown_ == 0 && now() - start_ < kDelay) return;
  draw(done);
}

void Progress::draw(std::uint64_t done) {
  const int value = total_ ? static_cast<int>(std::min(done, total_) * 100 / total_)
                           : static_cast<int>(std::min<std::uint64_t>(done / kUnknownTotalStep, INT32_MAX));
  if (value == last_value_) return;
  last_value_ = value;
  char text[160];
  int length = format(text, sizeof text, label_, done, total_);
  if (length < 0) return;
  length = std::min<int>(length, static_cast<int>(sizeof text) - 1);
  if (shown_ == 0 && out_.flush_first) std::fflush(out_.flush_first);  // the phase message comes first
  std::string line(static_cast<std::size_t>(shown_), '\b');
  line.append(text, static_cast<std::size_t>(length));
  if (length < shown_) {  // blank what the longer text left, and come back
    line.append(static_cast<std::size_t>(shown_ - length), ' ');
    line.append(static_cast<std::size_t>(shown_ - length), '\b');
  }
  std::fwrite(line.data(), 1, line.size(), out_.stream);
  std::fflush(out_.stream);
  shown_ = length;
}

void Progress::erase() {
  if (shown_ == 0) return;
  const std::size_t n = static_cast<std::size_t>(shown_);
  std::string line(n, '\b');
  line.append(n, ' ');
  line.append(n, '\b');
  std::fwrite(line.data(), 1, line.size(), out_.stream);
  std::fflush(out_.stream);
  shown_ = 0;
}

void Progress::finish() {
  if (finished_) return;
  finished_ = true;
  next_check_ = UINT64_MAX;
  erase();
}

}  // namespace haldor
