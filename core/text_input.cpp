#include "text_input.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace haldor {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}

TextInput::~TextInput() { close(); }

bool TextInput::open(const std::string& path) {
  close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  // A folder holds no text, and a device such as /dev/zero or /dev/urandom
  // never ends: reading one would never finish (or fill the memory).
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  // A small regular file needs no more than its own size of buffer.
  std::size_t block = kBlockSize;
  if (S_ISREG(st.st_mode) && st.st_size >= 0 && static_cast<std::size_t>(st.st_size) < block)
    block = static_cast<std::size_t>(st.st_size) + 1;
  buf_.resize(block);
  pos_ = end_ = 0;
  at_eof_ = failed_ = false;
  return true;
}

void TextInput::open_text(std::string text) {
  close();
  from_text_ = true;
  buf_.assign(text.begin(), text.end());
  pos_ = 0;
  end_ = buf_.size();
  at_eof_ = true;
  failed_ = false;
}

void TextInput::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  from_text_ = false;
  buf_.clear();
  buf_.shrink_to_fit();
  pos_ = end_ = 0;
}

bool TextInput::fill() {
  if (pos_ < end_) return true;
  if (at_eof_ || fd_ < 0) return false;
  // Keep the last character so that unget() after a refill still works.
  std::size_t keep = 0;
  if (end_ > 0) {
    buf_[0] = buf_[end_ - 1];
    keep = 1;
  }
  for (;;) {
    ssize_t n = ::read(fd_, buf_.data() + keep, buf_.size() - keep);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) failed_ = true;
      at_eof_ = true;
      pos_ = end_ = keep;
      return false;
    }
    pos_ = keep;
    end_ = keep + static_cast<std::size_t>(n);
    return true;
  }
}

bool TextInput::read_line(std::string& line, bool* had_line_end) {
  line.clear();
  bool any = false;
  for (;;) {
    if (pos_ == end_ && !fill()) break;
    any = true;
    const char* start = buf_.data() + pos_;
    const char* stop = buf_.data() + end_;
    const void* nl = std::memchr(start, '\n', static_cast<std::size_t>(stop - start));
    if (nl) {
      const char* p = static_cast<const char*>(nl);
      line.append(start, p);
      pos_ += static_cast<std::size_t>(p - start) + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (had_line_end) *had_line_end = true;
      return true;
    }
    line.append(start, stop);
    pos_ = end_;
  }
  if (had_line_end) *had_line_end = false;
  return any;
}

long TextInput::count_lines_and_rewind() {
  long lines = 0;
  bool pending = false;  // characters after the last line feed
  for (;;) {
    if (pos_ == end_ && !fill()) break;
    const char* p = buf_.data() + pos_;
    const char* stop = buf_.data() + end_;
    while (p < stop) {
      const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(stop - p));
      if (!nl) {
        pending = true;
        break;
      }
      ++lines;
      pending = false;
      p = static_cast<const char*>(nl) + 1;
    }
    pos_ = end_;
  }
  if (pending) ++lines;
  rewind();
  return lines;
}

bool TextInput::rewind() {
  if (from_text_) {
    pos_ = 0;
    end_ = buf_.size();
    return true;
  }
  if (fd_ < 0) return false;
  if (lseek(fd_, 0, SEEK_SET) != 0) {
    failed_ = true;
    return false;
  }
  pos_ = end_ = 0;
  at_eof_ = false;
  return true;
}

}  // namespace haldor
