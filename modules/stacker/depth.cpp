#include "depth.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace haldor::stacker {

namespace {

constexpr std::int32_t kMaxDepth = std::numeric_limits<std::int32_t>::max();

inline std::int32_t one_deeper(std::int32_t d) { return d == kMaxDepth ? d : d + 1; }

// A set of record indices scanned in ascending order, with a summary level
// so that a nearly empty set costs little to scan: bit i of words[i / 64],
// and bit w % 64 of summary[w / 64] set when words[w] may be non-zero.
class IndexSet {
 public:
  explicit IndexSet(std::size_t n) : words_((n + 63) / 64, 0), summary_((words_.size() + 63) / 64, 0) {}

  void insert(std::size_t i) {
    const std::size_t w = i >> 6;
    words_[w] |= std::uint64_t{1} << (i & 63);
    summary_[w >> 6] |= std::uint64_t{1} << (w & 63);
  }

  // Takes the members out in ascending order and calls visit(i) for each.
  // visit may insert indices above i: they are taken out in the same scan.
  template <typename Visit>
  void drain(Visit visit) {
    for (std::size_t s = 0; s < summary_.size(); ++s) {
      while (std::uint64_t sb = summary_[s]) {
        const unsigned wb = static_cast<unsigned>(std::countr_zero(sb));
        const std::size_t w = (s << 6) + wb;
        while (std::uint64_t bits = words_[w]) {
          const unsigned b = static_cast<unsigned>(std::countr_zero(bits));
          words_[w] = bits & (bits - 1);
          visit((w << 6) + b);
        }
        summary_[s] &= ~(std::uint64_t{1} << wb);
      }
    }
  }

 private:
  std::vector<std::uint64_t> words_;
  std::vector<std::uint64_t> summary_;
};

// The walk when the file order is a dependency order: every parent listed
// before its progeny (walked from the last record up) or every parent
// listed after it (walked from the first record down).
template <bool kParentsFirst>
bool walk_in_file_order(const RecordTable& parents, std::int32_t limit,
                        RecordTable& depth, std::int32_t* max_depth) {
  const std::size_t n = depth.size();
  std::int32_t top = 0;
  for (std::size_t step = 0; step < n; ++step) {
    const std::size_t i = kParentsFirst ? n - 1 - step : step;
    const std::int32_t r = depth[i] + 1;
    for (std::size_t k = 2 * i; k < 2 * i + 2; ++k) {
      const std::int32_t p = parents[k];
      if (p == kNoParent) continue;
      std::int32_t& d = depth[static_cast<std::size_t>(p)];
      if (d < r) {
        d = r;
        if (r >= limit) return false;
        if (top < r) top = r;
      }
    }
  }
  *max_depth = top;
  return true;
}

}  // namespace

bool fixed_point_depths(const RecordTable& parents, std::int32_t limit,
                        RecordTable& depth, std::int32_t* max_depth) {
  const std::size_t n = parents.size() / 2;
  depth.assign(n, 0);
  bool parents_first = true, progeny_first = true;
  for (std::size_t k = 0; k < parents.size(); ++k) {
    const std::int32_t p = parents[k];
    if (p == kNoParent) continue;
    const std::size_t i = k / 2;
    if (static_cast<std::size_t>(p) >= i) parents_first = false;
    if (static_cast<std::size_t>(p) <= i) progeny_first = false;
  }
  if (parents_first) return walk_in_file_order<true>(parents, limit, depth, max_depth);
  if (progeny_first) return walk_in_file_order<false>(parents, limit, depth, max_depth);

  // Any other order: walk in an order found on the way (Kahn).
  // Number of parent links that point at each record: a record's depth is
  // final once every record naming it has been handled.
  RecordTable waiting(n, 0);
  for (std::int32_t p : parents)
    if (p != kNoParent) ++waiting[static_cast<std::size_t>(p)];
  RecordTable order;
  order.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (waiting[i] == 0) order.push_back(static_cast<std::int32_t>(i));
  std::int32_t top = 0;
  for (std::size_t head = 0; head < order.size(); ++head) {
    const std::size_t i = static_cast<std::size_t>(order[head]);
    const std::int32_t r = depth[i] + 1;
    for (std::size_t k = 2 * i; k < 2 * i + 2; ++k) {
      const std::int32_t p = parents[k];
      if (p == kNoParent) continue;
      std::int32_t& d = depth[static_cast<std::size_t>(p)];
      if (d < r) {
        d = r;
        if (r >= limit) return false;  // the passes would stop part-way
        top = std::max(top, r);
      }
      if (--waiting[static_cast<std::size_t>(p)] == 0) order.push_back(p);
    }
  }
  if (order.size() != n) return false;  // a cycle: some records never became final
  *max_depth = top;
  return true;
}

DepthOutcome replay_passes(const RecordTable& parents, std::int32_t limit,
                           RecordTable& depth, Progress* progress) {
  const std::size_t n = parents.size() / 2;
  depth.assign(n, 0);
  DepthOutcome out;
  out.replayed = true;
  IndexSet now(n), later(n);
  long changes = 0;

  // Hands record i's depth on to its parents. A parent above i is handled
  // later in this pass; one at or below i in the next pass.
  auto hand_on = [&](std::size_t i, bool first_pass) {
    const std::int32_t r = one_deeper(depth[i]);
    for (std::size_t k = 2 * i; k < 2 * i + 2; ++k) {
      const std::int32_t p = parents[k];
      if (p == kNoParent) continue;
      const std::size_t a = static_cast<std::size_t>(p);
      if (depth[a] < r) {
        depth[a] = r;
        ++changes;
        if (out.max_seen < r) out.max_seen = r;
        if (a <= i)
          later.insert(a);
        else if (!first_pass)
          now.insert(a);  // in the first pass every record is handled anyway
      }
    }
  };

  // The first pass handles every record; later ones only the changed ones.
  for (std::size_t i = 0; i < n; ++i) hand_on(i, true);
  out.passes = 1;
  out.loop = out.max_seen >= limit;
  while (changes != 0 && !out.loop) {
    changes = 0;
    std::swap(now, later);  // `later` is empty: drained by the previous pass
    now.drain([&](std::size_t i) { hand_on(i, false); });
    ++out.passes;
    if (progress) progress->update(static_cast<std::uint64_t>(out.passes));
    out.loop = out.max_seen >= limit;
  }
  return out;
}

DepthOutcome descendant_depths(const RecordTable& parents, std::int32_t limit,
                               RecordTable& depth, Progress* progress) {
  DepthOutcome out;
  std::int32_t top = 0;
  if (limit > 0 && fixed_point_depths(parents, limit, depth, &top)) {
    out.max_seen = top;
    return out;
  }
  return replay_passes(parents, limit, depth, progress);
}

std::int32_t top_depth(const DepthOutcome& outcome, const RecordTable& depth, std::int32_t g) {
  if (!outcome.loop) return outcome.max_seen;
  std::int32_t m = 0;
  for (std::int32_t d : depth)
    if (d < g && d > m) m = d;
  return m;
}

}  // namespace haldor::stacker
