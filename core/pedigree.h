// The pedigree file reader and the text helpers used on fields and option
// values.
//
// A pedigree file holds one animal per line: the animal's identifier, its
// sire's and its dam's, in delimited or fixed-width columns. Every line is a
// record, blank lines included. Each field is trimmed of surrounding
// whitespace, stripped of leading zeros with the numeric-ID flag, and is
// unknown when it is empty or equals the missing-value marker.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "get_token.h"
#include "huge_alloc.h"
#include "symbols.h"

namespace haldor {

// Text helpers; each changes its argument in place and returns it.
std::string& ltrim(std::string& s);
std::string& rtrim(std::string& s);
std::string& trim(std::string& s);
// Removes every leading '0': "007" -> "7", "0A1" -> "A1", "000" -> "".
std::string& trim_zero(std::string& s);
// Replaces the escapes \" \' \\ \n \r \t by the character they stand for;
// any other backslash stays as written.
void compile_escape_char(std::string& s);
// Parses a fixed-width column list ("1,5,6,5,11,5": start, length, start,
// length, ...; any single non-digit separates numbers) into `table`.
// Returns the number of complete pairs.
int parse_fixed_column(ColumnTable& table, const std::string& text);

bool is_trim_space(unsigned char c);

// One line of the pedigree. Identifiers are ids of the pedigree's symbol
// pool; kNoSymbol means unknown.
struct PedRecord {
  SymbolId animal = kNoSymbol;
  SymbolId sire = kNoSymbol;
  SymbolId dam = kNoSymbol;
  std::int32_t work = 0;         // the module's own counter
  std::uint8_t flag[3] = {0, 0, 0};  // the module's own flags
};

// The record table `PED` of one run, with the strings its ids refer to.
struct Pedigree {
  SymbolPool pool;
  std::vector<PedRecord, HugeAllocator<PedRecord>> PED;

  long MAXANIMAL() const { return static_cast<long>(PED.size()); }
  std::string_view name(SymbolId id) const { return pool.view(id); }
};

// Console texts that differ between the programs.
struct ReaderTexts {
  const char* progress;       // printed before reading, without a line end
  const char* out_of_memory;  // table can't be allocated
  const char* out_of_memory_reading;  // identifier can't be stored
  bool count_name_first;      // "Total lines in %s : %ld" vs "  %ld lines in %s"
};

// Settings the readers apply to every field.
struct FieldRules {
  std::string marker;   // missing-value marker, compared as typed
  bool numeric = false; // drop leading zeros
};

// Read the whole file into `ped`. Return the number of records, or 0 when
// the file can't be opened or read, memory runs out, or the file is empty.
long read_ped_dsf(Pedigree& ped, const std::string& filename, const std::string& delimiters, bool merge,
                  const FieldRules& rules, const ReaderTexts& texts, std::FILE* console = stdout);
long read_ped_fwf(Pedigree& ped, const std::string& filename, const ColumnTable& columns, int pairs,
                  const FieldRules& rules, const ReaderTexts& texts, std::FILE* console = stdout);
// Releases the records and their strings. Returns 0.
int close_ped(Pedigree& ped);

}  // namespace haldor
