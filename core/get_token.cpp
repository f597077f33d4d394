#include "get_token.h"

#include <cstring>

namespace haldor {

char is_delimiter(int c, const std::string& delimiters) {
  for (char d : delimiters) {
    if (static_cast<signed char>(d) == static_cast<signed char>(c)) return d;
  }
  return 0;
}

DelimiterSet::DelimiterSet(const std::string& delimiters) : text_(delimiters) {
  for (int c = 0; c < 256; ++c) member_[static_cast<std::size_t>(c)] = is_delimiter(c, delimiters) != 0;
  stop_ = member_;
  stop_['\r'] = stop_['\n'] = true;
}

int get_dtoken(TextInput& in, std::string& token, std::size_t size, const DelimiterSet& delimiters,
               bool merge, std::FILE* console) {
  token.clear();
  int c = in.get();
  if (c == TextInput::kEnd) return kNoField;
  in.unget();

  // Collect the field. The scan runs over whole blocks at a time.
  const std::size_t limit = size > 0 ? size - 1 : 0;
  bool too_long = false;
  for (;;) {
    if (in.cursor() == in.block_end() && !in.fill()) {
      c = TextInput::kEnd;
      break;
    }
    const char* start = in.cursor();
    const char* stop = in.block_end();
    const char* p = start;
    while (p < stop && !delimiters.stops(static_cast<unsigned char>(*p))) ++p;
    std::size_t n = static_cast<std::size_t>(p - start);
    if (!too_long) {
      std::size_t room = limit - token.size();
      if (n > room) {
        token.append(start, room);
        too_long = true;
        std::fputs("\nError : word is too long\n\n", console);
      } else {
        token.append(start, n);
      }
    }
    in.advance(n);
    if (p < stop) {
      c = in.get();
      break;
    }
  }

  // Merging: swallow the rest of a run of delimiters. A line feed always
  // ends the line, even when it was given as a delimiter too.
  if (merge && c != TextInput::kEnd && c != '\n' && delimiters.contains(c)) {
    for (;;) {
      c = in.get();
      if (c == TextInput::kEnd || c == '\r' || c == '\n') break;
      if (!delimiters.contains(c)) {
        in.unget();
        // The field ended on a delimiter: the line goes on.
        return kField;
      }
    }
  }

  if (c == '\r') {
    int next = in.get();
    if (next == '\n') {
      c = '\n';
    } else if (next != TextInput::kEnd) {
      in.unget();
    } else {
      c = TextInput::kEnd;
    }
  }
  return (c == '\n' || c == TextInput::kEnd) ? kLastField : kField;
}

int get_ftoken(TextInput& in, FixedReaderState& state, std::string& token, const ColumnTable& columns,
               int pairs) {
  token.clear();
  if (!state.in_line) {
    if (!in.read_line(state.buf)) return kNoField;
    state.line_len = state.buf.size();
    state.in_line = true;
    state.record_pos = 0;
  }
  const ColumnPair& col = columns[state.record_pos];
  const std::size_t first = col.start > 0 ? static_cast<std::size_t>(col.start - 1) : 0;
  if (first >= state.line_len) {
    state.in_line = false;
    return kLastField;
  }
  std::size_t n = state.line_len - first;
  if (col.length >= 0 && static_cast<std::size_t>(col.length) < n) n = static_cast<std::size_t>(col.length);
  token.assign(state.buf, first, n);
  if (++state.record_pos == static_cast<std::size_t>(pairs)) {
    state.in_line = false;
    state.record_pos = 0;
    return kLastField;
  }
  return kField;
}

}  // namespace haldor
