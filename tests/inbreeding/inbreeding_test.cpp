#include "inbreeding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <set>

#include "frame_run.h"
#include "test_util.h"

namespace haldor::inbreeding {
namespace {

// The whole relationship matrix, square, by the textbook recursion; F is its
// diagonal minus one. Deliberately naive: the reference the methods are
// checked against.
std::vector<double> brute_force(const CodedPedigree& ped) {
  const std::size_t n = ped.size();
  std::vector<std::vector<double>> A(n + 1, std::vector<double>(n + 1, 0.0));
  for (std::size_t i = 1; i <= n; ++i) {
    const Code s = ped.sire[i], d = ped.dam[i];
    for (std::size_t j = 1; j < i; ++j) {
      A[i][j] = A[j][i] = 0.5 * (A[j][s] + A[j][d]);  // row and column 0 stay 0
    }
    A[i][i] = 1.0 + 0.5 * A[s][d];
  }
  std::vector<double> F(n + 1, 0.0);
  for (std::size_t i = 1; i <= n; ++i) F[i] = A[i][i] - 1.0;
  return F;
}

struct Animal {
  Code sire, dam;
};

CodedPedigree make(const std::vector<Animal>& animals) {
  CodedPedigree ped;
  ped.resize(animals.size());
  for (std::size_t i = 0; i < animals.size(); ++i) {
    ped.sire[i + 1] = animals[i].sire;
    ped.dam[i + 1] = animals[i].dam;
  }
  return ped;
}

// A small closed population: few sires, overlapping generations, some
// unknown parents, so inbreeding builds up over many paths.
CodedPedigree random_pedigree(unsigned seed, std::size_t n, std::size_t founders) {
  std::mt19937 rng(seed);
  std::vector<Animal> animals(n, Animal{0, 0});
  std::vector<Code> males, females;
  for (std::size_t i = 1; i <= n; ++i) {
    Animal& a = animals[i - 1];
    if (i > founders) {
      auto pick = [&](const std::vector<Code>& from, std::size_t window) -> Code {
        if (from.empty() || rng() % 20 == 0) return 0;  // unknown now and then
        std::size_t lo = from.size() > window ? from.size() - window : 0;
        return from[lo + rng() % (from.size() - lo)];
      };
      a.sire = pick(males, 4);
      a.dam = pick(females, 30);
    }
    (rng() % 2 ? males : females).push_back(static_cast<Code>(i));
  }
  return make(animals);
}

// Population structures the default method must handle alike. Herds: each
// herd uses its own young males as sires and now and then buys a young one
// from another herd (natural service: the herds are separate mating groups,
// their animals interleaved in code order). Popular: a few sires with most of the
// progeny across the whole population (artificial insemination). Narrow: a
// small population over many generations (deep, much inbreeding).
enum class Structure { kHerds, kPopular, kNarrow };

CodedPedigree structured_pedigree(Structure kind, unsigned seed, std::size_t n) {
  std::mt19937 rng(seed);
  const std::size_t herds = kind == Structure::kHerds ? 6 : 1;
  std::vector<std::vector<Code>> males(herds), females(herds);
  std::vector<Animal> animals(n, Animal{0, 0});
  std::vector<bool> sired(n + 1, false);
  for (std::size_t i = 1; i <= n; ++i) {
    const std::size_t herd = rng() % herds;
    Animal& a = animals[i - 1];
    auto recent = [&](const std::vector<Code>& from, std::size_t window) -> Code {
      if (from.empty()) return 0;
      const std::size_t lo = from.size() > window ? from.size() - window : 0;
      return from[lo + rng() % (from.size() - lo)];
    };
    switch (kind) {
      case Structure::kHerds: {
        if (rng() % 8 == 0) {
          // A young male bought in from another herd, before he has been
          // used there, moves to this one.
          std::vector<Code>& other = males[rng() % herds];
          if (&other != &males[herd] && !other.empty() && !sired[other.back()]) {
            males[herd].push_back(other.back());
            other.pop_back();
          }
        }
        a.sire = recent(males[herd], 3);
        a.dam = recent(females[herd], 12);
        break;
      }
      case Structure::kPopular:
        // Two thirds of the progeny by the first few sires of the last males.
        a.sire = rng() % 3 ? recent(males[0], 2) : recent(males[0], 40);
        a.dam = recent(females[0], 200);
        break;
      case Structure::kNarrow:
        a.sire = recent(males[0], 4);
        a.dam = recent(females[0], 8);
        break;
    }
    if (rng() % 25 == 0) a.sire = 0;
    if (rng() % 25 == 0) a.dam = 0;
    sired[a.sire] = true;
    (rng() % 2 ? males[herd] : females[herd]).push_back(static_cast<Code>(i));
  }
  return make(animals);
}

void expect_all_methods(const CodedPedigree& ped, const std::string& what) {
  const std::vector<double> ref = brute_force(ped);
  std::vector<double> indirect, batched_one, mixed, halved, tabular, tabular_per_animal;
  inbreeding_indirect(ped, indirect);
  inbreeding_indirect(ped, batched_one, 1);  // every batch too large: one sire at a time
  // Batches whose rows pass the cap are split into halves with half the
  // lanes, down to one sire: with 4 KiB every width is taken in one run, with
  // 64 KiB mostly the wider ones.
  inbreeding_indirect(ped, mixed, 4096);
  inbreeding_indirect(ped, halved, 65536);
  // Maternal-line terms taken a few at a time: every batch fills in the w
  // its lines need over several chunks, each reusing what the ones before
  // filled in.
  std::vector<double> chunked;
  inbreeding_indirect(ped, chunked, 0, 7);
  // Rows moved two lanes a step, as on a processor without AVX2, against
  // the widest steps this one has, with every batch width taken.
  std::vector<double> baseline, mixed_baseline;
  inbreeding_indirect(ped, baseline, 0, 0, RowWidth::kBaseline);
  inbreeding_indirect(ped, mixed_baseline, 4096, 0, RowWidth::kBaseline);
  std::vector<double> one_thread, mixed_one_thread;
  setenv("HALDOR_THREADS", "1", 1);
  inbreeding_indirect(ped, one_thread);
  inbreeding_indirect(ped, mixed_one_thread, 4096);
  unsetenv("HALDOR_THREADS");
  inbreeding_tabular(ped, tabular, std::size_t(1) << 30);
  inbreeding_tabular(ped, tabular_per_animal, 0);  // no whole matrix: one per animal
  for (std::size_t c = 1; c <= ped.size(); ++c) {
    ASSERT_NEAR(indirect[c], ref[c], 1e-12) << what << " animal " << c;
    ASSERT_NEAR(batched_one[c], ref[c], 1e-12) << what << " animal " << c;
    ASSERT_NEAR(mixed[c], ref[c], 1e-12) << what << " animal " << c;
    ASSERT_NEAR(halved[c], ref[c], 1e-12) << what << " animal " << c;
    ASSERT_NEAR(chunked[c], ref[c], 1e-12) << what << " animal " << c;
    ASSERT_NEAR(tabular[c], ref[c], 1e-12) << what << " animal " << c;
    ASSERT_NEAR(tabular_per_animal[c], ref[c], 1e-12) << what << " animal " << c;
  }
  // Neither the threads nor the batches a sire shares, their widths, the
  // chunks of terms or the instructions that move the rows change a value,
  // to the last bit.
  for (std::size_t c = 1; c <= ped.size(); ++c) {
    ASSERT_EQ(indirect[c], one_thread[c]) << what << " animal " << c;
    ASSERT_EQ(indirect[c], batched_one[c]) << what << " animal " << c;
    ASSERT_EQ(indirect[c], mixed[c]) << what << " animal " << c;
    ASSERT_EQ(indirect[c], halved[c]) << what << " animal " << c;
    ASSERT_EQ(indirect[c], chunked[c]) << what << " animal " << c;
    ASSERT_EQ(mixed[c], mixed_one_thread[c]) << what << " animal " << c;
    ASSERT_EQ(indirect[c], baseline[c]) << what << " animal " << c;
    ASSERT_EQ(mixed[c], mixed_baseline[c]) << what << " animal " << c;
  }
}

TEST(Inbreeding, MethodsAgreeWithBruteForceOnRandomPedigrees) {
  double largest = 0;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const CodedPedigree ped = random_pedigree(seed, 200 + 40 * seed, 6 + seed % 5);
    expect_all_methods(ped, "seed " + std::to_string(seed));
    for (double f : brute_force(ped)) largest = std::max(largest, f);
  }
  EXPECT_GT(largest, 0.3);  // the pedigrees are inbred enough to test anything
}

TEST(Inbreeding, MethodsAgreeWithBruteForceOnEveryPopulationStructure) {
  for (Structure kind : {Structure::kHerds, Structure::kPopular, Structure::kNarrow})
    for (unsigned seed = 1; seed <= 4; ++seed) {
      const CodedPedigree ped = structured_pedigree(kind, seed, 300 + 100 * seed);
      expect_all_methods(ped, "structure " + std::to_string(static_cast<int>(kind)) + " seed " +
                                  std::to_string(seed));
      if (kind == Structure::kHerds) {
        // Several groups, so the batches are not taken in code order.
        const std::vector<Code> group = mating_groups(ped);
        std::set<Code> named;
        for (std::size_t c = 1; c <= ped.size(); ++c)
          if (ped.sire[c] && ped.dam[c]) named.insert(group[ped.sire[c]]);
        EXPECT_GE(named.size(), 4u) << "seed " << seed;
      }
    }
}

TEST(Inbreeding, MatingGroupsJoinSiresThroughCommonMates) {
  // Herd one: sire 1 on dams 2 and 6, then his son 5 on dam 2. Herd two:
  // sire 3 on dam 4. Sire 9 and dam 10 (progeny 11) make a group of their
  // own; 12 has an unknown dam and 13 an unknown sire, so they join nothing.
  // Last, 14, a son of 3 bought into herd one, joins it through dam 6.
  const CodedPedigree ped = make({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 2}, {0, 0}, {1, 6}, {3, 4}, {0, 0},
                                  {0, 0}, {9, 10}, {3, 0}, {0, 4}, {3, 4}, {5, 2}, {14, 6}});
  const std::vector<Code> group = mating_groups(ped);
  EXPECT_EQ(group[1], 1u);
  EXPECT_EQ(group[5], 1u);
  EXPECT_EQ(group[14], 1u);
  EXPECT_EQ(group[3], 3u);
  EXPECT_EQ(group[9], 9u);
  EXPECT_EQ(group[2], 2u);  // dams and animals without progeny name themselves
  EXPECT_EQ(group[12], 12u);
}

TEST(Inbreeding, DocumentedMatings) {
  // 1, 2, 7 founders; 3, 4 full sibs; 5 their progeny; 6 out of 5 alone;
  // 8 a half sib of 3 (sire 1); 9 out of the half sibs 3 and 8; 10 sire 1
  // on his daughter 3.
  const CodedPedigree ped = make({{0, 0}, {0, 0}, {1, 2}, {1, 2}, {3, 4}, {5, 0}, {0, 0}, {1, 7}, {3, 8},
                                  {1, 3}});
  for (auto method : {0, 1}) {
    std::vector<double> F;
    if (method == 0)
      inbreeding_indirect(ped, F);
    else
      inbreeding_tabular(ped, F, 1 << 20);
    EXPECT_DOUBLE_EQ(F[1], 0.0);
    EXPECT_DOUBLE_EQ(F[3], 0.0);          // unrelated founders
    EXPECT_DOUBLE_EQ(F[5], 0.25);         // full sibs
    EXPECT_DOUBLE_EQ(F[6], 0.0);          // one known parent
    EXPECT_DOUBLE_EQ(F[9], 0.125);        // half sibs 3 and 8
    EXPECT_DOUBLE_EQ(F[10], 0.25);        // sire and daughter
    EXPECT_DOUBLE_EQ(mendelian_factor(ped.sire[6], ped.dam[6], F), 0.6875);
    EXPECT_DOUBLE_EQ(mendelian_factor(ped.sire[3], ped.dam[3], F), 0.5);
  }
}

TEST(Inbreeding, DeepFullSibLinesHaveNoDepthOrAncestorLimit) {
  // Two founders, then 1500 generations of full-sib pairs: F_t = (1 + 2 F_t-1
  // + F_t-2) / 4, ancestral paths thousands of generations long and 3000
  // distinct ancestors (far beyond any fixed table).
  std::vector<Animal> a = {{0, 0}, {0, 0}};
  for (int g = 0; g < 1500; ++g) {
    const Code s = static_cast<Code>(a.size() - 1), d = static_cast<Code>(a.size());
    a.push_back({s, d});
    a.push_back({s, d});
  }
  const CodedPedigree ped = make(a);
  std::vector<double> F, T;
  inbreeding_indirect(ped, F);
  inbreeding_tabular(ped, T, std::size_t(1) << 30);
  double f1 = 0, f2 = 0;  // the two generations before: founders count as 0
  for (std::size_t c = 3; c <= ped.size(); c += 2) {
    const double f = c == 3 ? 0.0 : (1 + 2 * f1 + f2) / 4;
    ASSERT_NEAR(F[c], f, 1e-12) << c;
    ASSERT_NEAR(F[c + 1], f, 1e-12) << c;
    ASSERT_NEAR(T[c], f, 1e-12) << c;
    f2 = f1;
    f1 = f;
  }
  EXPECT_GT(F[ped.size()], 0.999999);
}

TEST(Inbreeding, MateFromAnotherLongLineNeedsThousandsOfAnimalsOffTheSireSide) {
  // Two lines of 600 generations of full-sib pairs from the same two
  // founders, then a male of one line mated to a female of the other: her
  // 1200 ancestors in her own line are no ancestors of his, so one batch
  // needs them all at once, and each line's last sire has 1200 ancestors of
  // his own. The lists of a batch grow while it runs.
  std::vector<Animal> a = {{0, 0}, {0, 0}};
  Code last[2][2] = {{1, 2}, {1, 2}};  // [line][male, female]
  for (int g = 0; g < 600; ++g)
    for (auto& line : last) {
      const Code s = line[0], d = line[1];
      a.push_back({s, d});
      line[0] = static_cast<Code>(a.size());
      a.push_back({s, d});
      line[1] = static_cast<Code>(a.size());
    }
  a.push_back({last[0][0], last[1][1]});
  const CodedPedigree ped = make(a);
  expect_all_methods(ped, "two long lines");
  std::vector<double> F;
  inbreeding_indirect(ped, F);
  EXPECT_GT(F[ped.size()], 0.0);  // the lines share their founders
}

TEST(Inbreeding, BatchesPastTheCapAreSplitWhileTheirSireSideIsFound) {
  // A small population over many generations: a late sire has most of the
  // 24,000 animals before him as ancestors, more rows of 16 lanes than the
  // row buffer's first block holds. With a cap of 1 MiB a batch gives up as
  // soon as its side would need more room than the cap (or, below the
  // block, once its side is known) and is run again in halves; the values
  // are those of the batches that were never split, to the last bit.
  const CodedPedigree ped = random_pedigree(7, 24000, 8);
  std::vector<double> whole, split;
  inbreeding_indirect(ped, whole);
  inbreeding_indirect(ped, split, std::size_t(1) << 20);
  ASSERT_EQ(whole.size(), split.size());
  for (std::size_t c = 1; c <= ped.size(); ++c) ASSERT_EQ(whole[c], split[c]) << "animal " << c;
  EXPECT_GT(whole[ped.size()], 0.1);
}

TEST(Inbreeding, RepeatedAndMissingRecordsAreNotComputed) {
  CodedPedigree ped = make({{0, 0}, {0, 0}, {1, 2}, {1, 2}, {3, 4}, {3, 4}});
  ped.live[6] = 0;  // a repeat of an earlier animal: nothing refers to it
  std::vector<double> F;
  inbreeding_indirect(ped, F);
  EXPECT_DOUBLE_EQ(F[5], 0.25);
  EXPECT_DOUBLE_EQ(F[6], 0.0);
  inbreeding_tabular(ped, F, 0);
  EXPECT_DOUBLE_EQ(F[5], 0.25);
  EXPECT_DOUBLE_EQ(F[6], 0.0);
}

// A large pedigree's result lines are formatted by several threads, a span
// of records each: the file must be the one a single thread writes, with
// every column (-c, -p), repeated records and unknown parents.
TEST(Folvane, ThreadsWriteTheFileOneThreadWrites) {
  testing::ScratchDir dir;
  std::string text;
  std::mt19937 rng(7);
  const int n = 150000;
  auto id = [](int i) {
    std::string s = "X";
    s += std::to_string(i);
    return s;
  };
  for (int i = 1; i <= n; ++i) {
    const int s = i > 100 ? 1 + static_cast<int>(rng() % static_cast<unsigned>(i - 1)) : 0;
    const int d = i > 100 ? 1 + static_cast<int>(rng() % static_cast<unsigned>(i - 1)) : 0;
    text += id(i) + " " + (s && s != d ? id(s) : "0") + " " + (d ? id(d) : "0") + "\n";
    if (i % 9973 == 0) text += id(i / 2) + " 0 0\n";  // a repeated record
  }
  const std::string ped = dir.write("ped.txt", text);
  // The console and the result file of a run.
  auto run = [&](const char* threads) {
    setenv("HALDOR_THREADS", threads, 1);
    Folvane folvane;
    const testing::FrameRun r = testing::run_in_frame(folvane, "Folvane", {"-c", "-p", ped, dir.file("out.txt")});
    unsetenv("HALDOR_THREADS");
    EXPECT_EQ(r.status, 0);
    return std::make_pair(r.console, testing::read_file(dir.file("out.txt")));
  };
  const auto one = run("1"), two = run("2");
  EXPECT_EQ(one.first, two.first);
  EXPECT_EQ(std::count(one.second.begin(), one.second.end(), '\n'), n + n / 9973);
  EXPECT_TRUE(one.second == two.second);
}

TEST(Completeness, SharesAndIndex) {
  // 1..8 founders, 9..12 their progeny, 13, 14 the next generation, 15 out
  // of 13 and 14: three complete generations.
  const CodedPedigree ped = make({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 2}, {3, 4},
                                  {5, 6}, {7, 8}, {9, 10}, {11, 12}, {13, 14}, {13, 0}, {9, 10}});
  Completeness comp;
  comp.compute(ped);
  float a[10], pci[5];
  comp.values(13, 14, a);
  const float three[10] = {1, 1, 1, 0, 0, 1, 1, 1, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a[i], three[i]) << i;
  calcPCI(pci, a);
  const float index[5] = {1, 1, 1, 0.75f, 0.6f};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(pci[i], index[i]) << i;

  comp.values(9, 10, a);  // grandparents known, nothing beyond
  calcPCI(pci, a);
  char text[64];
  std::snprintf(text, sizeof text, "%4.2f %4.2f %4.2f %4.2f %4.2f", static_cast<double>(pci[0]),
                static_cast<double>(pci[1]), static_cast<double>(pci[2]), static_cast<double>(pci[3]),
                static_cast<double>(pci[4]));
  EXPECT_STREQ(text, "1.00 1.00 0.67 0.50 0.40");

  comp.values(13, 0, a);  // dam missing: no index at all, however complete the sire side
  calcPCI(pci, a);
  const float sire_only[10] = {1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a[i], sire_only[i]) << i;
  for (float v : pci) EXPECT_EQ(v, 0.0f);

  comp.values(0, 0, a);  // a founder
  for (float v : a) EXPECT_EQ(v, 0.0f);
}

TEST(Completeness, FiveCompleteGenerationsAndInbredPositions) {
  // A full binary tree of six generations: 32 founders, then pairs.
  std::vector<Animal> a(32, Animal{0, 0});
  std::size_t from = 1, width = 32;
  while (width > 1) {
    for (std::size_t k = 0; k < width; k += 2)
      a.push_back({static_cast<Code>(from + k), static_cast<Code>(from + k + 1)});
    from += width;
    width /= 2;
  }
  const CodedPedigree ped = make(a);
  Completeness comp;
  comp.compute(ped);
  float v[10], pci[5];
  const Code last = static_cast<Code>(ped.size());
  comp.values(ped.sire[last], ped.dam[last], v);
  calcPCI(pci, v);
  for (float x : v) EXPECT_EQ(x, 1.0f);
  for (float x : pci) EXPECT_EQ(x, 1.0f);
}

TEST(Completeness, TextOfEveryPatternMatchesTheValues) {
  // Random pedigrees with many known-ancestor patterns: far more than the
  // text table has slots, so patterns keep taking each other's slots. Every
  // line must still read as the values formatted one by one.
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const CodedPedigree ped = random_pedigree(seed, 20000, 12);
    Completeness comp;
    comp.compute(ped);
    for (const std::string delim : {" ", ",\t"}) {
      CompletenessText text(comp, delim);
      for (std::size_t c = 1; c <= ped.size(); ++c) {
        const Code s = ped.sire[c], d = ped.dam[c];
        float a[10], index[5];
        comp.values(s, d, a);
        calcPCI(index, a);
        std::string want;
        char tmp[64];
        for (int g = 0; g < 15; ++g) {
          const float v = g < 10 ? a[g % 2 * 5 + g / 2] : index[g - 10];
          std::snprintf(tmp, sizeof tmp, "%4.2f", static_cast<double>(v));
          want += delim + tmp;
        }
        ASSERT_EQ(text.get(s, d), want) << "seed " << seed << " animal " << c;
      }
    }
  }
}

TEST(Format, SixDecimalsLikePrintf) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> values = {0.0, 1.0, 0.25, 1.454545454545, 2.0, 0.0000005, 0.0000015, 0.9999995, 1.3333333333,
                                4.0, 1e8, 123456.1234565, 0.1234565, 5e-7, 2.5e-6};
  for (int i = 0; i < 200000; ++i) values.push_back(unit(rng) * (i % 3 == 0 ? 4.0 : 1.0));
  for (int i = 0; i < 1000; ++i) values.push_back(std::ldexp(static_cast<double>(rng() % 4096), -12 - i % 30));
  values.push_back(-0.0);
  values.push_back(-0.5);
  values.push_back(INFINITY);
  for (double v : values) {
    char mine[64], ref[64];
    format_f6(v, mine);
    std::snprintf(ref, sizeof ref, "%f", v);
    ASSERT_STREQ(mine, ref) << v;
  }
}

TEST(Format, TwoDecimalsLikePrintf) {
  // Every completeness value (k / 2^g) and index the program can print, the
  // exact ties among them, and random values around them.
  std::vector<double> values = {0.0, 1.0, 0.125, 0.375, 0.625, 0.875, 0.005, 0.015, 0.995, 9.985, 9.995, 9.99,
                                10.0, 123.456, -0.0, -0.125, INFINITY};
  for (int g = 0; g <= 12; ++g)
    for (int k = 0; k <= (1 << g); ++k) values.push_back(std::ldexp(k, -g));
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int i = 0; i < 200000; ++i) values.push_back(static_cast<double>(unit(rng)));
  for (float ms = 0.0625f; ms <= 1.0f; ms += 0.0625f)
    for (float md = 0.0625f; md <= 1.0f; md += 0.0625f) {
      float v[10] = {ms, ms, ms, ms, ms, md, md, md, md, md}, pci[5];
      calcPCI(pci, v);
      for (float x : pci) values.push_back(static_cast<double>(x));
    }
  for (double v : values) {
    char mine[64], ref[64];
    format_f42(v, mine);
    std::snprintf(ref, sizeof ref, "%4.2f", v);
    ASSERT_STREQ(mine, ref) << v;
  }
}

}  // namespace
}  // namespace haldor::inbreeding
