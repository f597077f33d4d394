// The delimited field reader on any text with any delimiter set, merging or
// not, and any field size.
//
// What must hold: no field is longer than the size allows or holds a byte
// that ends fields, and every line of the text ends with exactly one
// last-field status, so fields and lines stay in step. The one exception is
// a last line without a line end that stops on a delimiter: the input ends
// after a plain field, and the pedigree reader closes that record itself.
#include <cstdio>
#include <string>

#include "fuzz_input.h"
#include "get_token.h"
#include "text_input.h"

using namespace haldor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* console = std::fopen("/dev/null", "w");
  fuzz::FuzzInput input(data, size);
  const std::string delimiters = input.text(4);
  const bool merge = input.flag();
  // Small sizes reach the too-long path; 0 is the degenerate buffer.
  const std::size_t field_size = input.byte() % 20;
  const std::string text(input.rest());

  const DelimiterSet set(delimiters);
  TextInput in;
  in.open_text(text);
  std::string token;
  long last_fields = 0;
  int previous = kLastField;
  for (;;) {
    const int status = get_dtoken(in, token, field_size, set, merge, console);
    if (status == kNoField) {
      if (previous == kField) {
        fuzz::expect(text.back() != '\n', "input ended inside a line that had its line end");
        ++last_fields;
      }
      break;
    }
    previous = status;
    fuzz::expect(status == kField || status == kLastField, "unknown token status");
    fuzz::expect(token.size() + 1 <= (field_size > 0 ? field_size : 1), "field longer than its buffer");
    for (char c : token) fuzz::expect(!set.stops(static_cast<unsigned char>(c)), "field holds a field end");
    if (status == kLastField) ++last_fields;
  }

  long lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  fuzz::expect(last_fields == lines, "fields and lines out of step");
  return 0;
}
