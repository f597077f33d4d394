// The depth computation against the passes run literally, on many random
// pedigrees given as resolved parent links.
#include "depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace haldor::stacker {
namespace {

struct Passes {
  RecordTable depth;
  bool loop = false;
  std::int32_t max_seen = 0;
  long passes = 0;
};

// The passes word for word: every record every pass, raises taking effect
// at once, the loop test after each pass.
Passes literal_passes(const RecordTable& parents, std::int32_t limit) {
  Passes out;
  const std::size_t n = parents.size() / 2;
  out.depth.assign(n, 0);
  long changes;
  do {
    changes = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t r = out.depth[i] + 1;
      for (std::size_t k = 0; k < 2; ++k) {
        const std::int32_t a = parents[2 * i + k];
        if (a != kNoParent && out.depth[static_cast<std::size_t>(a)] < r) {
          out.depth[static_cast<std::size_t>(a)] = r;
          ++changes;
          if (out.max_seen < r) out.max_seen = r;
        }
      }
    }
    ++out.passes;
    if (out.max_seen >= limit) out.loop = true;
  } while (changes != 0 && !out.loop);
  return out;
}

std::int32_t literal_top(const Passes& p, std::int32_t g) {
  if (!p.loop) return p.max_seen;
  std::int32_t m = 0;
  for (std::int32_t d : p.depth)
    if (d < g && d > m) m = d;
  return m;
}

enum class Shape { kAnyLinks, kAcyclic, kParentsFirst, kProgenyFirst, kChain, kAcyclicPlusLoop };

// Random links of `n` records in the given shape; `unknown` is the share of
// unknown parents, `self` the share of records that name themselves.
RecordTable random_links(std::mt19937& rng, std::size_t n, Shape shape, double unknown, double self) {
  std::uniform_real_distribution<double> u(0, 1);
  std::uniform_int_distribution<std::size_t> any(0, n - 1);
  RecordTable parents(2 * n, kNoParent);
  // rank: a parent always has a higher rank than its progeny (acyclic shapes)
  std::vector<std::size_t> rank(n);
  std::iota(rank.begin(), rank.end(), std::size_t{0});
  if (shape == Shape::kAcyclic || shape == Shape::kAcyclicPlusLoop) std::shuffle(rank.begin(), rank.end(), rng);
  if (shape == Shape::kParentsFirst) std::reverse(rank.begin(), rank.end());
  std::vector<std::size_t> by_rank(n);
  for (std::size_t i = 0; i < n; ++i) by_rank[rank[i]] = i;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < 2; ++k) {
      if (u(rng) < unknown) continue;
      if (shape == Shape::kAnyLinks) {
        parents[2 * i + k] = static_cast<std::int32_t>(any(rng));
      } else if (shape == Shape::kChain) {
        if (k == 0 && i + 1 < n) parents[2 * i] = static_cast<std::int32_t>(i + 1);
      } else if (rank[i] + 1 < n) {
        // mostly close relatives, so that long lines of descent arise
        std::size_t span = std::min<std::size_t>(n - 1 - rank[i], u(rng) < 0.8 ? 3 : n);
        std::size_t r = rank[i] + 1 + std::uniform_int_distribution<std::size_t>(0, span - 1)(rng);
        parents[2 * i + k] = static_cast<std::int32_t>(by_rank[r]);
      }
    }
    if (u(rng) < self) parents[2 * i + (u(rng) < 0.5 ? 0 : 1)] = static_cast<std::int32_t>(i);
  }
  if (shape == Shape::kAcyclicPlusLoop && n > 1) {
    // close one loop: the highest-ranked record names the lowest as parent
    parents[2 * by_rank[n - 1]] = static_cast<std::int32_t>(by_rank[0]);
  }
  return parents;
}

void expect_same(const RecordTable& parents, std::int32_t limit, std::int32_t g, long* walked,
                 long* replayed) {
  const Passes want = literal_passes(parents, limit);
  RecordTable depth;
  const DepthOutcome got = descendant_depths(parents, limit, depth);
  ASSERT_EQ(got.loop, want.loop);
  ASSERT_EQ(got.max_seen, want.max_seen);
  ASSERT_EQ(depth, want.depth);
  ASSERT_EQ(top_depth(got, depth, g), literal_top(want, g));
  (got.replayed ? *replayed : *walked) += 1;

  // The replay on its own gives the same, in as many passes.
  RecordTable replay_depth;
  const DepthOutcome replay = replay_passes(parents, limit, replay_depth);
  ASSERT_EQ(replay_depth, want.depth);
  ASSERT_EQ(replay.loop, want.loop);
  ASSERT_EQ(replay.max_seen, want.max_seen);
  ASSERT_EQ(replay.passes, want.passes);

  // The walk succeeds exactly when the passes end without a loop verdict.
  RecordTable walk_depth;
  std::int32_t top = -1;
  const bool walked_ok = fixed_point_depths(parents, limit, walk_depth, &top);
  ASSERT_EQ(walked_ok, !want.loop);
  if (walked_ok) {
    ASSERT_EQ(walk_depth, want.depth);
    ASSERT_EQ(top, want.max_seen);
  }
}

TEST(DescendantDepths, EqualThePassesOnRandomPedigrees) {
  std::mt19937 rng(20261207);
  long walked = 0, replayed = 0;
  const Shape shapes[] = {Shape::kAnyLinks,     Shape::kAcyclic, Shape::kParentsFirst,
                          Shape::kProgenyFirst, Shape::kChain,   Shape::kAcyclicPlusLoop};
  for (int round = 0; round < 6000; ++round) {
    const Shape shape = shapes[round % 6];
    const std::size_t n = 1 + static_cast<std::size_t>(rng() % (round % 10 == 0 ? 400 : 40));
    const double unknown = (rng() % 4) * 0.2;
    const double self = rng() % 3 == 0 ? 0.05 : 0.0;
    const std::int32_t g = static_cast<std::int32_t>(rng() % 8);
    // small limits stand for G + 50 so that short pedigrees reach it
    const std::int32_t limit = rng() % 5 == 0 ? g + 50 : 1 + static_cast<std::int32_t>(rng() % 12);
    const auto parents = random_links(rng, n, shape, unknown, self);
    SCOPED_TRACE("round " + std::to_string(round));
    expect_same(parents, limit, g, &walked, &replayed);
    if (testing::Test::HasFatalFailure()) return;
  }
  // Both ways were taken often.
  EXPECT_GT(walked, 1000);
  EXPECT_GT(replayed, 1000);
}

TEST(DescendantDepths, WorkedCases) {
  long w = 0, r = 0;
  // No links at all: nothing changes, one pass.
  expect_same({kNoParent, kNoParent, kNoParent, kNoParent}, 50, 0, &w, &r);
  // A self-parent rises by one a pass until it reaches G + 50 = 100.
  RecordTable depth;
  DepthOutcome self = descendant_depths({0, kNoParent}, 100, depth);
  EXPECT_TRUE(self.loop);
  EXPECT_EQ(depth[0], 100);
  EXPECT_EQ(self.passes, 100);
  EXPECT_EQ(top_depth(self, depth, 50), 0);

  // A loop-free chain of 51 animals, parents listed first: with G = 0 the
  // passes stop when depth 50 is reached, after 50 passes; only the records
  // still at depth 0 (none below G = 0 except 0 itself) are stacked.
  RecordTable chain(2 * 51, kNoParent);
  for (int i = 1; i < 51; ++i) chain[2 * static_cast<std::size_t>(i)] = i - 1;
  DepthOutcome deep = descendant_depths(chain, 50, depth);
  EXPECT_TRUE(deep.loop);
  EXPECT_TRUE(deep.replayed);
  EXPECT_EQ(deep.max_seen, 50);
  EXPECT_EQ(depth[0], 50);
  EXPECT_EQ(depth[50], 0);
  EXPECT_EQ(top_depth(deep, depth, 0), 0);
  expect_same(chain, 50, 0, &w, &r);
  // The same chain with G = 1 (limit 51) settles without a verdict.
  DepthOutcome settled = descendant_depths(chain, 51, depth);
  EXPECT_FALSE(settled.loop);
  EXPECT_FALSE(settled.replayed);
  EXPECT_EQ(settled.max_seen, 50);
}

}  // namespace
}  // namespace haldor::stacker
