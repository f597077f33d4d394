// Turns a fuzzer's byte string into settings and texts.
//
// Settings are taken from the front of the data a byte at a time; whatever
// is left is the text under test. Running out of bytes yields zeros, so every
// input, however short, is a valid test case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace haldor::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t byte() {
    if (rest_.empty()) return 0;
    auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  bool flag() { return byte() & 1; }
  // A string of up to `max` bytes, its length taken from the next byte.
  std::string text(std::size_t max) {
    std::size_t n = byte() % (max + 1);
    if (n > rest_.size()) n = rest_.size();
    std::string s(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return s;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Ends the process with a report when an invariant of the code under test
// does not hold; libFuzzer keeps the input that caused it.
[[noreturn]] void fail(const char* what);
inline void expect(bool ok, const char* what) {
  if (!ok) fail(what);
}

}  // namespace haldor::fuzz
