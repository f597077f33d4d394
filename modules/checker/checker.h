// Quorel: checks a pedigree for blank lines, repeated animals, animals given
// as their own parents, identical sire and dam, and identifiers used both as
// sire and as dam, and writes an error report; on request also the parents
// without a line of their own (-s) and the pedigree loops (-l, loops.h).
#pragma once

#include <cstdio>
#include <string>

#include "frame.h"

namespace haldor::checker {

// Usage bits of the identifier table.
constexpr std::uint8_t kAnimal = 1;
constexpr std::uint8_t kSire = 2;
constexpr std::uint8_t kDam = 4;

// Fills the identifier table and the records' repeat counters. Returns the
// number of distinct identifiers, or -1 when memory ran out.
long mk_hashtable(Run& run, long count);

// Writes the error report and prints the summary. Returns 0; -1 when the
// report can't be created ("Output file open error"); -2 when it could not be
// written whole.
int check_error(Run& run, const std::string& filename, long count, bool stack_list, bool loop_list = false);

// Writes the parents that have no line of their own to `report` and prints
// their count. Returns 0, or -1 when given no file.
int be_stacked(Run& run, std::FILE* report);

// Writes the "Pedigree loops" section to `report` (each loop's size, a
// shortest chain closing it and the lines of that chain's records) and
// prints the number of loops. Returns that number, or -1 when given no file.
long report_loops(Run& run, std::FILE* report, long count);

class Quorel : public Module {
 public:
  const ModuleInfo& info() const override;
  void option(int letter, const std::string& value) override;
  int work(Run& run) override;

 private:
  bool stack_list_ = false;
  bool loop_list_ = false;
};

}  // namespace haldor::checker
