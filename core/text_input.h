// Buffered reading of one input file, byte by byte or line by line.
//
// The field readers need single-character reads with one character of
// push-back (like getc/ungetc) at a speed close to a plain block read, so
// the file is read in large blocks and characters are handed out from the
// block. Bytes are returned as values 0..255; kEnd marks the end of input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace haldor {

class TextInput {
 public:
  static constexpr int kEnd = -1;

  TextInput() = default;
  ~TextInput();
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;

  // Opens `path` for reading. Returns false (and stays closed) when the file
  // can't be opened or is a directory or a device (which may never end).
  bool open(const std::string& path);
  // Reads from an in-memory text instead of a file (for tests).
  void open_text(std::string text);
  void close();
  bool is_open() const { return fd_ >= 0 || from_text_; }
  // True when a read failed (as opposed to reaching the end).
  bool failed() const { return failed_; }

  int get() {
    if (pos_ == end_ && !fill()) return kEnd;
    return static_cast<unsigned char>(buf_[pos_++]);
  }
  // Pushes back the character just read by get(). Only one step back.
  void unget() {
    if (pos_ > 0) --pos_;
  }
  // Direct access to the unread part of the current block, for readers that
  // scan several characters at once. Call fill() when it is empty.
  const char* cursor() const { return buf_.data() + pos_; }
  const char* block_end() const { return buf_.data() + end_; }
  void advance(std::size_t n) { pos_ += n; }
  bool fill();

  // Reads one whole line, of any length, without its line feed; a carriage
  // return right before the line feed is removed too. Returns false at the
  // end of input. `had_line_end` tells whether the line ended with a line feed.
  bool read_line(std::string& line, bool* had_line_end = nullptr);

  // Counts the lines of the rest of the input: every line feed ends one, and
  // a last line without a line feed counts too. Then rewinds to the start.
  long count_lines_and_rewind();
  bool rewind();

 private:
  int fd_ = -1;
  bool from_text_ = false;
  bool at_eof_ = false;
  bool failed_ = false;
  std::vector<char> buf_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

}  // namespace haldor
