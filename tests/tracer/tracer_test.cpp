// The ancestry walk and the key-file loop of Nembril.
#include "tracer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace haldor::tracer {
namespace {

// "<prefix><n>" (built by appending: GCC 12 warns falsely on literal + string).
std::string id_of(const char* prefix, long n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

struct Line {
  std::string animal, sire, dam;  // "" = unknown
};

// A run holding the given records, with the identifier table built.
class Traced {
 public:
  explicit Traced(const std::vector<Line>& lines, std::string delimiter = " ") : delimiter_(std::move(delimiter)) {
    auto id = [&](const std::string& s) { return s.empty() ? kNoSymbol : run_.ped.pool.intern(s); };
    for (const Line& l : lines) run_.ped.PED.push_back(PedRecord{id(l.animal), id(l.sire), id(l.dam)});
    console_ = std::tmpfile();
    run_.console = console_;
    EXPECT_EQ(mk_hashtable(run_, run_.ped.MAXANIMAL()), static_cast<long>(lines.size()));
  }
  ~Traced() { std::fclose(console_); }

  // Traces each key in turn (as the key-file loop does for listed animals)
  // and returns the lines written; `written` gets the count per key.
  std::string trace_keys(const std::vector<std::string>& keys, std::vector<long>* written = nullptr) {
    std::FILE* out = std::tmpfile();
    TracedOutput traced(run_, out, delimiter_);
    for (const std::string& k : keys) {
      long n = traced.trace_parent(run_.HASHTBL.get_address(k));
      if (written) written->push_back(n);
    }
    std::string text = slurp(out);
    std::fclose(out);
    return text;
  }

  std::string console() { return slurp(console_); }
  Run& run() { return run_; }

  static std::string slurp(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
  }

 private:
  Run run_;
  std::string delimiter_;
  std::FILE* console_ = nullptr;
};

TEST(TraceParent, MillionGenerationChainNeedsNoCallStack) {
  // Animal i's sire is i - 1 and its dam is i - 2: a walk that recursed per
  // generation would overflow the call stack long before the founder.
  const int depth = 1000000;
  std::vector<Line> lines;
  lines.reserve(depth);
  for (int i = 0; i < depth; ++i)
    lines.push_back({id_of("g", i), i > 0 ? id_of("g", i - 1) : "", i > 1 ? id_of("g", i - 2) : ""});
  Traced t(lines);
  std::vector<long> n;
  std::string text = t.trace_keys({"g999999"}, &n);
  EXPECT_EQ(n, std::vector<long>{depth});
  // Depth first along the sire line: the newest first, down to the founder.
  EXPECT_EQ(text.substr(0, 39), "g999999 g999998 g999997\ng999998 g999997");
  EXPECT_EQ(text.substr(text.size() - 24), "g2 g1 g0\ng1 g0 0\ng0 0 0\n");
}

// The walk as written recursively: the reference for the order.
void reference_walk(Run& run, std::int32_t a, std::vector<char>& seen, std::string& out) {
  if (a == 0 || seen[static_cast<std::size_t>(a - 1)]) return;
  seen[static_cast<std::size_t>(a - 1)] = 1;
  const PedRecord& r = run.ped.PED[static_cast<std::size_t>(a - 1)];
  auto name = [&](SymbolId id) { return id ? std::string(run.ped.name(id)) : std::string("0"); };
  out += name(r.animal) + "," + name(r.sire) + "," + name(r.dam) + "\n";
  if (r.sire) reference_walk(run, run.HASHTBL.get_address(run.ped.name(r.sire)), seen, out);
  if (r.dam) reference_walk(run, run.HASHTBL.get_address(run.ped.name(r.dam)), seen, out);
}

TEST(TraceParent, SameOrderAsTheRecursiveWalkOnRandomPedigrees) {
  std::mt19937 rng(20170228);
  for (int round = 0; round < 200; ++round) {
    const int size = 1 + static_cast<int>(rng() % 60);
    std::vector<Line> lines;
    for (int i = 0; i < size; ++i) {
      // Parents anywhere in the file (loops included), unknown or unlisted.
      auto parent = [&]() -> std::string {
        unsigned pick = rng() % 10;
        if (pick < 2) return "";
        if (pick == 2) return id_of("u", rng() % 5);
        return id_of("a", rng() % static_cast<unsigned>(size));
      };
      lines.push_back({id_of("a", rng() % static_cast<unsigned>(size + 3)), parent(), parent()});
    }
    std::vector<std::string> keys;
    for (int k = 0; k < 6; ++k) keys.push_back(id_of("a", rng() % static_cast<unsigned>(size + 3)));

    Traced t(lines, ",");
    std::string got = t.trace_keys(keys);
    std::vector<char> seen(lines.size(), 0);
    std::string want;
    for (const std::string& k : keys) reference_walk(t.run(), t.run().HASHTBL.get_address(k), seen, want);
    ASSERT_EQ(got, want) << "round " << round;
  }
}

// The key-file loop, on real files.
class TraceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "tracer_test_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string cmd = "rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  std::string dir_;
};

TEST_F(TraceFiles, KeyLinesAreTrimmedWholeLinesOfAnyLength) {
  const std::string longid(300, 'x');
  Traced t({{"A", "", ""}, {longid, "A", ""}, {"7", "", ""}, {"in ner", "", ""}});
  // CR LF line ends, surrounding blanks, a 300-character identifier, a line
  // of blanks, an unlisted key written between traced ones (and only once),
  // zeros under -n, and a last line without a line end.
  write("keys", " " + longid + " \r\n\t\r\n" + std::string(260, 'y') + "\n007\r\n0000\n" + std::string(260, 'y') + "\n  in ner");
  TraceCounts n;
  EXPECT_EQ(trace(t.run(), path("keys"), path("out"), 4, true, true, "|", &n), TraceStatus::kDone);
  EXPECT_EQ(read("out"), longid + "|A|0\nA|0|0\n" + std::string(260, 'y') + "|0|0\n7|0|0\nin ner|0|0\n");
  EXPECT_EQ(n.traced, 4);
  EXPECT_EQ(n.non_traced, 1);
  EXPECT_EQ(t.console(),
            "Hashing animals...OK.\nTracing...OK.\nNumber of traced animals : 4\n"
            "Number of non-traced animals : 1\nNon-traced animals were included in the output file.\n");
}

}  // namespace
}  // namespace haldor::tracer
