// The whole stacking step (table, pruning, depths, files) against a plain
// reference that follows the documented steps on identifier strings, and
// the option handling that is the module's own.
#include "stacker.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "frame_run.h"
#include "test_util.h"

namespace haldor::stacker {
namespace {

std::string named(const char* prefix, int number) {
  std::string s(prefix);
  s += std::to_string(number);
  return s;
}

struct Line {
  std::string animal, sire, dam;  // empty = unknown
};

struct Reference {
  std::string stacked, errors;
  long pruned = 0;
  bool loop = false;
  long generations = 0;
  std::vector<int> depth;
};

// The documented steps, as plainly as they read: a map from identifier to
// its entry, lookups by string everywhere.
Reference reference_stack(std::vector<Line> lines, int prune, int g, const std::string& d) {
  struct Entry {
    std::int32_t count;
    std::int32_t address;
    int usage;
  };
  std::map<std::string, Entry> table;
  const std::size_t n = lines.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (lines[i].animal.empty()) continue;
    auto it = table.find(lines[i].animal);
    if (it == table.end()) {
      table[lines[i].animal] = {1, static_cast<std::int32_t>(i + 1), 1};
    } else {
      ++it->second.count;
      it->second.usage |= 1;
      if (it->second.address == 0) it->second.address = static_cast<std::int32_t>(i + 1);
    }
  }
  for (auto& l : lines) {
    for (const std::string* p : {&l.sire, &l.dam}) {
      if (p->empty()) continue;
      auto it = table.find(*p);
      if (it == table.end())
        table[*p] = {1, 0, 2};
      else if (it->second.usage == 2)
        ++it->second.count;
    }
  }
  Reference ref;
  for (auto& l : lines) {
    for (std::string* p : {&l.sire, &l.dam}) {
      if (p->empty()) continue;
      const Entry& e = table[*p];
      if (e.usage == 2 && static_cast<std::uint32_t>(e.count) <= static_cast<std::uint32_t>(prune)) {
        p->clear();
        ++ref.pruned;
      }
    }
  }
  auto get_address = [&](const std::string& id) {
    auto it = table.find(id);
    return it == table.end() ? 0 : it->second.address;
  };
  std::vector<int>& depth = ref.depth;
  depth.assign(n, 0);
  long changes;
  int largest = 0;
  do {
    changes = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const int r = depth[i] + 1;
      for (const std::string* p : {&lines[i].sire, &lines[i].dam}) {
        if (p->empty()) continue;
        const int a = get_address(*p);
        if (a != 0 && depth[static_cast<std::size_t>(a - 1)] < r) {
          depth[static_cast<std::size_t>(a - 1)] = r;
          ++changes;
          if (largest < r) largest = r;
        }
      }
    }
    if (largest >= g + 50) ref.loop = true;
  } while (changes != 0 && !ref.loop);
  int top = largest;
  if (ref.loop) {
    top = 0;
    for (int dp : depth)
      if (dp < g && dp > top) top = dp;
  }
  ref.generations = top + 1;
  auto show = [](const std::string& id) { return id.empty() ? std::string("0") : id; };
  for (const auto& l : lines) {
    for (const std::string* p : {&l.sire, &l.dam}) {
      if (p->empty()) continue;
      Entry& e = table[*p];
      if (e.usage == 2 && e.count != 0) {
        ref.stacked += *p + d + "0" + d + "0" + d + "0\n";
        e.count = 0;
      }
    }
  }
  std::vector<bool> written(n, false);
  for (int gen = 1; gen <= top + 1; ++gen) {
    for (std::size_t i = 0; i < n; ++i) {
      if (lines[i].animal.empty() || depth[i] != top - gen + 1) continue;
      ref.stacked += lines[i].animal + d + show(lines[i].sire) + d + show(lines[i].dam) + d + std::to_string(gen) + "\n";
      written[i] = true;
    }
  }
  if (ref.loop) {
    const std::string dashes(33, '-');
    ref.errors = "Loop error occurred.\n" + dashes + "\nid" + d + "sire" + d + "dam" + d + "generation\n" + dashes + "\n";
    long listed = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (lines[i].animal.empty() || written[i]) continue;
      ref.errors += lines[i].animal + d + show(lines[i].sire) + d + show(lines[i].dam) + d +
                    std::to_string(depth[i] + 1) + "\n";
      ++listed;
    }
    ref.errors += dashes + "\n" + std::to_string(listed) + " animals were written in the output file.\n";
  }
  return ref;
}

struct Outcome {
  StackStatus status;
  std::string console, stacked, errors;
  std::vector<int> depth;
};

// With `resolve_early` the parents are resolved by mk_hashtable, as the
// program does; otherwise stack resolves them itself.
Outcome real_stack(const std::vector<Line>& lines, int prune, int g, const std::string& d, bool resolve_early = true,
                   const testing::ScratchDir& dir = testing::ScratchDir()) {
  haldor::Run run;
  testing::Capture console;
  run.console = console.get();
  for (const Line& l : lines) {
    PedRecord r;
    if (!l.animal.empty()) r.animal = run.ped.pool.intern(l.animal);
    if (!l.sire.empty()) r.sire = run.ped.pool.intern(l.sire);
    if (!l.dam.empty()) r.dam = run.ped.pool.intern(l.dam);
    run.ped.PED.push_back(r);
  }
  const long count = static_cast<long>(lines.size());
  RecordTable parents;
  mk_hashtable(run, count, prune, resolve_early ? &parents : nullptr);
  Outcome out;
  out.status = stack(run, dir.file("out"), dir.file("err"), count, g, d, std::move(parents));
  out.console = console.text();
  out.stacked = testing::read_file(dir.file("out"));
  out.errors = testing::read_file(dir.file("err"));
  for (const PedRecord& r : run.ped.PED) out.depth.push_back(r.work);
  return out;
}

std::string number_after(const std::string& text, const std::string& label) {
  std::size_t at = text.find(label);
  if (at == std::string::npos) return "-";
  at += label.size();
  return text.substr(at, text.find('\n', at) - at);
}

// Random pedigrees over a small set of names, so that repeated animals,
// parents that are listed further down, founders, self-parents and loops
// all occur; some are lines of descent long enough to reach G + 50.
std::vector<Line> random_pedigree(std::mt19937& rng, int round) {
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<Line> lines;
  if (round % 7 == 0) {
    // a line of descent of 45 to 70 animals, in either order, maybe closed
    const int len = 45 + static_cast<int>(rng() % 26);
    for (int i = 0; i < len; ++i)
      lines.push_back({named("c", i), i ? named("c", i - 1) : "f", u(rng) < 0.3 ? "x" : ""});
    if (rng() % 2) std::reverse(lines.begin(), lines.end());
    if (rng() % 3 == 0) lines[rng() % lines.size()].dam = named("c", len - 1);
    return lines;
  }
  const int n = 1 + static_cast<int>(rng() % 30);
  const int names = n + static_cast<int>(rng() % 6);
  const bool acyclic = rng() % 2;
  auto name = [&](int k) { return named("a", k); };
  for (int i = 0; i < n; ++i) {
    Line l;
    const int k = static_cast<int>(rng() % static_cast<unsigned>(names));
    if (u(rng) > 0.05) l.animal = name(k);
    for (std::string* p : {&l.sire, &l.dam}) {
      if (u(rng) < 0.25) continue;
      int pk = static_cast<int>(rng() % static_cast<unsigned>(names));
      if (acyclic) {
        if (k + 1 >= names) continue;
        pk = k + 1 + static_cast<int>(rng() % static_cast<unsigned>(names - k - 1));
      }
      *p = name(pk);
    }
    lines.push_back(l);
  }
  return lines;
}

TEST(Stack, EqualsTheDocumentedStepsOnRandomPedigrees) {
  std::mt19937 rng(7);
  const int prunes[] = {0, 1, 2, -1};
  const int gs[] = {0, 1, 3, 10, 50};
  const std::string delimiters[] = {" ", "\t", "::"};
  int loops = 0;
  const testing::ScratchDir dir;
  for (int round = 0; round < 1500; ++round) {
    const auto lines = random_pedigree(rng, round);
    const int prune = prunes[rng() % 4];
    const int g = gs[rng() % 5];
    const std::string& d = delimiters[rng() % 3];
    SCOPED_TRACE("round " + std::to_string(round) + " prune " + std::to_string(prune) + " g " + std::to_string(g));
    const Reference want = reference_stack(lines, prune, g, d);
    const Outcome got = real_stack(lines, prune, g, d, round % 2 == 0, dir);
    ASSERT_EQ(got.status, kStacked);
    ASSERT_EQ(got.depth, want.depth);
    ASSERT_EQ(got.stacked, want.stacked);
    ASSERT_EQ(got.errors, want.errors);
    ASSERT_EQ(number_after(got.console, "Pruned... "), std::to_string(want.pruned));
    ASSERT_EQ(number_after(got.console, "Number of generation found : "), std::to_string(want.generations));
    ASSERT_EQ(got.console.find("Loop error occurred. Please check ") != std::string::npos, want.loop);
    // The identities of the parentage table: its SUM total is the number of
    // stacked lines; with the non-stacked count it makes every animal line
    // plus every founder line (the lines of generation 0).
    const std::string sum = number_after(got.console, "SUM ");
    const long total = std::stol(sum.substr(sum.rfind(' ') + 1));
    long written = 0, founder_lines = 0;
    for (std::size_t begin = 0, end; (end = got.stacked.find('\n', begin)) != std::string::npos; begin = end + 1) {
      ++written;
      const std::string line = got.stacked.substr(begin, end - begin);
      founder_lines += line.size() > d.size() && line.compare(line.size() - d.size() - 1, d.size() + 1, d + "0") == 0;
    }
    ASSERT_EQ(total, written);
    if (want.loop) {
      long animals = 0;
      for (const Line& l : lines) animals += !l.animal.empty();
      const long non_stacked = std::stol(number_after(got.console, "Printing non-stacked animal (loop error) ... "));
      ASSERT_EQ(non_stacked + total, animals + founder_lines);
    }
    loops += want.loop;
  }
  EXPECT_GT(loops, 400);  // about 600 with this seed
}

TEST(Stack, ParentageTableGrowsWithTheGenerations) {
  // 300 generations: far more rows than a fixed table of 200 would hold.
  std::vector<Line> lines;
  for (int i = 0; i < 300; ++i) {
    Line l;
    l.animal = named("c", i);
    if (i > 0) l.sire = lines.back().animal;
    lines.push_back(l);
  }
  const Outcome got = real_stack(lines, 1, 1000, " ");
  ASSERT_EQ(got.status, kStacked);
  EXPECT_NE(got.console.find("  Number of generation found : 300\n"), std::string::npos);
  EXPECT_NE(got.console.find("299      0      1      0      0      1\n"), std::string::npos);
  EXPECT_NE(got.console.find("300      0      1      0      0      1\n"), std::string::npos);
  EXPECT_NE(got.console.find("SUM      1    299      0      0    300\n"), std::string::npos);
  EXPECT_EQ(got.stacked.substr(0, 11), "c0 0 0 1\nc1");
}

TEST(Stack, FilesThatCannotBeCreatedLeaveNothingBehind) {
  haldor::Run run;
  testing::Capture console;
  run.console = console.get();
  PedRecord r;
  r.animal = run.ped.pool.intern("A");
  run.ped.PED.push_back(r);
  mk_hashtable(run, 1, 1);
  testing::ScratchDir dir;
  const std::string out = dir.file("out");
  EXPECT_EQ(stack(run, out, dir.file("no/such/dir/err"), 1, 50, " "), kNotCreated);
  EXPECT_NE(console.text().find("Error: Failed to create \"" + dir.file("no/such/dir/err") + "\" file!\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
}

TEST(ParseNumber, ReadsLikeAtoiWithoutWrapping) {
  EXPECT_EQ(parse_number("50"), 50);
  EXPECT_EQ(parse_number("  -7x"), -7);
  EXPECT_EQ(parse_number("+12"), 12);
  EXPECT_EQ(parse_number("abc"), 0);
  EXPECT_EQ(parse_number(""), 0);
  EXPECT_EQ(parse_number("99999999999999999999999"), std::numeric_limits<long long>::max());
  EXPECT_EQ(parse_number("2147483597"), kMaxGenerations);
}

// The program's own checks, through the shared frame.
using ProgramRun = testing::FrameRun;

ProgramRun run_tavisk(std::vector<std::string> args) {
  Tavisk tavisk;
  return testing::run_in_frame(tavisk, "Tavisk", std::move(args));
}

TEST(Tavisk, RefusesUnusableLoopGenerationsBeforeReading) {
  testing::ScratchDir dir;
  const std::string ped = dir.write("ped", "A 0 0\n");
  for (const char* g : {"2147483598", "-1", "99999999999"}) {
    SCOPED_TRACE(g);
    const ProgramRun r = run_tavisk({"-g", g, "-e", dir.file("err"), ped, dir.file("out")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.console.find(std::string("Error: Incorrect use of -g option... '") + g +
                             "', accepted range : 0 to 2147483597\n"),
              std::string::npos);
    EXPECT_EQ(r.console.find("Reading pedigree"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
  }
  const ProgramRun top = run_tavisk({"-g", "2147483597", "-e", dir.file("err"), ped, dir.file("out")});
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.console.find("  Number of generation found : 1\n"), std::string::npos);
}

TEST(Tavisk, ErrorFileMustDifferFromTheOutput) {
  testing::ScratchDir dir;
  const std::string ped = dir.write("ped", "A 0 0\n");
  const ProgramRun r = run_tavisk({"-e", dir.path() + "/./out", ped, dir.file("out")});
  EXPECT_EQ(r.status, kFailure);
  EXPECT_NE(r.console.find("Error: Error file \"" + dir.path() + "/./out\" is the output file"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

}  // namespace
}  // namespace haldor::stacker
