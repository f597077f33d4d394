// ancestry: how many ancestors the exact inbreeding methods must visit on a
// pedigree, measured on a sample of its sires and animals.
//
//   ancestry [--sample N] PEDIGREE
//
// PEDIGREE has one animal per line, "animal sire dam", "0" for an unknown
// parent, parents before their progeny (as pedsim writes it). For a sample
// of N sires of progeny with both parents known (every k-th by first
// appearance) it counts each sire's ancestors with himself (the entries of
// his column's up pass in the indirect method) and those of his mates not
// already among them (what his column's down pass must reach); for a sample
// of N such progeny it counts the animal's ancestors with itself (the length
// of its list in an ancestor-list method). The totals are the sample means
// times the number of sires or progeny: a method that handles each sire's
// column, or each animal's list, ancestor by ancestor cannot do less.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pedigree.h"

namespace {

using Code = std::uint32_t;

struct Pedigree {
  std::vector<Code> sire{0}, dam{0};
};

// Reads the file with the toolkit's own reader (fields split on spaces and
// tabs, "0" an unknown parent) and codes the animals by their first record.
bool read(const char* path, Pedigree& ped) {
  haldor::Pedigree records;
  const haldor::ReaderTexts texts{"", "Error: out of memory", "Error: out of memory while reading", true};
  std::FILE* quiet = std::fopen("/dev/null", "w");
  const long n = haldor::read_ped_dsf(records, path, " \t", true, {"0", false}, texts, quiet ? quiet : stderr);
  if (quiet) std::fclose(quiet);
  if (n <= 0) return false;
  std::vector<Code> code(records.pool.size(), 0);  // by identifier
  for (const haldor::PedRecord& r : records.PED) {
    if (r.animal == haldor::kNoSymbol || code[r.animal]) continue;  // a repeated animal keeps its first record
    code[r.animal] = static_cast<Code>(ped.sire.size());
    // A parent not listed before counts as unknown.
    ped.sire.push_back(code[r.sire]);
    ped.dam.push_back(code[r.dam]);
  }
  return true;
}

// Counts the ancestors of the given animals (themselves included) not yet
// stamped with `stamp`, stamping them.
class Walker {
 public:
  explicit Walker(const Pedigree& p) : ped_(p), seen_(p.sire.size(), 0) {}
  void next_stamp() { ++stamp_; }
  std::size_t add(Code c) {
    std::size_t count = 0;
    stack_.push_back(c);
    while (!stack_.empty()) {
      const Code x = stack_.back();
      stack_.pop_back();
      if (!x || seen_[x] == stamp_) continue;
      seen_[x] = stamp_;
      ++count;
      stack_.push_back(ped_.sire[x]);
      stack_.push_back(ped_.dam[x]);
    }
    return count;
  }

 private:
  const Pedigree& ped_;
  std::vector<std::uint32_t> seen_;
  std::vector<Code> stack_;
  std::uint32_t stamp_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::size_t sample = 2000;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--sample") && i + 1 < argc) {
      sample = std::strtoul(argv[++i], nullptr, 10);
    } else if (argv[i][0] != '-' && !path) {
      path = argv[i];
    } else {
      std::fprintf(stderr, "usage: ancestry [--sample N] PEDIGREE\n");
      return 2;
    }
  }
  if (!path || sample == 0) {
    std::fprintf(stderr, "usage: ancestry [--sample N] PEDIGREE\n");
    return 2;
  }
  Pedigree ped;
  if (!read(path, ped)) {
    std::fprintf(stderr, "Error: cannot read %s\n", path);
    return 1;
  }
  const std::size_t n = ped.sire.size() - 1;
  // Sires in order of first appearance, and each sire's mates.
  std::vector<Code> sires, progeny;
  std::vector<std::uint8_t> is_sire(n + 1, 0);
  for (Code c = 1; c <= n; ++c) {
    const Code s = ped.sire[c], d = ped.dam[c];
    if (!s || !d) continue;
    progeny.push_back(c);
    if (!is_sire[s]) {
      is_sire[s] = 1;
      sires.push_back(s);
    }
  }
  std::vector<std::vector<Code>> mates;  // of the sampled sires
  std::vector<Code> picked;
  std::vector<std::int32_t> slot(n + 1, -1);
  const std::size_t step = std::max<std::size_t>(1, sires.size() / sample);
  for (std::size_t i = 0; i < sires.size() && picked.size() < sample; i += step) {
    slot[sires[i]] = static_cast<std::int32_t>(picked.size());
    picked.push_back(sires[i]);
  }
  mates.resize(picked.size());
  for (Code c : progeny) {
    const std::int32_t k = slot[ped.sire[c]];
    if (k < 0) continue;
    std::vector<Code>& m = mates[static_cast<std::size_t>(k)];
    if (m.empty() || m.back() != ped.dam[c]) m.push_back(ped.dam[c]);
  }

  Walker walk(ped);
  const auto t0 = std::chrono::steady_clock::now();
  std::size_t visits = 0;
  double up = 0, down = 0;
  for (std::size_t k = 0; k < picked.size(); ++k) {
    walk.next_stamp();
    const std::size_t own = walk.add(picked[k]);
    std::size_t more = 0;
    for (Code d : mates[k]) more += walk.add(d);
    up += static_cast<double>(own);
    down += static_cast<double>(more);
    visits += own + more;
  }
  double list = 0;
  std::size_t animals = 0;
  const std::size_t pstep = std::max<std::size_t>(1, progeny.size() / sample);
  for (std::size_t i = 0; i < progeny.size() && animals < sample; i += pstep, ++animals) {
    walk.next_stamp();
    const std::size_t a = walk.add(progeny[i]);
    list += static_cast<double>(a);
    visits += a;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  // A pedigree without progeny of two known parents has nothing to sample.
  const double sires_seen = static_cast<double>(std::max<std::size_t>(picked.size(), 1));
  up /= sires_seen;
  down /= sires_seen;
  list /= static_cast<double>(std::max<std::size_t>(animals, 1));
  std::printf("animals %zu\nsires %zu\nprogeny with both parents %zu\n", n, sires.size(), progeny.size());
  std::printf("sampled sires %zu, progeny %zu\n", picked.size(), animals);
  std::printf("mean ancestors of a sire, himself included: %.1f\n", up);
  std::printf("mean further ancestors of his mates: %.1f\n", down);
  std::printf("mean ancestors of an animal, itself included: %.1f\n", list);
  std::printf("sire columns, all sires: %.3g ancestor visits\n", (up + down) * static_cast<double>(sires.size()));
  std::printf("ancestor lists, all progeny: %.3g ancestor visits\n", list * static_cast<double>(progeny.size()));
  std::printf("walk rate here: %.2f ns per ancestor visit\n",
              visits ? seconds * 1e9 / static_cast<double>(visits) : 0.0);
  return 0;
}
