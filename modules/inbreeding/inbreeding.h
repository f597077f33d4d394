// Folvane: inbreeding coefficients, Mendelian sampling factors and pedigree
// completeness of every animal of a pedigree file.
//
// Animals are coded by the position of the first record that carries their
// identifier; parents are reached by code only. The computations work on a
// `CodedPedigree` (code-indexed parent codes) and fill code-indexed results,
// so each method can be tested on its own pedigrees.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "frame.h"

namespace haldor::inbreeding {

using Code = std::uint32_t;

// Parent codes of every code 1 .. n (index 0 is "no animal"). `live[c]` is
// false for a position whose record repeats an earlier animal or has no
// identifier: nothing refers to such a code and it is not computed.
struct CodedPedigree {
  std::vector<Code> sire;
  std::vector<Code> dam;
  std::vector<std::uint8_t> live;

  std::size_t size() const { return sire.empty() ? 0 : sire.size() - 1; }
  // Builds a pedigree of n animals, all live, no parents known.
  void resize(std::size_t n);
};

// The codes of every record (1-based positions, index 0 unused).
struct RecordCodes {
  std::vector<Code> id;
  CodedPedigree ped;  // the parent codes of each record are those of its own line
};

// Most threads a run uses (each thread of the indirect method has its own
// marks and vectors).
constexpr unsigned kMaxThreads = 4;

// Mendelian sampling variance factor from the parents' inbreeding.
inline double mendelian_factor(Code sire, Code dam, const std::vector<double>& F) {
  if (sire && dam) return 0.5 - 0.25 * F[sire] - 0.25 * F[dam];
  if (sire) return 0.75 - 0.25 * F[sire];
  if (dam) return 0.75 - 0.25 * F[dam];
  return 1.0;
}

// Codes the records and checks the order and identity rules. Prints
// "Coding animals... " and "Checking pedigree information... " with their
// outcomes. Returns the number of coded animals, 0 when a check found an
// error, or -1 when memory ran out.
long code_animal(Run& run, RecordCodes& codes);

// Inbreeding coefficients of every live code by the indirect method (the
// relationship column of each sire, A e_s = T D T' e_s, traced over the
// ancestors of the sire and of his mates only). The pedigree must pass the
// checks of code_animal (parents have smaller codes). Fills F[0 .. n].
// `lane_cap` bounds the bytes of one batch's vectors (0: the default); a batch
// whose pedigree needs more is run one sire at a time. `term_chunk` is the
// number of maternal-line terms a batch gathers before it evaluates them (0:
// the default; tests make it small so that every batch takes several
// chunks). `width` picks the instructions that move the rows: the widest
// the processor has, or those every processor of its kind has (tests compare
// the two). Throws std::bad_alloc when memory runs out.
enum class RowWidth { kWidest, kBaseline };
void inbreeding_indirect(const CodedPedigree& ped, std::vector<double>& F, std::size_t lane_cap = 0,
                         std::size_t term_chunk = 0, RowWidth width = RowWidth::kWidest);

// The mating groups of a pedigree: sires that have a mate in common (through
// progeny with both parents known) are in one group, and so are sires linked
// through a chain of such mates; a herd or flock whose dams stay in it is one
// group. By code: the smallest sire code of the animal's group, or the
// animal's own code when it sired no such progeny.
std::vector<Code> mating_groups(const CodedPedigree& ped);

// The same coefficients by the tabular method: the relationship matrix of all
// animals that are parents, filled once when it needs no more than
// `matrix_budget` bytes, otherwise one matrix of each animal's ancestors per
// animal. Throws std::bad_alloc when memory runs out.
void inbreeding_tabular(const CodedPedigree& ped, std::vector<double>& F, std::size_t matrix_budget);
// Bytes the tabular method may use for a matrix filled once.
std::size_t default_matrix_budget();

// Known ancestors of every live code in generations 1 to 4 back
// (counts[c][g - 1], at most 2^g), from which the completeness values of the
// progeny follow.
struct Completeness {
  std::vector<std::uint8_t> known;  // 4 per code
  void compute(const CodedPedigree& ped);
  // The ten values a1s..a5s, a1d..a5d of an animal with these parents.
  void values(Code sire, Code dam, float out[10]) const;
  // Fetches the counts of a parent a writer will read soon.
  void prefetch(Code c) const { __builtin_prefetch(known.data() + 4 * static_cast<std::size_t>(c)); }
};

// Pedigree completeness index over 1 to 5 generations from the ten values.
void calcPCI(float pci[5], const float completeness[10]);

// The fifteen completeness columns of a result line (a1s, a1d, ..., a5s, a5d,
// PCI1 .. PCI5), each after `delim`. They depend only on which parents are
// known and on the counts of known ancestors of each parent, and most lines
// of a pedigree share a few such patterns: the text of a pattern is kept in
// a small table and made again only when a different pattern takes its slot.
class CompletenessText {
 public:
  CompletenessText(const Completeness& pci, std::string_view delim);
  std::string_view get(Code sire, Code dam);

 private:
  // A parent's four counts (each at most 16), with the top bit set when the
  // parent is known at all.
  std::uint64_t pattern(Code p) const;
  static constexpr int kSlotBits = 12;
  static constexpr std::size_t kSlots = std::size_t(1) << kSlotBits;
  struct Slot {
    std::uint64_t key = 0;
    bool used = false;
    std::string text;
  };
  const Completeness& pci_;
  std::string delim_;
  std::vector<Slot> slots_;
};

// Writes `v` as printf's "%f" would, into `out` (at least 32 bytes). Returns
// the number of characters.
int format_f6(double v, char* out);
// The same for printf's "%4.2f".
int format_f42(double v, char* out);

class Folvane : public Module {
 public:
  const ModuleInfo& info() const override;
  void option(int letter, const std::string& value) override;
  int work(Run& run) override;

  bool renumber = false;
  bool completeness = false;
  bool tabular = false;
  std::size_t matrix_budget = 0;  // 0: default_matrix_budget()
};

// Computes and writes the result file. Returns the number of animals computed,
// 0 when the file can't be created, or -1 after a failure (printed).
long calc_icoef(Run& run, const RecordCodes& codes, const Folvane& options);

}  // namespace haldor::inbreeding
