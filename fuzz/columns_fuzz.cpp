// The fixed-width column list parser on any text.
//
// What must hold: the count returned is the number of pairs in the table,
// every number is a non-negative value that did not wrap around, and a list
// written back from the table parses to the same table.
#include <string>

#include "fuzz_input.h"
#include "pedigree.h"

using namespace haldor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ColumnTable table;
  const int pairs = parse_fixed_column(table, text);
  fuzz::expect(pairs >= 0 && static_cast<std::size_t>(pairs) == table.size(), "pair count differs from table");
  std::string again;
  for (const ColumnPair& p : table) {
    fuzz::expect(p.start >= 0 && p.length >= 0, "negative column number");
    again += std::to_string(p.start) + "," + std::to_string(p.length) + ",";
  }
  if (!again.empty()) again.pop_back();
  ColumnTable round_trip;
  fuzz::expect(parse_fixed_column(round_trip, again) == pairs, "written list parses to another count");
  for (std::size_t i = 0; i < table.size(); ++i) {
    fuzz::expect(round_trip[i].start == table[i].start && round_trip[i].length == table[i].length,
                 "written list parses to another table");
  }
  return 0;
}
