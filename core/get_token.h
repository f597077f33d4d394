// Field readers: cut the next field of a delimited or fixed-width pedigree
// file.
//
// Both readers return a token status:
//   kNoField   (0) the input ended before a field began;
//   kField     (1) a field was read and its line goes on;
//   kLastField (2) a field was read and it was the last one of its line.
// Every line therefore ends with a kLastField field, so fields and lines stay
// in step. A carriage return and line feed pair counts as one line end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "text_input.h"

namespace haldor {

enum TokenStatus { kNoField = 0, kField = 1, kLastField = 2 };

// Size of the field buffer the pedigree readers use: a field keeps at most
// kTokenSize - 1 characters.
constexpr std::size_t kTokenSize = 65536;

// Returns the character of `delimiters` equal to `c` (a byte as read, 0..255),
// or 0 when it is not in the set. Set characters compare as signed 8-bit values.
char is_delimiter(int c, const std::string& delimiters);

// A delimiter set with a lookup table for the readers' inner loop.
class DelimiterSet {
 public:
  explicit DelimiterSet(const std::string& delimiters = " \t");
  bool contains(int c) const { return c >= 0 && member_[static_cast<std::size_t>(c)]; }
  // True for a delimiter, carriage return or line feed: any byte that ends a field.
  bool stops(unsigned char c) const { return stop_[c]; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::array<bool, 256> member_{};
  std::array<bool, 256> stop_{};
};

// Reads the next field of a delimited file into `token`. A field longer than
// size - 1 characters prints "\nError : word is too long\n" and a line end on
// `console`; its excess is dropped, so the following fields of the line keep
// their places. With `merge`, a run of delimiters counts as one.
int get_dtoken(TextInput& in, std::string& token, std::size_t size, const DelimiterSet& delimiters,
               bool merge, std::FILE* console = stdout);

// One pair of a fixed-width column list: 1-based start column and length.
struct ColumnPair {
  long start = 0;
  long length = 0;
};
using ColumnTable = std::vector<ColumnPair>;

// State of the fixed-width reader, kept between calls for one file.
struct FixedReaderState {
  bool in_line = false;
  std::string buf;
  std::size_t line_len = 0;
  std::size_t record_pos = 0;
};

// Cuts the next field of a fixed-width file: fields are the column pairs of
// `columns` (the first `pairs` of them) cut from each line in turn. Lines of
// any length are read whole.
int get_ftoken(TextInput& in, FixedReaderState& state, std::string& token, const ColumnTable& columns,
               int pairs);

}  // namespace haldor
