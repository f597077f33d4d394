// Pedigree loops: animals that are their own ancestors.
//
// The parent links of a pedigree form a directed graph over its records: a
// record points to the record of its sire and to the record of its dam, a
// parent being resolved to the first record that lists it as an animal (a
// parent without a line of its own ends a path there). A loop is a strongly
// connected set of that graph that holds a cycle: two or more records that
// are each an ancestor of the others, or one record given as its own sire or
// dam. A later record of a repeated animal is never named as a parent, so it
// never belongs to a loop.
//
// For each loop the finder gives its first record (the smallest line), its
// number of records and a shortest cycle through that first record: the
// chain "A -> B -> ... -> A" where each animal is followed by one of its
// parents. No cycle through the first record is shorter than the one given;
// among cycles of the same length the breadth-first search that finds it
// takes sires before dams.
//
// Everything is iterative and costs time and memory linear in the number of
// records: one pass of Pearce's variant of Tarjan's algorithm finds the sets,
// then one breadth-first search inside each loop's set finds its chain.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "huge_alloc.h"

namespace haldor {
struct Run;
}

namespace haldor::checker {

// For record i: the index + 1 of the record its sire (dam) resolves to, 0
// when the parent is unknown or has no line of its own.
struct ParentLinks {
  std::vector<std::uint32_t, HugeAllocator<std::uint32_t>> sire, dam;
  std::uint32_t size() const { return static_cast<std::uint32_t>(sire.size()); }
};

// Resolves the parents of the first `count` records through the identifier
// table (filled by mk_hashtable: its address is the first record's line).
ParentLinks resolve_parents(Run& run, long count);

struct Loop {
  std::uint32_t first = 0;  // index of the loop's first record in the file
  std::uint32_t size = 0;   // records (animals) in its strongly connected set
  // A shortest cycle through `first`: record indices, chain[0] == first, each
  // followed by one of its parents, and `first` a parent of the last one.
  std::vector<std::uint32_t> chain;
};

// Finds every loop and calls `visit` once per loop, in the order of their
// first records. Returns the number of loops.
long find_loops(const ParentLinks& links, const std::function<void(const Loop&)>& visit);

}  // namespace haldor::checker
