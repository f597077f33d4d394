// The fixed-width field reader on any text with any column list.
//
// What must hold: a field is never longer than its column, a line gives at
// most one field per column pair, and every line ends with exactly one
// last-field status.
#include <string>

#include "fuzz_input.h"
#include "get_token.h"
#include "pedigree.h"
#include "text_input.h"

using namespace haldor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  ColumnTable columns;
  const int parsed = parse_fixed_column(columns, input.text(24));
  if (parsed < 1) return 0;  // the programs refuse a list without a pair
  // The programs read the first three pairs; any count up to the list's own
  // is a valid setting of the reader.
  const int pairs = 1 + input.byte() % parsed;
  const std::string text(input.rest());

  TextInput in;
  in.open_text(text);
  FixedReaderState state;
  std::string token;
  long last_fields = 0;
  int in_line = 0;
  for (;;) {
    const int status = get_ftoken(in, state, token, columns, pairs);
    if (status == kNoField) break;
    const ColumnPair& col = columns[static_cast<std::size_t>(in_line)];
    fuzz::expect(col.length < 0 || token.size() <= static_cast<std::size_t>(col.length),
                 "field longer than its column");
    ++in_line;
    fuzz::expect(in_line <= pairs, "more fields in a line than column pairs");
    if (status == kLastField) {
      ++last_fields;
      in_line = 0;
    }
  }

  long lines = 0;
  for (char c : text) lines += c == '\n';
  if (!text.empty() && text.back() != '\n') ++lines;
  fuzz::expect(last_fields == lines, "fields and lines out of step");
  return 0;
}
