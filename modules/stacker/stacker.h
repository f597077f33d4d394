// Tavisk: stacks a pedigree. Writes it again grouped into generations, the
// oldest first, so that every parent comes before its progeny; founders
// named by few records are pruned, and a pedigree with a loop is stacked as
// far as it can be, the rest going to an error file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "depth.h"
#include "frame.h"

namespace haldor::stacker {

// Usage bits of the identifier table.
constexpr std::uint8_t kAnimal = 1;
constexpr std::uint8_t kParentOnly = 2;

// The accepted -g values: G + 50 must be a signed 32-bit number, and a
// negative G would give every run the loop verdict or stack nothing.
constexpr long long kMinGenerations = 0;
constexpr long long kMaxGenerations = 2147483647LL - 50;

// Reads a number the way atoi does (leading blanks, a sign, digits; text
// that is not a number gives 0), but without wrapping: values beyond the
// range of long long saturate.
long long parse_number(const std::string& text);

// Registers every animal and parent in run.HASHTBL, resets the records'
// depth and flags, and removes the references to parent-only identifiers
// named by at most `prune` sire/dam fields (compared as unsigned). Prints
// its progress. Returns the number of records with an animal, or -1 when
// memory ran out (the message is printed). With `parents`, also resolves
// the remaining parents as resolve_parents does, on the same pass.
long mk_hashtable(Run& run, long count, int prune, RecordTable* parents = nullptr);

// Resolves every known parent to the index of its first record as an
// animal (kNoParent for an unknown or parent-only one): parents[2i] is the
// sire of record i, parents[2i + 1] its dam. Throws std::bad_alloc.
RecordTable resolve_parents(Run& run);

enum StackStatus {
  kStacked = 0,
  kNotCreated = -1,   // a file could not be created (message printed)
  kNotWritten = -2,   // a file could not be written whole (message printed)
  kOutOfMemory = -3,  // message printed, nothing written
};

// Computes the depths and writes the stacked pedigree file, the parentage
// table and the error file. `g` is the loop generation count G. `parents`
// are the resolved parents from mk_hashtable; when empty they are resolved here.
StackStatus stack(Run& run, const std::string& output, const std::string& error_file, long count, int g,
                  const std::string& delimiter, RecordTable parents = {});

class Tavisk : public Module {
 public:
  const ModuleInfo& info() const override;
  void option(int letter, const std::string& value) override;
  void apply_defaults(Settings& settings) override;
  std::vector<std::string> outputs(const Settings& s) const override;
  int before_read(Run& run) override;
  int work(Run& run) override;

 private:
  std::string error_file_;
  RecordTable parents_;  // from mk_hashtable to stack
  bool e_given_ = false;
  std::string g_text_;
  long long generations_ = 50;
  int prune_ = 1;
  bool p_given_ = false;
};

}  // namespace haldor::stacker
