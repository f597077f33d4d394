// Loop finding against a brute-force reachability check on random pedigrees:
// the sets found, their sizes and order, and that every chain is a cycle of
// parent links of the shortest length through the loop's first record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "checker.h"
#include "loops.h"

namespace haldor::checker {
namespace {

// "<prefix><i>", built without operator+ (which GCC 12 warns about wrongly).
std::string id_of(const char* prefix, long i) {
  std::string s(prefix);
  s += std::to_string(i);
  return s;
}

struct Line {
  std::string animal, sire, dam;  // empty: unknown
};

// A run holding `lines` as read records, with its identifier table built.
class Loaded {
 public:
  explicit Loaded(const std::vector<Line>& lines) {
    console_ = std::fopen("/dev/null", "w");
    run_.console = console_;
    auto id = [&](const std::string& s) { return s.empty() ? kNoSymbol : run_.ped.pool.intern(s); };
    for (const Line& l : lines) {
      PedRecord r;
      r.animal = id(l.animal);
      r.sire = id(l.sire);
      r.dam = id(l.dam);
      run_.ped.PED.push_back(r);
    }
    mk_hashtable(run_, static_cast<long>(lines.size()));
  }
  ~Loaded() { std::fclose(console_); }
  Run& run() { return run_; }

 private:
  Run run_;
  std::FILE* console_ = nullptr;
};

std::vector<Loop> loops_of(const std::vector<Line>& lines) {
  Loaded loaded(lines);
  std::vector<Loop> loops;
  const long n = find_loops(resolve_parents(loaded.run(), static_cast<long>(lines.size())),
                            [&](const Loop& loop) { loops.push_back(loop); });
  EXPECT_EQ(n, static_cast<long>(loops.size()));
  return loops;
}

// The parent links written out by hand: a parent is the first record that
// lists it as an animal.
std::vector<std::vector<int>> brute_links(const std::vector<Line>& lines) {
  std::map<std::string, int> first;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i)
    if (!lines[i].animal.empty()) first.emplace(lines[i].animal, i);
  std::vector<std::vector<int>> links(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    for (const std::string* p : {&lines[i].sire, &lines[i].dam})
      if (!p->empty() && first.count(*p)) links[i].push_back(first[*p]);
  return links;
}

// Breadth-first distances along parent links from `from` (-1: not reached).
std::vector<int> distances(const std::vector<std::vector<int>>& links, int from) {
  std::vector<int> d(links.size(), -1);
  std::deque<int> queue{from};
  d[static_cast<std::size_t>(from)] = 0;
  while (!queue.empty()) {
    const int u = queue.front();
    queue.pop_front();
    for (int w : links[static_cast<std::size_t>(u)])
      if (d[static_cast<std::size_t>(w)] < 0) {
        d[static_cast<std::size_t>(w)] = d[static_cast<std::size_t>(u)] + 1;
        queue.push_back(w);
      }
  }
  return d;
}

bool linked(const std::vector<std::vector<int>>& links, int from, int to) {
  const auto& l = links[static_cast<std::size_t>(from)];
  return std::find(l.begin(), l.end(), to) != l.end();
}

std::vector<Line> random_pedigree(std::mt19937& rng) {
  const int size = 1 + static_cast<int>(rng() % 40);
  const int names = 1 + size + static_cast<int>(rng() % 8);
  auto name = [&] { return id_of("n", rng() % static_cast<unsigned>(names)); };
  std::vector<Line> lines;
  for (int i = 0; i < size; ++i) {
    Line l;
    // Mostly new animals, some repeated ones, a few blank animal fields.
    const unsigned pick = rng() % 20;
    l.animal = pick == 0 ? "" : pick < 4 ? name() : id_of("n", i);
    // Parents anywhere in the file, unknown, or without a line of their own.
    l.sire = rng() % 4 == 0 ? "" : name();
    l.dam = rng() % 4 == 0 ? "" : name();
    lines.push_back(l);
  }
  return lines;
}

TEST(PedigreeLoops, MatchBruteForceOnRandomPedigrees) {
  std::mt19937 rng(20261208);
  long loops_seen = 0, longer_chains = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::vector<Line> lines = random_pedigree(rng);
    const int n = static_cast<int>(lines.size());
    const auto links = brute_links(lines);
    std::vector<std::vector<int>> dist;
    for (int v = 0; v < n; ++v) dist.push_back(distances(links, v));

    // Expected loops: the sets of mutually reachable records that hold a
    // cycle, by their first record.
    std::vector<std::pair<int, int>> expected;  // first record, size
    std::vector<int> set_of(static_cast<std::size_t>(n), -1);
    for (int v = 0; v < n; ++v) {
      int size = 0;
      for (int w = 0; w < n; ++w)
        if (dist[v][w] >= 0 && dist[w][v] >= 0) ++size;
      bool first = true;
      for (int w = 0; w < v; ++w)
        if (dist[v][w] >= 0 && dist[w][v] >= 0) first = false;
      if (first && (size > 1 || linked(links, v, v))) expected.push_back({v, size});
    }

    const std::vector<Loop> found = loops_of(lines);
    ASSERT_EQ(found.size(), expected.size()) << "round " << round;
    for (std::size_t k = 0; k < found.size(); ++k) {
      const Loop& loop = found[k];
      const int first = expected[k].first;
      ASSERT_EQ(static_cast<int>(loop.first), first) << "round " << round;
      EXPECT_EQ(static_cast<int>(loop.size), expected[k].second) << "round " << round;
      ASSERT_FALSE(loop.chain.empty());
      EXPECT_EQ(static_cast<int>(loop.chain.front()), first);
      // A cycle of parent links inside the set, each record once ...
      std::vector<int> seen;
      for (std::size_t i = 0; i < loop.chain.size(); ++i) {
        const int u = static_cast<int>(loop.chain[i]);
        const int next = i + 1 < loop.chain.size() ? static_cast<int>(loop.chain[i + 1]) : first;
        EXPECT_TRUE(linked(links, u, next)) << "round " << round << ": " << u << " -> " << next;
        EXPECT_TRUE(dist[first][u] >= 0 && dist[u][first] >= 0) << "round " << round;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), u), 0) << "round " << round;
        seen.push_back(u);
      }
      // ... and none through the first record is shorter.
      int shortest = -1;
      for (int u = 0; u < n; ++u)
        if (dist[first][u] >= 0 && linked(links, u, first) && (shortest < 0 || dist[first][u] + 1 < shortest))
          shortest = dist[first][u] + 1;
      EXPECT_EQ(static_cast<int>(loop.chain.size()), shortest) << "round " << round;
      ++loops_seen;
      if (loop.chain.size() > 2) ++longer_chains;
    }
  }
  // The random pedigrees did exercise the search.
  EXPECT_GT(loops_seen, 1000);
  EXPECT_GT(longer_chains, 100);
}

TEST(PedigreeLoops, LongLoopAndManyLoopsNeedNoCallStack) {
  // One loop through 10^6 animals listed progeny first, then 10^5 separate
  // two-animal loops: a recursive search would overflow the call stack.
  const int big = 1000000, pairs = 100000;
  std::vector<Line> lines;
  for (int i = 0; i < big; ++i) lines.push_back({id_of("a", i), id_of("a", (i + 1) % big), ""});
  for (int i = 0; i < pairs; ++i) {
    lines.push_back({id_of("p", i), "", id_of("q", i)});
    lines.push_back({id_of("q", i), id_of("p", i), ""});
  }
  const std::vector<Loop> found = loops_of(lines);
  ASSERT_EQ(found.size(), 1u + pairs);
  EXPECT_EQ(found[0].size, static_cast<std::uint32_t>(big));
  ASSERT_EQ(found[0].chain.size(), static_cast<std::size_t>(big));
  EXPECT_EQ(found[0].chain[1], 1u);
  EXPECT_EQ(found[1].first, static_cast<std::uint32_t>(big));
  EXPECT_EQ(found[1].chain, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(big),
                                                         static_cast<std::uint32_t>(big + 1)}));
  EXPECT_EQ(found.back().first, static_cast<std::uint32_t>(big + 2 * (pairs - 1)));
}

TEST(PedigreeLoops, SireFirstAmongChainsOfEqualLength) {
  // A's sire B and dam C both lead back to A in two steps: the sire's way is
  // taken. B's only way back is through its dam.
  const std::vector<Loop> found = loops_of({{"A", "B", "C"}, {"B", "0x", "A"}, {"C", "A", ""}});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].size, 3u);
  EXPECT_EQ(found[0].chain, (std::vector<std::uint32_t>{0, 1}));
}

}  // namespace
}  // namespace haldor::checker
