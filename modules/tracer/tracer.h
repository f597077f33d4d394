// Nembril: writes the pedigree lines of the animals named in a key file
// together with the lines of all their listed ancestors.
//
// Order of the traced file: for each key animal in key file order, the
// animal, then its sire's whole ancestry (sire side first at every level),
// then its dam's. Every animal is written at most once per run, at its first
// visit; a parent that has no line of its own appears only inside its
// progeny's lines. The walk keeps its own stack, so the depth of a pedigree
// is bounded by memory only, and an animal that is its own ancestor (a loop)
// is written once and not followed again.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "frame.h"

namespace haldor::tracer {

// Usage bits of the identifier table: the identifier is listed as an animal;
// it was met in the key file without being listed (entered while tracing).
constexpr std::uint8_t kAnimal = 1;
constexpr std::uint8_t kNonTraced = 2;

// Enters every listed animal into the identifier table (address: 1-based
// index of its first record) and clears the traced marks (the records' work
// counters). Prints "Hashing animals...OK.". Returns the number of records
// with an animal, or -1 when memory ran out.
long mk_hashtable(Run& run, long count);

// Writes traced pedigree lines to one open file.
class TracedOutput {
 public:
  TracedOutput(Run& run, std::FILE* file, std::string delimiter);

  // Writes the line of the animal at `address` (1-based record index; 0 for
  // none) and of all its ancestors not yet written, depth first, sire side
  // before dam side. Returns the number of lines written.
  long trace_parent(std::int32_t address);
  // Writes the line of a key identifier that is not listed as an animal.
  void write_untraced(std::string_view id);

 private:
  void write_record(const PedRecord& r);
  void put_id(SymbolId id);

  Run& run_;
  std::FILE* file_;
  std::string delimiter_;
  std::string line_;
  std::vector<std::int32_t> stack_;  // addresses still to visit, next on top
};

// Counts of one tracing run.
struct TraceCounts {
  long traced = 0;
  long non_traced = 0;
};

// Status of `trace`.
enum class TraceStatus {
  kDone,          // traced file written
  kNoKeyFile,     // the key file can't be opened; nothing written
  kNoOutput,      // the traced file can't be created
  kKeyReadError,  // the key file failed while being read; nothing written
  kWriteError,    // the traced file could not be written whole; nothing kept
};

// Reads the key file and writes the traced pedigree file, printing the
// progress and the counts. `count` is the record count. A key that is not
// listed as an animal counts as non-traced (and with `include` is written
// with unknown parents) at its first occurrence only, so that no identifier
// stands twice in the traced file.
TraceStatus trace(Run& run, const std::string& key_file, const std::string& out_file, long count, bool include,
                  bool numeric, const std::string& delimiter, TraceCounts* counts = nullptr);

class Nembril : public Module {
 public:
  const ModuleInfo& info() const override;
  void option(int letter, const std::string& value) override;
  int work(Run& run) override;

 private:
  bool include_ = false;
};

}  // namespace haldor::tracer
