// pedsim: deterministic pedigree simulator for the benchmarks.
//
// Writes a pedigree file (one "animal sire dam" line per animal, unknown
// parents as "0", no header) of exactly the requested number of lines. The
// same options and seed always give the same bytes.
//
// The population is simulated birth year by birth year. Every animal gets a
// global index in order of writing; its identifier is a function of that index
// only (three country letters and nine digits, e.g. "DEU000123456"), so no
// identifier is ever stored as text. The only state kept is what the mating
// structure needs: the animals of the last few birth years that were kept as
// sires or dams (index, longest ancestral path, usage counts), never the whole
// pedigree, so memory stays bounded by the size of one breeding population,
// whatever the number of lines.
//
// Shapes: livestock and herdbook simulate one population with sires and dams
// drawn from whole birth-year cohorts (the mating model below); natural, deep
// and closed split the population into herds, breeds or zoo populations with
// their own sires and dams (see HerdShape further down).
//
// Mating model of livestock and herdbook, per birth year t:
//   - dams: females kept as dams, aged dam_min_age .. dam_max_age; a cohort of
//     age a is drawn with weight size * dam_survival^(a - dam_min_age), a dam
//     uniformly within the cohort (dams are reused across years);
//   - sires: males kept as sires, aged sire_min_age .. sire_max_age, drawn with
//     weight w * age_factor(a); w is heavy-tailed (Pareto) and partly inherited
//     from the sire's own sire, so a few sire lines dominate and inbreeding
//     accumulates over time;
//     (before shape.ai_year the weights are capped, as in natural service;
//     from then on a few artificial-insemination sires take a large share);
//   - unknown parents: each parent is unknown with a probability that falls
//     from an early rate to a late rate with the birth year;
//   - the first birth years have no parents yet: they are the founders.
// Parents are always born in an earlier year (in every shape), so the default
// output lists every parent before its progeny.
//
// Longest ancestral path of an animal: 0 when it has no known parent,
// otherwise 1 + the larger of its known parents' values (the number of
// generations back to its most remote known ancestor).

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: pedsim [options] -n LINES\n"
    "Writes a simulated pedigree of exactly LINES lines (\"animal sire dam\").\n"
    "\n"
    "  -n, --lines N           number of lines (1e6 style accepted)\n"
    "  -o, --out FILE          output file (default: standard output)\n"
    "  -s, --seed N            random seed (default 1)\n"
    "      --shape NAME        livestock (default), herdbook, natural, deep or closed\n"
    "      --sire-share R      share of animals used as sires (herdbook, natural,\n"
    "                          deep, closed; e.g. 0.01 to 0.15)\n"
    "      --repeat-rate R     share of lines that repeat an earlier animal\n"
    "      --self-parent-rate R  share of animals given as their own sire or dam\n"
    "      --unsorted          write the lines in shuffled blocks (bounded memory)\n"
    "      --loop N            insert one pedigree loop through N animals\n"
    "      --chain N           insert one chain of N animals, each the sire of the next\n"
    "      --stats FILE        write size, unknown parents, sires and path lengths\n"
    "      --gene-drop R       add a gene-dropping estimate of mean F (R <= 32 replicates)\n"
    "      --keys N            sample N animal identifiers ...\n"
    "      --keys-out FILE     ... into FILE, one per line\n"
    "  -h, --help              this text\n";

// ---------------------------------------------------------------- random ---

// xoshiro256** seeded by splitmix64: fast, and the same stream on every
// platform (no library distributions, whose output is implementation-defined).
class Rng {
 public:
  explicit Rng(uint64_t seed) {
    for (auto& s : s_) {
      seed += 0x9E3779B97F4A7C15ULL;
      uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
      s = z ^ (z >> 31);
    }
  }
  uint64_t next() {
    const uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  // Uniform in [0, n), n > 0.
  uint64_t below(uint64_t n) {
    __extension__ typedef unsigned __int128 Wide;
    return static_cast<uint64_t>((static_cast<Wide>(next()) * n) >> 64);
  }
  bool chance(double p) { return uniform() < p; }

 private:
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t s_[4];
};

// ------------------------------------------------------------ parameters ---

struct Shape {
  int years;               // birth years simulated
  double growth;           // births of year t+1 / births of year t
  double sire_share;       // share of male births kept as sires
  double dam_share;        // share of female births kept as dams
  int sire_min_age, sire_max_age;
  std::vector<double> sire_age_factor;  // usage weight by age - sire_min_age
  int dam_min_age, dam_max_age;
  double dam_survival;     // weight ratio of a dam cohort one year older
  double pareto_alpha;     // tail of the sire usage weights
  double max_weight;       // cap of a sire's own usage weight before ai_year
  int ai_year;             // from this birth year on the weights are not capped
  double inherit;          // exponent of the sire's weight passed on to sons
  double unknown_sire_early, unknown_sire_late;
  double unknown_dam_early, unknown_dam_late;
  double unknown_decay_years;  // e-folding time from early to late rate
};

Shape livestock_shape() {
  Shape s;
  s.years = 30;
  s.growth = 1.0;
  s.sire_share = 0.004;
  s.dam_share = 0.85;
  s.sire_min_age = 2;
  s.sire_max_age = 10;
  s.sire_age_factor = {0.3, 1.0, 1.0, 1.0, 0.8, 0.6, 0.4, 0.3, 0.2};
  s.dam_min_age = 2;
  s.dam_max_age = 10;
  s.dam_survival = 0.75;
  s.pareto_alpha = 1.3;
  s.max_weight = 50.0;
  s.ai_year = 0;
  s.inherit = 0.5;
  s.unknown_sire_early = 0.30;
  s.unknown_sire_late = 0.06;
  s.unknown_dam_early = 0.20;
  s.unknown_dam_late = 0.03;
  s.unknown_decay_years = 5.0;
  return s;
}

// Kept share of the male births that gives about the share r of animals used
// as sires in the herd book (--sire-share): two births per male, and some kept
// sires end up without progeny, more of them when there are many (measured).
double herdbook_kept_share(double r) { return std::min(0.95, 2.2 * r * (1.0 + 0.85 * r)); }

Shape herdbook_shape() {
  Shape s;
  s.years = 60;
  s.growth = 1.05;
  s.sire_share = 0.016;
  s.dam_share = 0.9;
  s.sire_min_age = 2;
  s.sire_max_age = 14;
  s.sire_age_factor = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 0.8, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1};
  s.dam_min_age = 2;
  s.dam_max_age = 12;
  s.dam_survival = 0.55;
  s.pareto_alpha = 1.3;
  s.max_weight = 5.0;
  s.ai_year = 25;
  s.inherit = 0.0;
  s.unknown_sire_early = 0.85;
  s.unknown_sire_late = 0.004;
  s.unknown_dam_early = 0.75;
  s.unknown_dam_late = 0.002;
  s.unknown_decay_years = 3.0;
  return s;
}

struct Options {
  uint64_t lines = 0;
  bool lines_given = false;
  uint64_t seed = 1;
  std::string shape_name = "livestock";
  std::string out;
  double repeat_rate = 0.0;
  double self_parent_rate = 0.0;
  bool unsorted = false;
  uint64_t loop = 0;
  uint64_t chain = 0;
  std::string stats_file;
  int gene_drop = 0;
  uint64_t keys = 0;
  bool keys_given = false;
  std::string keys_out;
  double sire_share = -1;  // share of animals used as sires; < 0: the shape's own
};

constexpr uint64_t kMaxLines = 1000000000ULL;  // nine-digit serials

bool parse_count(const char* text, uint64_t& value) {
  char* end = nullptr;
  errno = 0;
  const double d = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(d >= 0) || d > 1e18 ||
      d != std::floor(d)) {
    return false;
  }
  value = static_cast<uint64_t>(d);
  return true;
}

bool parse_rate(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return errno == 0 && end != text && *end == '\0' && value >= 0.0 && value <= 1.0;
}

// Returns 0 on success, 1 after --help, 2 on a usage error (message printed).
int parse_options(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&](const char*& v) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "Error: option %s needs a value\n", argv[i]);
        return false;
      }
      v = argv[++i];
      return true;
    };
    auto bad = [&](const char* v) {
      std::fprintf(stderr, "Error: bad value '%s' for %s\n", v, argv[i - 1]);
      return 2;
    };
    const char* v = nullptr;
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 1;
    } else if (a == "-n" || a == "--lines") {
      if (!value(v)) return 2;
      if (!parse_count(v, o.lines)) return bad(v);
      o.lines_given = true;
    } else if (a == "-o" || a == "--out") {
      if (!value(v)) return 2;
      o.out = v;
    } else if (a == "-s" || a == "--seed") {
      if (!value(v)) return 2;
      if (!parse_count(v, o.seed)) return bad(v);
    } else if (a == "--shape") {
      if (!value(v)) return 2;
      o.shape_name = v;
      if (o.shape_name != "livestock" && o.shape_name != "herdbook" &&
          o.shape_name != "natural" && o.shape_name != "deep" && o.shape_name != "closed") {
        return bad(v);
      }
    } else if (a == "--sire-share") {
      if (!value(v)) return 2;
      if (!parse_rate(v, o.sire_share) || o.sire_share < 0.001 || o.sire_share > 0.4) return bad(v);
    } else if (a == "--repeat-rate") {
      if (!value(v)) return 2;
      if (!parse_rate(v, o.repeat_rate) || o.repeat_rate >= 1.0) return bad(v);
    } else if (a == "--self-parent-rate") {
      if (!value(v)) return 2;
      if (!parse_rate(v, o.self_parent_rate)) return bad(v);
    } else if (a == "--unsorted") {
      o.unsorted = true;
    } else if (a == "--loop") {
      if (!value(v)) return 2;
      if (!parse_count(v, o.loop) || o.loop == 0) return bad(v);
    } else if (a == "--chain") {
      if (!value(v)) return 2;
      if (!parse_count(v, o.chain) || o.chain == 0) return bad(v);
    } else if (a == "--stats") {
      if (!value(v)) return 2;
      o.stats_file = v;
    } else if (a == "--gene-drop") {
      if (!value(v)) return 2;
      uint64_t r = 0;
      if (!parse_count(v, r) || r > 32) return bad(v);
      o.gene_drop = static_cast<int>(r);
    } else if (a == "--keys") {
      if (!value(v)) return 2;
      if (!parse_count(v, o.keys)) return bad(v);
      o.keys_given = true;
    } else if (a == "--keys-out") {
      if (!value(v)) return 2;
      o.keys_out = v;
    } else {
      std::fprintf(stderr, "Error: unknown argument '%s'\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (!o.lines_given) {
    std::fprintf(stderr, "Error: the number of lines (-n) is required\n%s", kUsage);
    return 2;
  }
  if (o.lines > kMaxLines) {
    std::fprintf(stderr, "Error: at most %llu lines\n", static_cast<unsigned long long>(kMaxLines));
    return 2;
  }
  if (o.loop + o.chain > o.lines) {
    std::fprintf(stderr, "Error: --loop and --chain need more lines than -n gives\n");
    return 2;
  }
  if (o.sire_share >= 0 && o.shape_name == "livestock") {
    std::fprintf(stderr, "Error: --sire-share needs --shape herdbook, natural, deep or closed\n");
    return 2;
  }
  if (o.keys_given == o.keys_out.empty()) {
    std::fprintf(stderr, "Error: --keys and --keys-out go together\n");
    return 2;
  }
  return 0;
}

// ----------------------------------------------------------- identifiers ---

// Identifier of the animal of global index i: a country code and nine digits.
// The digits are an affine bijection of the index modulo 10^9, so identifiers
// are unique and do not come out in ascending order.
class IdFormat {
 public:
  static constexpr size_t kLength = 12;
  void write(uint64_t index, char* out) const {
    uint64_t number = (index * 7654321ULL + 104729ULL) % 1000000000ULL;
    const char* country = kCountries[(number / 100000) % kNumCountries];
    out[0] = country[0];
    out[1] = country[1];
    out[2] = country[2];
    for (int k = 11; k >= 3; --k) {
      out[k] = static_cast<char>('0' + number % 10);
      number /= 10;
    }
  }

 private:
  static constexpr int kNumCountries = 8;
  static constexpr const char* kCountries[kNumCountries] = {"DEU", "NLD", "FRA", "DNK",
                                                            "USA", "CAN", "GBR", "ITA"};
};

// ---------------------------------------------------------------- output ---

// Buffered writer for a FILE*; remembers the first failure.
class Sink {
 public:
  explicit Sink(std::FILE* f) : f_(f) { buf_.reserve(kSize); }
  void put(const char* p, size_t n) {
    if (buf_.size() + n > kSize) flush();
    buf_.append(p, n);
  }
  void flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
    buf_.clear();
  }
  bool ok() const { return ok_; }

 private:
  static constexpr size_t kSize = 1 << 20;
  std::FILE* f_;
  std::string buf_;
  bool ok_ = true;
};

// Line writer. In sorted mode lines go straight to the sink. In unsorted mode
// they are cut into blocks of a few lines; the blocks go to an anonymous
// temporary file and are copied to the sink at the end in a shuffled order, so
// memory stays bounded (one block index entry per block).
class LineWriter {
 public:
  LineWriter(Sink& sink, bool unsorted, uint64_t lines, uint64_t seed)
      : sink_(sink), unsorted_(unsorted), rng_(seed ^ 0x5DEECE66DULL) {
    if (unsorted_) {
      // About 256 blocks at least, so that small files are shuffled too.
      block_lines_ = std::clamp<uint64_t>(lines / 256, 1, 4096);
      tmp_ = std::tmpfile();
      if (tmp_ == nullptr) ok_ = false;
    }
  }
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;
  ~LineWriter() {
    if (tmp_ != nullptr) std::fclose(tmp_);
  }

  void line(const char* p, size_t n) {
    if (!unsorted_) {
      sink_.put(p, n);
      return;
    }
    block_.append(p, n);
    if (++in_block_ == block_lines_) end_block();
  }

  // Writes out the shuffled blocks; false when a temporary file failed.
  bool finish() {
    if (!unsorted_) return ok_;
    if (!ok_) return false;
    end_block();
    for (size_t i = blocks_.size(); i > 1; --i) {
      std::swap(blocks_[i - 1], blocks_[rng_.below(i)]);
    }
    std::string buf;
    for (const Block& b : blocks_) {
      buf.resize(b.size);
      if (std::fseek(tmp_, static_cast<long>(b.offset), SEEK_SET) != 0 ||
          std::fread(buf.data(), 1, b.size, tmp_) != b.size) {
        return false;
      }
      sink_.put(buf.data(), buf.size());
    }
    return true;
  }

 private:
  struct Block {
    uint64_t offset;
    uint32_t size;
  };
  void end_block() {
    if (block_.empty() || !ok_) return;
    if (std::fwrite(block_.data(), 1, block_.size(), tmp_) != block_.size()) ok_ = false;
    blocks_.push_back({offset_, static_cast<uint32_t>(block_.size())});
    offset_ += block_.size();
    block_.clear();
    in_block_ = 0;
  }

  Sink& sink_;
  bool unsorted_;
  Rng rng_;
  uint64_t block_lines_ = 0;
  std::FILE* tmp_ = nullptr;
  std::string block_;
  uint64_t in_block_ = 0;
  uint64_t offset_ = 0;
  std::vector<Block> blocks_;
  bool ok_ = true;
};

// Walker's alias table: draws index k with probability weight[k] / sum in
// constant time (two random numbers), whatever the number of weights.
class AliasTable {
 public:
  void build(const std::vector<double>& weight) {
    const size_t n = weight.size();
    prob_.assign(n, 1.0);
    alias_.resize(n);
    for (size_t k = 0; k < n; ++k) alias_[k] = static_cast<uint32_t>(k);
    double sum = 0;
    for (double w : weight) sum += w;
    if (n == 0 || !(sum > 0)) return;
    std::vector<double> scaled(n);
    std::vector<uint32_t> small, large;
    for (size_t k = 0; k < n; ++k) {
      scaled[k] = weight[k] * static_cast<double>(n) / sum;
      (scaled[k] < 1.0 ? small : large).push_back(static_cast<uint32_t>(k));
    }
    while (!small.empty() && !large.empty()) {
      const uint32_t s = small.back(), l = large.back();
      small.pop_back();
      prob_[s] = scaled[s];
      alias_[s] = l;
      scaled[l] -= 1.0 - scaled[s];
      if (scaled[l] < 1.0) {
        large.pop_back();
        small.push_back(l);
      }
    }
    // Whatever is left has probability 1 up to rounding.
  }
  bool empty() const { return prob_.empty(); }
  size_t draw(Rng& rng) const {
    const size_t k = rng.below(prob_.size());
    return rng.uniform() < prob_[k] ? k : alias_[k];
  }

 private:
  std::vector<double> prob_;
  std::vector<uint32_t> alias_;
};

// ------------------------------------------------------------ simulation ---

constexpr uint64_t kNone = UINT64_MAX;

struct Dam {
  uint32_t index;
  uint16_t path;
};

struct Sire {
  uint32_t index;
  uint16_t path;
  float weight;
  uint32_t progeny;
  uint32_t daughters;
};

struct Stats {
  uint64_t lines = 0;
  uint64_t animals = 0;  // distinct animals (lines that are not repeats)
  uint64_t unknown_sire = 0, unknown_dam = 0;
  uint64_t founders = 0;  // animals with no known parent
  uint64_t sires_used = 0, dams_used = 0;
  uint64_t max_progeny = 0, max_daughters = 0;
  uint64_t path_animals = 0, path_sum = 0, path_max = 0;
  uint64_t repeats = 0, self_parents = 0;
  uint64_t loop_animals = 0, chain_animals = 0;
  int years = 0;
  uint64_t units = 0;              // herds, breeds or populations (0: one population)
  double sire_share_target = -1;   // share of animals asked to be sires (< 0: none asked)
  double gene_drop_sum = 0;
  uint64_t gene_drop_animals = 0;
};

// Alleles of the parent pools for the gene-dropping estimate: 2 * R labels per
// kept animal, sire-side copies first. A founder allele's label is 2 * index
// (from the sire side) or 2 * index + 1 (from the dam side).
using Alleles = std::vector<uint32_t>;

// What every shape shares: the running animal index, the written lines, the
// statistics, the key sample, the last lines (for --repeat-rate) and the
// inserted chain and loop. The shapes only decide the regular animals.
class Recorder {
 public:
  Recorder(const Options& o, LineWriter& w)
      : o_(o), w_(w), key_rng_(o.seed ^ 0xC0FFEE1234ULL) {
    // Line positions of the inserted chain and loop: a third of the remaining
    // lines before the chain, a third between chain and loop.
    const uint64_t free_lines = o.lines - o.chain - o.loop;
    chain_start_ = free_lines / 3;
    loop_start_ = chain_start_ + o.chain + free_lines / 3;
    recent_.resize(4096);
  }

  // Expected number of regular animals (lines that are not chain, loop or
  // repeated lines).
  double expected_regular() const {
    return static_cast<double>(o_.lines - o_.chain - o_.loop) * (1.0 - o_.repeat_rate);
  }

  // Writes all lines; regular() writes one regular animal through animal().
  template <class Regular>
  void run(Rng& rng, Regular&& regular) {
    for (uint64_t pos = 0; pos < o_.lines; ++pos) {
      if (o_.chain > 0 && pos >= chain_start_ && pos < chain_start_ + o_.chain) {
        chain_line(pos - chain_start_);
      } else if (o_.loop > 0 && pos >= loop_start_ && pos < loop_start_ + o_.loop) {
        loop_line(pos - loop_start_);
      } else if (o_.repeat_rate > 0 && recent_count_ > 0 && rng.chance(o_.repeat_rate)) {
        const auto& r = recent_[rng.below(recent_count_)];
        emit(r.animal, r.sire, r.dam);
        ++stats_.repeats;
      } else {
        regular();
      }
    }
  }

  uint64_t new_index() { return next_index_++; }

  // Writes a regular animal (sire/dam kNone when unknown) and books it.
  void animal(uint64_t index, uint64_t sire, uint64_t dam, uint64_t path) {
    emit(index, sire, dam);
    new_animal(index, sire != kNone, dam != kNone, true, path);
    recent_[recent_next_] = {index, sire, dam};
    recent_next_ = (recent_next_ + 1) % recent_.size();
    recent_count_ = std::min(recent_count_ + 1, recent_.size());
  }

  // Books the gene-dropping outcome of one animal: ibd of r replicates.
  void gene_drop(int ibd, int r) {
    stats_.gene_drop_sum += static_cast<double>(ibd) / r;
    ++stats_.gene_drop_animals;
  }

  Stats& stats() { return stats_; }
  const Stats& stats() const { return stats_; }
  const std::vector<uint64_t>& keys() const { return keys_; }

 private:
  void emit(uint64_t animal, uint64_t sire, uint64_t dam) {
    char buf[3 * IdFormat::kLength + 3];
    size_t n = 0;
    ids_.write(animal, buf);
    n += IdFormat::kLength;
    for (uint64_t parent : {sire, dam}) {
      buf[n++] = ' ';
      if (parent == kNone) {
        buf[n++] = '0';
      } else {
        ids_.write(parent, buf + n);
        n += IdFormat::kLength;
      }
    }
    buf[n++] = '\n';
    w_.line(buf, n);
    ++stats_.lines;
  }

  // Bookkeeping of a new (non-repeated) animal.
  void new_animal(uint64_t index, bool sire_known, bool dam_known, bool path_defined,
                  uint64_t path) {
    ++stats_.animals;
    if (!sire_known) ++stats_.unknown_sire;
    if (!dam_known) ++stats_.unknown_dam;
    if (!sire_known && !dam_known) ++stats_.founders;
    if (path_defined) {
      ++stats_.path_animals;
      stats_.path_sum += path;
      stats_.path_max = std::max(stats_.path_max, path);
    }
    // Reservoir sample of the key animals (its own random stream, so asking
    // for keys changes nothing in the pedigree).
    if (o_.keys > 0) {
      if (keys_.size() < o_.keys) {
        keys_.push_back(index);
      } else {
        const uint64_t j = key_rng_.below(key_seen_ + 1);
        if (j < o_.keys) keys_[j] = index;
      }
      ++key_seen_;
    }
  }

  // Chain animal k: the first is a founder, each later one has the previous
  // one as its sire and an unknown dam.
  void chain_line(uint64_t k) {
    const uint64_t index = next_index_++;
    const uint64_t sire = k == 0 ? kNone : chain_prev_;
    emit(index, sire, kNone);
    new_animal(index, sire != kNone, false, true, k);
    if (k > 0) ++stats_.sires_used;
    chain_prev_ = index;
    ++stats_.chain_animals;
  }

  // Loop animal k of N: its sire is loop animal k - 1, and the first one's
  // sire is the last one, so the N animals are their own ancestors. Their
  // dams are unknown; the loop stands apart from the rest of the pedigree.
  void loop_line(uint64_t k) {
    if (k == 0) loop_first_ = next_index_;
    const uint64_t index = next_index_++;
    const uint64_t sire = k == 0 ? loop_first_ + o_.loop - 1 : index - 1;
    emit(index, sire, kNone);
    new_animal(index, true, false, false, 0);
    ++stats_.sires_used;
    ++stats_.loop_animals;
  }

  struct Recent {
    uint64_t animal, sire, dam;
  };

  const Options& o_;
  LineWriter& w_;
  IdFormat ids_;
  Rng key_rng_;
  Stats stats_;
  uint64_t next_index_ = 0;
  uint64_t chain_start_ = 0, loop_start_ = 0;
  uint64_t chain_prev_ = 0, loop_first_ = 0;
  std::vector<Recent> recent_;
  size_t recent_next_ = 0, recent_count_ = 0;
  std::vector<uint64_t> keys_;
  uint64_t key_seen_ = 0;
};

// The livestock and herd-book shapes: one population, sires and dams drawn
// from whole birth-year cohorts.
class Simulator {
 public:
  Simulator(const Options& o, const Shape& s, Recorder& r)
      : o_(o), s_(s), r_(r), rng_(o.seed), drop_rng_(o.seed ^ 0xD1CE5EEDULL),
        dams_(s.years), sires_(s.years), dam_alleles_(s.years), sire_alleles_(s.years) {
    r_.stats().years = s.years;
    // Births per year for the regular animals, growing by s.growth.
    const double expected_regular = r_.expected_regular();
    double total = 0;
    for (int t = 0; t < s.years; ++t) total += std::pow(s.growth, t);
    double cumulative = 0;
    quota_end_.resize(s.years);
    for (int t = 0; t < s.years; ++t) {
      cumulative += std::pow(s.growth, t) / total;
      quota_end_[t] = static_cast<uint64_t>(std::llround(expected_regular * cumulative));
    }
  }

  void run() {
    start_year(0);
    r_.run(rng_, [this] {
      while (year_ + 1 < s_.years && regular_ >= quota_end_[year_]) start_year(year_ + 1);
      regular_animal();
      ++regular_;
    });
    for (int t = 0; t < s_.years; ++t) retire(t);
  }

 private:
  void start_year(int t) {
    year_ = t;
    // Cohorts too old to be a parent any more are dropped.
    const int oldest = t - std::max(s_.sire_max_age, s_.dam_max_age);
    if (oldest - 1 >= 0) retire(oldest - 1);

    dam_cohorts_.clear();
    dam_cum_.clear();
    double sum = 0;
    for (int a = s_.dam_min_age; a <= s_.dam_max_age; ++a) {
      const int y = t - a;
      if (y < 0 || dams_[y].empty()) continue;
      sum += static_cast<double>(dams_[y].size()) * std::pow(s_.dam_survival, a - s_.dam_min_age);
      dam_cohorts_.push_back(y);
      dam_cum_.push_back(sum);
    }

    sire_pool_.clear();
    std::vector<double> sire_weight;
    for (int a = s_.sire_min_age; a <= s_.sire_max_age; ++a) {
      const int y = t - a;
      if (y < 0) continue;
      const size_t k = static_cast<size_t>(a - s_.sire_min_age);
      const double factor = k < s_.sire_age_factor.size() ? s_.sire_age_factor[k] : 0.0;
      if (factor <= 0) continue;
      for (uint32_t i = 0; i < sires_[y].size(); ++i) {
        sire_weight.push_back(sires_[y][i].weight * factor);
        sire_pool_.push_back({y, i});
      }
    }
    sire_alias_.build(sire_weight);
    const double years_in = static_cast<double>(t) / s_.unknown_decay_years;
    const double decay = std::exp(-years_in);
    p_unknown_sire_ = s_.unknown_sire_late + (s_.unknown_sire_early - s_.unknown_sire_late) * decay;
    p_unknown_dam_ = s_.unknown_dam_late + (s_.unknown_dam_early - s_.unknown_dam_late) * decay;
    sire_kept_this_year_ = false;
    dam_kept_this_year_ = false;
  }

  void retire(int y) {
    for (const Sire& s : sires_[y]) {
      if (s.progeny > 0) ++r_.stats().sires_used;
      r_.stats().max_progeny = std::max<uint64_t>(r_.stats().max_progeny, s.progeny);
      r_.stats().max_daughters = std::max<uint64_t>(r_.stats().max_daughters, s.daughters);
    }
    r_.stats().dams_used += dam_used_[y];
    dam_used_[y] = 0;
    std::vector<Sire>().swap(sires_[y]);
    std::vector<Dam>().swap(dams_[y]);
    Alleles().swap(dam_alleles_[y]);
    Alleles().swap(sire_alleles_[y]);
  }

  static size_t pick(const std::vector<double>& cum, double u) {
    const double x = u * cum.back();
    const size_t k = static_cast<size_t>(std::upper_bound(cum.begin(), cum.end(), x) - cum.begin());
    return std::min(k, cum.size() - 1);
  }

  void regular_animal() {
    const uint64_t index = r_.new_index();
    const bool male = (rng_.next() & 1) != 0;

    Sire* sire = nullptr;
    const uint32_t* sire_al = nullptr;
    if (!sire_pool_.empty() && !rng_.chance(p_unknown_sire_)) {
      const auto [y, i] = sire_pool_[sire_alias_.draw(rng_)];
      sire = &sires_[y][i];
      if (o_.gene_drop > 0) sire_al = &sire_alleles_[y][static_cast<size_t>(i) * 2 * o_.gene_drop];
    }
    Dam* dam = nullptr;
    const uint32_t* dam_al = nullptr;
    int dam_year = -1;
    if (!dam_cohorts_.empty() && !rng_.chance(p_unknown_dam_)) {
      dam_year = dam_cohorts_[pick(dam_cum_, rng_.uniform())];
      const uint64_t i = rng_.below(dams_[dam_year].size());
      dam = &dams_[dam_year][i];
      if (o_.gene_drop > 0) dam_al = &dam_alleles_[dam_year][i * 2 * o_.gene_drop];
    }

    // An animal given as its own parent: that parent's field names the
    // animal itself instead of the one drawn.
    uint64_t self_sire = kNone, self_dam = kNone;
    const bool self_parent = o_.self_parent_rate > 0 && rng_.chance(o_.self_parent_rate);
    if (self_parent) {
      ++r_.stats().self_parents;
      if ((rng_.next() & 1) != 0) {
        self_sire = index;
        sire = nullptr;
        sire_al = nullptr;
      } else {
        self_dam = index;
        dam = nullptr;
        dam_al = nullptr;
      }
    }

    uint64_t path = 0;
    if (sire != nullptr) path = std::max<uint64_t>(path, sire->path + 1u);
    if (dam != nullptr) path = std::max<uint64_t>(path, dam->path + 1u);
    if (sire != nullptr) {
      ++sire->progeny;
      if (!male) ++sire->daughters;
    }

    // Gene dropping: one allele from each parent per replicate.
    uint32_t al[64];
    if (o_.gene_drop > 0) {
      const int r = o_.gene_drop;
      const uint64_t bits = drop_rng_.next();
      int ibd = 0;
      for (int k = 0; k < r; ++k) {
        const uint32_t from_sire =
            sire_al ? sire_al[2 * k + ((bits >> (2 * k)) & 1)] : static_cast<uint32_t>(2 * index);
        const uint32_t from_dam = dam_al ? dam_al[2 * k + ((bits >> (2 * k + 1)) & 1)]
                                         : static_cast<uint32_t>(2 * index + 1);
        al[2 * k] = from_sire;
        al[2 * k + 1] = from_dam;
        if (from_sire == from_dam) ++ibd;
      }
      r_.gene_drop(ibd, r);
    }

    // Kept as a parent? The first male and female of each year are kept
    // whatever the shares, so that small files have parents too. Animals
    // given as their own parent are never kept.
    const double u = rng_.uniform();
    if (!self_parent) {
      if (male && (u < s_.sire_share || !sire_kept_this_year_)) {
        sire_kept_this_year_ = true;
        // Heavy-tailed usage weight, partly inherited from the sire.
        const double pareto =
            std::min(year_ >= s_.ai_year ? 1e30 : s_.max_weight, std::pow(1.0 - rng_.uniform(), -1.0 / s_.pareto_alpha));
        const double inherited = sire ? std::pow(sire->weight, s_.inherit) : 1.0;
        sires_[year_].push_back({static_cast<uint32_t>(index), static_cast<uint16_t>(path),
                                 static_cast<float>(pareto * inherited), 0, 0});
        if (o_.gene_drop > 0) {
          sire_alleles_[year_].insert(sire_alleles_[year_].end(), al, al + 2 * o_.gene_drop);
        }
      } else if (!male && (u < s_.dam_share || !dam_kept_this_year_)) {
        dam_kept_this_year_ = true;
        dams_[year_].push_back({static_cast<uint32_t>(index), static_cast<uint16_t>(path)});
        if (o_.gene_drop > 0) {
          dam_alleles_[year_].insert(dam_alleles_[year_].end(), al, al + 2 * o_.gene_drop);
        }
      }
    }
    if (dam != nullptr) note_dam(dam_year, dam->index);

    const uint64_t sire_index = sire ? sire->index : self_sire;
    const uint64_t dam_index = dam ? dam->index : self_dam;
    r_.animal(index, sire_index, dam_index, path);
  }

  // Counts distinct dams: a dam is counted the first time she has progeny.
  void note_dam(int y, uint32_t index) {
    if (dam_seen_.size() <= index / 64) dam_seen_.resize(index / 64 + 1024, 0);
    uint64_t& word = dam_seen_[index / 64];
    const uint64_t bit = 1ULL << (index % 64);
    if ((word & bit) == 0) {
      word |= bit;
      ++dam_used_[y];
    }
  }


  const Options& o_;
  const Shape& s_;
  Recorder& r_;
  Rng rng_;
  Rng drop_rng_;  // gene dropping: its own stream, so the pedigree stays the same

  std::vector<std::vector<Dam>> dams_;
  std::vector<std::vector<Sire>> sires_;
  std::vector<Alleles> dam_alleles_;
  std::vector<Alleles> sire_alleles_;
  std::vector<uint64_t> dam_used_ = std::vector<uint64_t>(static_cast<size_t>(s_.years), 0);
  std::vector<uint64_t> dam_seen_;  // one bit per global index

  int year_ = 0;
  uint64_t regular_ = 0;
  std::vector<uint64_t> quota_end_;
  std::vector<int> dam_cohorts_;
  std::vector<double> dam_cum_;
  std::vector<std::pair<int, uint32_t>> sire_pool_;
  AliasTable sire_alias_;
  double p_unknown_sire_ = 1.0, p_unknown_dam_ = 1.0;
  bool sire_kept_this_year_ = false, dam_kept_this_year_ = false;
};

// ------------------------------------------------- herds, breeds, zoos ---

// The natural-service, deep and closed shapes: the population is split into
// units (herds or flocks, breeds, zoo populations), and an animal's parents
// come from its own unit's sires and dams. Each unit keeps only its current
// sires and dams and its young animals of the last few birth years.
//
// A block is a set of units simulated together, birth year by birth year;
// blocks are simulated one after another and share nothing. Natural service
// is one block of many herds that buy young sires from each other; a deep
// (breed) or closed (zoo) population is a block of its own.
struct HerdShape {
  int years;                        // birth years of a block
  bool unit_per_block;              // every unit a closed block of its own
  double unit_births_min, unit_births_max;  // nominal births a year of one unit
  double unit_lines_min, unit_lines_max;    // lines of a block (when > 0; else
                                            // years * births a year)
  int founders_min, founders_max;   // births of the first year (0: as any year)
  double ramp_years;                // births grow to the nominal level over these years
  double unit_growth;               // units of year t+1 / units of year t (one block of many)
  double births_growth;             // births of a unit in year t+1 / in year t
  double sire_share;                // default share of animals used as sires
  int sire_start_min, sire_start_max;        // ages at which a young male starts as a sire
  int sire_service_min, sire_service_max;    // years a sire is used
  double buy_in;                    // share of new sires bred in another unit of the block
  double pareto_alpha, max_weight;  // sire usage weights (Pareto, capped)
  double inherit;                   // exponent of the sire's weight passed on to sons
  double dams_per_birth;            // dams kept per planned birth of the year
  int dam_start_min, dam_start_max; // ages at which a young female starts as a dam
  int dam_max_age;
  double dam_survival;              // chance that a dam is kept one more year
  double litter;                    // chance that a birth repeats the previous birth's parents
  double unknown_sire_early, unknown_sire_late;
  double unknown_dam_early, unknown_dam_late;
  double unknown_decay_years;
};

// Sheep, beef cattle, goats: herds of 30 to 60 births a year whose number
// grows by 3 % a year (new herds buy their first dams and sires from older
// ones); each herd uses its own sires for 1 to 3 years, mostly home-bred sons,
// 15 % bought in as young males from another herd; dams stay in their herd
// from age 2 to at most 10. 60 birth years give a mean longest ancestral path
// of about 21 and a largest of about 40.
HerdShape natural_shape() {
  HerdShape s;
  s.years = 60;
  s.unit_per_block = false;
  s.unit_births_min = 30;
  s.unit_births_max = 60;
  s.unit_lines_min = s.unit_lines_max = 0;
  s.founders_min = s.founders_max = 0;
  s.ramp_years = 0;
  s.unit_growth = 1.03;
  s.births_growth = 1.0;
  s.sire_share = 0.05;
  s.sire_start_min = 1;
  s.sire_start_max = 2;
  s.sire_service_min = 1;
  s.sire_service_max = 3;
  s.buy_in = 0.15;
  s.pareto_alpha = 2.0;
  s.max_weight = 3.0;
  s.inherit = 0.0;
  s.dams_per_birth = 1.0;
  s.dam_start_min = 2;
  s.dam_start_max = 3;
  s.dam_max_age = 10;
  s.dam_survival = 0.75;
  s.litter = 0.3;
  s.unknown_sire_early = 0.40;
  s.unknown_sire_late = 0.02;
  s.unknown_dam_early = 0.30;
  s.unknown_dam_late = 0.01;
  s.unknown_decay_years = 5.0;
  return s;
}

// Dogs, horses: closed breeds of 400 to 1,200 births a year (1,000 to 3,000 a
// generation of about 2.5 years), growing 1.5 % a year, over 125 birth years
// (about 50 generations); parents from age 1, popular sires (heavy-tailed
// usage weights, partly passed on to sons), litters of full sibs. Mean
// longest ancestral path about 55, largest about 92, mean F 0.1 to 0.2.
HerdShape deep_shape() {
  HerdShape s;
  s.years = 125;
  s.unit_per_block = true;
  s.unit_births_min = 400;
  s.unit_births_max = 1200;
  s.unit_lines_min = s.unit_lines_max = 0;
  s.founders_min = s.founders_max = 0;
  s.ramp_years = 0;
  s.unit_growth = 1.0;
  s.births_growth = 1.015;
  s.sire_share = 0.05;
  s.sire_start_min = 1;
  s.sire_start_max = 2;
  s.sire_service_min = 1;
  s.sire_service_max = 4;
  s.buy_in = 0.0;
  s.pareto_alpha = 2.0;
  s.max_weight = 1e30;
  s.inherit = 0.2;
  s.dams_per_birth = 0.3;
  s.dam_start_min = 1;
  s.dam_start_max = 2;
  s.dam_max_age = 7;
  s.dam_survival = 0.6;
  s.litter = 0.5;
  s.unknown_sire_early = 0.30;
  s.unknown_sire_late = 0.005;
  s.unknown_dam_early = 0.30;
  s.unknown_dam_late = 0.005;
  s.unknown_decay_years = 5.0;
  return s;
}

// A zoo or conservation population: 10 to 20 founders, all later parents
// known, 2,000 to 5,000 animals over 40 birth years (births grow over the
// first 12 years); a few sires, no mate choice, so sib and parent-offspring
// matings happen and F reaches 0.5. Larger files hold several independent
// populations, one after another.
HerdShape closed_shape() {
  HerdShape s;
  s.years = 40;
  s.unit_per_block = true;
  s.unit_births_min = s.unit_births_max = 1;  // one unit a block: its lines set the size
  s.unit_lines_min = 2000;
  s.unit_lines_max = 5000;
  s.founders_min = 10;
  s.founders_max = 20;
  s.ramp_years = 12;
  s.unit_growth = 1.0;
  s.births_growth = 1.0;
  s.sire_share = 0.02;
  s.sire_start_min = 2;
  s.sire_start_max = 4;
  s.sire_service_min = 2;
  s.sire_service_max = 6;
  s.buy_in = 0.0;
  s.pareto_alpha = 1.5;
  s.max_weight = 5.0;
  s.inherit = 0.0;
  s.dams_per_birth = 0.8;
  s.dam_start_min = 2;
  s.dam_start_max = 4;
  s.dam_max_age = 15;
  s.dam_survival = 0.85;
  s.litter = 0.3;
  s.unknown_sire_early = s.unknown_sire_late = 0.0;
  s.unknown_dam_early = s.unknown_dam_late = 0.0;
  s.unknown_decay_years = 1.0;
  return s;
}

// An animal held by a unit: a sire, a dam or a young animal that may become one.
struct Member {
  uint32_t index;
  uint16_t path;
  int16_t until;    // parents: last birth year of use
  float weight;     // sires: usage weight; young males: the factor inherited from the sire
  uint32_t progeny;
  uint32_t daughters;
};

// Members with their gene-dropping alleles (stride labels each, none when
// gene dropping is off); removal moves the last member into the gap.
class Pool {
 public:
  size_t size() const { return m_.size(); }
  bool empty() const { return m_.empty(); }
  Member& operator[](size_t i) { return m_[i]; }
  const uint32_t* alleles(size_t i, size_t stride) const {
    return stride == 0 ? nullptr : &al_[i * stride];
  }
  void push(const Member& m, const uint32_t* al, size_t stride) {
    m_.push_back(m);
    if (stride > 0) al_.insert(al_.end(), al, al + stride);
  }
  // Moves member i into dst.
  void move_to(size_t i, Pool& dst, size_t stride) {
    dst.push(m_[i], alleles(i, stride), stride);
    remove(i, stride);
  }
  void remove(size_t i, size_t stride) {
    if (i + 1 != m_.size()) {
      m_[i] = m_.back();
      if (stride > 0) std::copy(al_.end() - static_cast<std::ptrdiff_t>(stride), al_.end(),
                                al_.begin() + static_cast<std::ptrdiff_t>(i * stride));
    }
    m_.pop_back();
    if (stride > 0) al_.resize(al_.size() - stride);
  }
  void clear() {
    std::vector<Member>().swap(m_);
    Alleles().swap(al_);
  }
  int year = -1;  // birth year of a cohort of young animals

 private:
  std::vector<Member> m_;
  Alleles al_;
};

struct Unit {
  double size = 1;   // nominal births a year
  int start = 0;     // first birth year
  Pool sires, dams;
  std::vector<Pool> young_males, young_females;  // by birth year modulo the window
  double sire_credit = 0;
  std::vector<double> sire_cum;  // cumulative usage weights of this year's sires
};

class HerdSimulator {
 public:
  HerdSimulator(const Options& o, const HerdShape& s, Recorder& r)
      : o_(o), s_(s), r_(r), rng_(o.seed), drop_rng_(o.seed ^ 0xD1CE5EEDULL),
        layout_rng_(o.seed ^ 0x1A70A75EEDULL),
        stride_(static_cast<size_t>(2 * o.gene_drop)),
        sire_share_(o.sire_share >= 0 ? o.sire_share : s.sire_share),
        window_(std::max(s.sire_start_max, s.dam_start_max) + 1) {
    r_.stats().years = s.years;
    plan_blocks();
    // Births of one year relative to the nominal level.
    year_weight_.resize(static_cast<size_t>(s.years));
    for (int t = 0; t < s.years; ++t) {
      year_weight_[t] = std::pow(s.births_growth, t) *
                        (s.ramp_years > 0 ? std::min(1.0, (t + 1.0) / s.ramp_years) : 1.0);
    }
  }

  void run() {
    start_block(0);
    r_.run(rng_, [this] { regular_animal(); });
    end_block();
  }

  uint64_t units() const { return units_total_; }
  double sire_share() const { return sire_share_; }

 private:
  // Block sizes: the expected regular lines split over the blocks in
  // proportion to their nominal sizes (drawn from the layout stream).
  void plan_blocks() {
    const double lines = r_.expected_regular();
    auto draw = [&](double lo, double hi) { return lo + (hi - lo) * layout_rng_.uniform(); };
    const double unit_mean = (s_.unit_births_min + s_.unit_births_max) / 2;
    const double unit_lines = s_.unit_lines_max > 0
                                  ? (s_.unit_lines_min + s_.unit_lines_max) / 2
                                  : unit_mean * s_.years;
    // With many units in a block their number grows over the years: the
    // units of a year per unit of the last year, summed over the years.
    double unit_years = 0;
    for (int t = 0; t < s_.years; ++t) unit_years += std::pow(s_.unit_growth, t - (s_.years - 1));
    const uint64_t units = std::max<uint64_t>(
        1, std::llround(lines / (s_.unit_per_block ? unit_lines : unit_mean * unit_years)));
    units_total_ = units;
    if (s_.unit_per_block) {
      std::vector<double> size(units);
      double sum = 0;
      for (auto& x : size) sum += x = s_.unit_lines_max > 0 ? draw(s_.unit_lines_min, s_.unit_lines_max)
                                                            : draw(s_.unit_births_min, s_.unit_births_max);
      double cumulative = 0;
      uint64_t done = 0;
      for (uint64_t b = 0; b < units; ++b) {
        cumulative += size[b] / sum;
        const uint64_t end = std::llround(lines * cumulative);
        block_lines_.push_back(end - done);
        done = end;
        block_units_.push_back({1.0});
        block_starts_.push_back({0});
      }
    } else {
      std::vector<double> size(units);
      for (auto& x : size) x = draw(s_.unit_births_min, s_.unit_births_max);
      block_lines_.push_back(std::llround(lines));
      block_units_.push_back(size);
      // Unit k starts in the first year with more than k units.
      std::vector<int> start(units);
      for (uint64_t k = 0; k < units; ++k) {
        int t = 0;
        while (t + 1 < s_.years &&
               static_cast<double>(units) * std::pow(s_.unit_growth, t - (s_.years - 1)) <=
                   static_cast<double>(k)) {
          ++t;
        }
        start[k] = t;
      }
      block_starts_.push_back(start);
    }
  }

  void start_block(size_t b) {
    block_ = b;
    units_.clear();
    units_.resize(block_units_[b].size());
    for (size_t h = 0; h < units_.size(); ++h) {
      units_[h].size = block_units_[b][h];
      units_[h].start = block_starts_[b][h];
      units_[h].young_males.resize(static_cast<size_t>(window_));
      units_[h].young_females.resize(static_cast<size_t>(window_));
    }
    // First-year births: the founders, if the shape fixes their number.
    const uint64_t lines = block_lines_[b];
    founders_ = 0;
    if (s_.founders_max > 0) {
      founders_ = static_cast<uint64_t>(s_.founders_min) +
                  layout_rng_.below(static_cast<uint64_t>(s_.founders_max - s_.founders_min + 1));
      founders_ = std::min(founders_, lines);
    }
    double weight_sum = 0;
    for (int t = founders_ > 0 ? 1 : 0; t < s_.years; ++t) {
      for (const Unit& u : units_) {
        if (u.start <= t) weight_sum += year_weight_[t] * u.size;
      }
    }
    year_scale_ = weight_sum > 0 ? static_cast<double>(lines - founders_) / weight_sum : 0;
    planned_ = 0;
    expected_ = 0;
    older_ = 0;
    year_ = 0;
    unit_ = 0;
    start_unit_year();
  }

  // Retires the sires and dams of the block (they count when they had progeny).
  void end_block() {
    for (Unit& u : units_) {
      for (size_t i = 0; i < u.sires.size(); ++i) retire_sire(u.sires[i]);
      for (size_t i = 0; i < u.dams.size(); ++i) retire_dam(u.dams[i]);
    }
    units_.clear();
  }

  void retire_sire(const Member& m) {
    Stats& st = r_.stats();
    if (m.progeny > 0) ++st.sires_used;
    st.max_progeny = std::max<uint64_t>(st.max_progeny, m.progeny);
    st.max_daughters = std::max<uint64_t>(st.max_daughters, m.daughters);
  }
  void retire_dam(const Member& m) {
    if (m.progeny > 0) ++r_.stats().dams_used;
  }

  bool last_unit_year() const {
    return block_ + 1 == block_lines_.size() && year_ + 1 == s_.years && unit_ + 1 == units_.size();
  }

  // Moves on to the next unit, year or block.
  void advance() {
    if (++unit_ == units_.size()) {
      unit_ = 0;
      if (++year_ == s_.years) {
        end_block();
        start_block(block_ + 1);
        return;
      }
    }
    start_unit_year();
  }

  // A young animal of cohort c may start as a parent this year.
  bool eligible(const Pool& c, int min_age, int max_age) const {
    if (c.year < 0 || c.empty()) return false;
    const int age = year_ - c.year;
    return age >= (c.year == 0 ? 1 : min_age) && age <= max_age;
  }

  // Draws one young animal uniformly from the eligible cohorts of `cohorts`;
  // false when there is none. Sets c (cohort) and i (member).
  bool draw_young(std::vector<Pool>& cohorts, int min_age, int max_age, Pool*& c, size_t& i) {
    uint64_t total = 0;
    for (const Pool& p : cohorts) {
      if (eligible(p, min_age, max_age)) total += p.size();
    }
    if (total == 0) return false;
    uint64_t k = rng_.below(total);
    for (Pool& p : cohorts) {
      if (!eligible(p, min_age, max_age)) continue;
      if (k < p.size()) {
        c = &p;
        i = static_cast<size_t>(k);
        return true;
      }
      k -= p.size();
    }
    return false;
  }

  void start_unit_year() {
    Unit& u = units_[unit_];
    const int t = year_;
    if (unit_ == 0) {
      while (older_ < units_.size() && units_[older_].start < t) ++older_;
    }
    // Births planned for this unit and year.
    uint64_t births = 0;
    if (t == 0 && founders_ > 0) {
      expected_ += static_cast<double>(founders_);
    } else if (u.start <= t) {
      expected_ += year_scale_ * year_weight_[t] * u.size;
    }
    const uint64_t end = last_in_block() ? block_lines_[block_] : std::llround(expected_);
    births = end > planned_ ? end - planned_ : 0;
    planned_ += births;
    left_ = births;
    open_ended_ = last_unit_year();
    last_sire_ = last_dam_ = kNoMember;
    if (t < u.start) return;

    // Sires and dams whose time is over.
    for (size_t i = u.sires.size(); i-- > 0;) {
      if (u.sires[i].until < t) {
        retire_sire(u.sires[i]);
        u.sires.remove(i, stride_);
      }
    }
    for (size_t i = u.dams.size(); i-- > 0;) {
      if (u.dams[i].until < t) {
        retire_dam(u.dams[i]);
        u.dams.remove(i, stride_);
      }
    }
    // Young animals too old to start are dropped with their cohort slot.
    Pool& slot_m = u.young_males[static_cast<size_t>(t % window_)];
    Pool& slot_f = u.young_females[static_cast<size_t>(t % window_)];
    slot_m.clear();
    slot_f.clear();
    slot_m.year = slot_f.year = t;

    // Dams: young females start until the unit has enough for its births.
    const auto dams_wanted = static_cast<size_t>(std::ceil(static_cast<double>(births) * s_.dams_per_birth));
    Pool* c = nullptr;
    size_t i = 0;
    // A unit without young females of its own (a new herd) buys them from
    // the others.
    auto young_female = [&] {
      return draw_young(u.young_females, s_.dam_start_min, s_.dam_start_max, c, i) ||
             (units_.size() > 1 &&
              draw_young(other_unit().young_females, s_.dam_start_min, s_.dam_start_max, c, i));
    };
    while (u.dams.size() < dams_wanted && young_female()) {
      int last = std::max(t, c->year + s_.dam_start_min);
      while (last - c->year < s_.dam_max_age && rng_.chance(s_.dam_survival)) ++last;
      (*c)[i].until = static_cast<int16_t>(last);
      (*c)[i].progeny = 0;
      c->move_to(i, u.dams, stride_);
    }

    // Sires: a share of the births worth of new sires, at least one. A few
    // more start than asked for, since some end without progeny (more of
    // them when each has few; measured).
    const double new_sires = static_cast<double>(births) * sire_share_ * (1.0 + 0.43 * sire_share_);
    const bool few_sires = new_sires * (s_.sire_service_min + s_.sire_service_max) / 2 < 1.0;
    u.sire_credit += new_sires;
    while (u.sire_credit >= 1 || u.sires.empty()) {
      const bool buy = units_.size() > 1 && s_.buy_in > 0 && rng_.chance(s_.buy_in);
      bool found = false;
      if (buy) {
        Unit& other = other_unit();
        found = draw_young(other.young_males, s_.sire_start_min, s_.sire_start_max, c, i);
      }
      if (!found) found = draw_young(u.young_males, s_.sire_start_min, s_.sire_start_max, c, i);
      if (!found && units_.size() > 1) {
        found = draw_young(other_unit().young_males, s_.sire_start_min, s_.sire_start_max, c, i);
      }
      if (!found) {
        u.sire_credit = std::min(u.sire_credit, 1.0);
        break;
      }
      Member& m = (*c)[i];
      const double pareto =
          std::min(s_.max_weight, std::pow(1.0 - rng_.uniform(), -1.0 / s_.pareto_alpha));
      m.weight = static_cast<float>(pareto * m.weight);
      // When the unit gets less than one new sire per average service, its
      // sires serve the longest, so that it needs no more sires than asked.
      const int service =
          few_sires ? s_.sire_service_max
                    : s_.sire_service_min + static_cast<int>(rng_.below(static_cast<uint64_t>(
                                                s_.sire_service_max - s_.sire_service_min + 1)));
      m.until = static_cast<int16_t>(t + service - 1);
      m.progeny = m.daughters = 0;
      c->move_to(i, u.sires, stride_);
      u.sire_credit -= 1;
    }
    u.sire_cum.clear();
    double sum = 0;
    for (size_t k = 0; k < u.sires.size(); ++k) u.sire_cum.push_back(sum += u.sires[k].weight);

    const double decay = std::exp(-static_cast<double>(t) / s_.unknown_decay_years);
    p_unknown_sire_ = s_.unknown_sire_late + (s_.unknown_sire_early - s_.unknown_sire_late) * decay;
    p_unknown_dam_ = s_.unknown_dam_late + (s_.unknown_dam_early - s_.unknown_dam_late) * decay;
  }

  // A random unit that started before this year (units are in order of their
  // first year), or any unit when none did.
  Unit& other_unit() { return units_[rng_.below(older_ > 0 ? older_ : units_.size())]; }

  bool last_in_block() const { return year_ + 1 == s_.years && unit_ + 1 == units_.size(); }

  void regular_animal() {
    while (left_ == 0 && !open_ended_) advance();
    if (left_ > 0) --left_;
    Unit& u = units_[unit_];
    const uint64_t index = r_.new_index();
    const bool male = (rng_.next() & 1) != 0;

    // Parents: those of the previous birth (a litter or twins), or drawn anew.
    size_t sire = kNoMember, dam = kNoMember;
    if (last_dam_ != kNoMember && rng_.chance(s_.litter)) {
      sire = last_sire_;
      dam = last_dam_;
    } else {
      if (!u.sires.empty() && !rng_.chance(p_unknown_sire_)) {
        const double x = rng_.uniform() * u.sire_cum.back();
        sire = static_cast<size_t>(std::upper_bound(u.sire_cum.begin(), u.sire_cum.end(), x) -
                                   u.sire_cum.begin());
        sire = std::min(sire, u.sires.size() - 1);
      }
      if (!u.dams.empty() && !rng_.chance(p_unknown_dam_)) dam = rng_.below(u.dams.size());
    }
    uint64_t self_sire = kNone, self_dam = kNone;
    const bool self_parent = o_.self_parent_rate > 0 && rng_.chance(o_.self_parent_rate);
    if (self_parent) {
      ++r_.stats().self_parents;
      if ((rng_.next() & 1) != 0) {
        self_sire = index;
        sire = kNoMember;
      } else {
        self_dam = index;
        dam = kNoMember;
      }
    } else {
      last_sire_ = sire;
      last_dam_ = dam;
    }
    Member* ms = sire != kNoMember ? &u.sires[sire] : nullptr;
    Member* md = dam != kNoMember ? &u.dams[dam] : nullptr;

    uint64_t path = 0;
    if (ms != nullptr) path = std::max<uint64_t>(path, ms->path + 1u);
    if (md != nullptr) path = std::max<uint64_t>(path, md->path + 1u);
    if (ms != nullptr) {
      ++ms->progeny;
      if (!male) ++ms->daughters;
    }
    if (md != nullptr) ++md->progeny;

    uint32_t al[64];
    if (o_.gene_drop > 0) {
      const uint32_t* sa = ms != nullptr ? u.sires.alleles(sire, stride_) : nullptr;
      const uint32_t* da = md != nullptr ? u.dams.alleles(dam, stride_) : nullptr;
      const int r = o_.gene_drop;
      const uint64_t bits = drop_rng_.next();
      int ibd = 0;
      for (int k = 0; k < r; ++k) {
        al[2 * k] = sa ? sa[2 * k + ((bits >> (2 * k)) & 1)] : static_cast<uint32_t>(2 * index);
        al[2 * k + 1] = da ? da[2 * k + ((bits >> (2 * k + 1)) & 1)]
                           : static_cast<uint32_t>(2 * index + 1);
        if (al[2 * k] == al[2 * k + 1]) ++ibd;
      }
      r_.gene_drop(ibd, r);
    }

    const uint64_t sire_index = ms != nullptr ? ms->index : self_sire;
    const uint64_t dam_index = md != nullptr ? md->index : self_dam;
    // Every young animal may become a parent of its unit (an animal given as
    // its own parent never does).
    if (!self_parent) {
      const float inherited =
          ms != nullptr && s_.inherit > 0 ? static_cast<float>(std::pow(ms->weight, s_.inherit)) : 1.0f;
      Pool& cohort = (male ? u.young_males : u.young_females)[static_cast<size_t>(year_ % window_)];
      cohort.push({static_cast<uint32_t>(index), static_cast<uint16_t>(path), 0, inherited, 0, 0},
                  al, stride_);
    }
    r_.animal(index, sire_index, dam_index, path);
  }

  static constexpr size_t kNoMember = SIZE_MAX;

  const Options& o_;
  const HerdShape& s_;
  Recorder& r_;
  Rng rng_;
  Rng drop_rng_;    // gene dropping: its own stream, so the pedigree stays the same
  Rng layout_rng_;  // sizes of the units and blocks, founders
  size_t stride_;
  double sire_share_;
  int window_;      // birth years of young animals kept
  std::vector<double> year_weight_;

  std::vector<uint64_t> block_lines_;
  std::vector<std::vector<double>> block_units_;
  std::vector<std::vector<int>> block_starts_;
  uint64_t units_total_ = 0;

  size_t block_ = 0;
  std::vector<Unit> units_;
  uint64_t founders_ = 0;
  double year_scale_ = 0;
  double expected_ = 0;
  uint64_t planned_ = 0;
  int year_ = 0;
  size_t unit_ = 0;
  size_t older_ = 0;  // units that started before this year
  uint64_t left_ = 0;
  bool open_ended_ = false;
  double p_unknown_sire_ = 1.0, p_unknown_dam_ = 1.0;
  size_t last_sire_ = kNoMember, last_dam_ = kNoMember;
};

bool write_stats(const std::string& file, const Options& o, const Stats& st) {
  std::FILE* f = std::fopen(file.c_str(), "w");
  if (f == nullptr) return false;
  auto share = [](uint64_t part, uint64_t whole) {
    return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
  };
  std::fprintf(f, "shape %s\n", o.shape_name.c_str());
  std::fprintf(f, "seed %llu\n", static_cast<unsigned long long>(o.seed));
  std::fprintf(f, "birth_years %d\n", st.years);
  if (st.units > 0) std::fprintf(f, "units %llu\n", static_cast<unsigned long long>(st.units));
  std::fprintf(f, "lines %llu\n", static_cast<unsigned long long>(st.lines));
  std::fprintf(f, "animals %llu\n", static_cast<unsigned long long>(st.animals));
  std::fprintf(f, "repeated_lines %llu\n", static_cast<unsigned long long>(st.repeats));
  std::fprintf(f, "self_parents %llu\n", static_cast<unsigned long long>(st.self_parents));
  std::fprintf(f, "loop_animals %llu\n", static_cast<unsigned long long>(st.loop_animals));
  std::fprintf(f, "chain_animals %llu\n", static_cast<unsigned long long>(st.chain_animals));
  std::fprintf(f, "unknown_sire_share %.4f\n", share(st.unknown_sire, st.animals));
  std::fprintf(f, "unknown_dam_share %.4f\n", share(st.unknown_dam, st.animals));
  std::fprintf(f, "unknown_parent_share %.4f\n",
               share(st.unknown_sire + st.unknown_dam, 2 * st.animals));
  std::fprintf(f, "founders %llu\n", static_cast<unsigned long long>(st.founders));
  std::fprintf(f, "sires %llu\n", static_cast<unsigned long long>(st.sires_used));
  std::fprintf(f, "sire_share %.4f\n", share(st.sires_used, st.animals));
  if (st.sire_share_target >= 0) std::fprintf(f, "sire_share_target %.4f\n", st.sire_share_target);
  std::fprintf(f, "dams %llu\n", static_cast<unsigned long long>(st.dams_used));
  std::fprintf(f, "max_progeny_per_sire %llu\n", static_cast<unsigned long long>(st.max_progeny));
  std::fprintf(f, "max_daughters_per_sire %llu\n",
               static_cast<unsigned long long>(st.max_daughters));
  std::fprintf(f, "mean_longest_path %.3f\n",
               st.path_animals == 0 ? 0.0
                                    : static_cast<double>(st.path_sum) /
                                          static_cast<double>(st.path_animals));
  std::fprintf(f, "max_longest_path %llu\n", static_cast<unsigned long long>(st.path_max));
  if (o.gene_drop > 0) {
    std::fprintf(f, "gene_drop_replicates %d\n", o.gene_drop);
    std::fprintf(f, "gene_drop_mean_F %.5f\n",
                 st.gene_drop_animals == 0
                     ? 0.0
                     : st.gene_drop_sum / static_cast<double>(st.gene_drop_animals));
  }
  const bool ok = !std::ferror(f);
  return std::fclose(f) == 0 && ok;
}

bool write_keys(const std::string& file, const std::vector<uint64_t>& keys) {
  std::FILE* f = std::fopen(file.c_str(), "w");
  if (f == nullptr) return false;
  IdFormat ids;
  char buf[IdFormat::kLength + 1];
  buf[IdFormat::kLength] = '\n';
  for (uint64_t k : keys) {
    ids.write(k, buf);
    std::fwrite(buf, 1, sizeof buf, f);
  }
  const bool ok = !std::ferror(f);
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const int rc = parse_options(argc, argv, o); rc != 0) return rc == 1 ? 0 : 2;
  const bool herds = o.shape_name == "natural" || o.shape_name == "deep" || o.shape_name == "closed";
  Shape shape = o.shape_name == "herdbook" ? herdbook_shape() : livestock_shape();
  if (o.shape_name == "herdbook" && o.sire_share >= 0) {
    // Kept share of the male births that gives about the asked share of
    // animals with progeny as sires.
    shape.sire_share = herdbook_kept_share(o.sire_share);
  }
  const HerdShape herd_shape = o.shape_name == "natural" ? natural_shape()
                               : o.shape_name == "deep"  ? deep_shape()
                                                         : closed_shape();

  std::FILE* out = stdout;
  if (!o.out.empty()) {
    out = std::fopen(o.out.c_str(), "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "Error: cannot create '%s': %s\n", o.out.c_str(), std::strerror(errno));
      return 1;
    }
  }
  Sink sink(out);
  LineWriter writer(sink, o.unsorted, o.lines, o.seed);
  auto recorder = std::make_unique<Recorder>(o, writer);
  if (herds) {
    HerdSimulator sim(o, herd_shape, *recorder);
    sim.run();
    recorder->stats().units = sim.units();
    recorder->stats().sire_share_target = sim.sire_share();
  } else {
    Simulator(o, shape, *recorder).run();
    recorder->stats().sire_share_target = o.sire_share;
  }
  const bool written = writer.finish();
  sink.flush();
  const bool closed = (out == stdout ? std::fflush(out) : std::fclose(out)) == 0;
  if (!written || !sink.ok() || !closed) {
    std::fprintf(stderr, "Error: failed to write the pedigree\n");
    return 1;
  }
  if (!o.stats_file.empty() && !write_stats(o.stats_file, o, recorder->stats())) {
    std::fprintf(stderr, "Error: failed to write '%s'\n", o.stats_file.c_str());
    return 1;
  }
  if (!o.keys_out.empty() && !write_keys(o.keys_out, recorder->keys())) {
    std::fprintf(stderr, "Error: failed to write '%s'\n", o.keys_out.c_str());
    return 1;
  }
  return 0;
}
