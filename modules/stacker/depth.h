// Descendant depths of the records of a pedigree and the loop verdict.
//
// The depth of a record is raised by repeated passes over the records in
// input order: record i, at depth d, lifts each of its listed parents to at
// least d + 1, and a raise takes effect at once within the same pass. Passes
// go on while the last one raised anything, and stop with the loop verdict
// as soon as the largest depth seen after a pass reaches `limit` (G + 50).
//
// Parents are given already resolved: for record i, parents[2i] (sire) and
// parents[2i + 1] (dam) are the index of the record that parent resolves to
// (its first record as an animal), or kNoParent.
//
// Two ways give the same depths:
//  - `fixed_point_depths`: when the parent links have no cycle, the passes
//    end at the fixed point depth(x) = 1 + max depth of the records naming x
//    (0 when none does), which a single walk in dependency order computes;
//    when that fixed point stays below `limit` it is the result. The file
//    order itself is used when every parent is listed before its progeny (or
//    every one after); otherwise the order is found on the way (Kahn).
//  - `replay_passes`: the passes themselves, as they run, stopping part-way
//    on the loop verdict. Only records whose depth changed since they last
//    handed it on are visited again, which changes nothing in the outcome
//    (handing on an unchanged depth raises nothing).
// `descendant_depths` tries the first and falls back to the second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "huge_alloc.h"
#include "progress.h"

namespace haldor::stacker {

constexpr std::int32_t kNoParent = -1;

// One 32-bit number per record (or two per record for parent links); the
// tables are large and read at random, hence the huge-page allocator.
using RecordTable = std::vector<std::int32_t, HugeAllocator<std::int32_t>>;

struct DepthOutcome {
  bool loop = false;         // the passes stopped on the loop verdict
  std::int32_t max_seen = 0; // largest depth the passes produced
  bool replayed = false;     // computed by replaying the passes
  long passes = 0;           // passes run (replay only; 0 for the walk)
};

// Depths of the fixed point by a walk in dependency order. Returns false
// (depths unspecified) when the links have a cycle or a depth reaches
// `limit`; the passes must then be replayed. Throws std::bad_alloc.
bool fixed_point_depths(const RecordTable& parents, std::int32_t limit,
                        RecordTable& depth, std::int32_t* max_depth);

// The documented passes. Depths saturate at INT32_MAX instead of wrapping.
// Throws std::bad_alloc.
DepthOutcome replay_passes(const RecordTable& parents, std::int32_t limit,
                           RecordTable& depth, Progress* progress = nullptr);  // `progress` counts the passes

// Fills `depth` (one per record) as the passes would. Throws std::bad_alloc.
DepthOutcome descendant_depths(const RecordTable& parents, std::int32_t limit,
                               RecordTable& depth, Progress* progress = nullptr);  // `progress` counts the passes

// The top depth M that is written: the largest depth seen without a loop
// verdict; after one, the largest depth below `g` (0 when there is none).
std::int32_t top_depth(const DepthOutcome& outcome, const RecordTable& depth, std::int32_t g);

}  // namespace haldor::stacker
