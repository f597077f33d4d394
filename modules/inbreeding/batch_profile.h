// Where the indirect method's batches spend their time, for benchmarks.
//
// Built with HALDOR_BATCH_PROFILE defined (as bench/folvane_passes is), every
// batch times its passes and counts what they handled, and the run prints
// the sums to the standard error when it ends. Otherwise every member is
// empty and the compiler drops the calls.
#pragma once

#include <cstdint>
#include <cstdio>

#ifdef HALDOR_BATCH_PROFILE
#include <chrono>
#endif

namespace haldor::inbreeding {

enum class Pass : int {
  kSideScan,     // finding the sires' ancestors and clearing their rows
  kUp,           // t, youngest first
  kSideW,        // w of the sire side, oldest first
  kLines,        // following the dams' maternal lines
  kNeededScan,   // finding the other animals the lines need
  kNeededW,      // filling in their w
  kTerms,        // adding up each mating's terms
  kCount
};

enum class Tally : int {
  kBatches,      // batches run, split halves included
  kSide,         // sire-side animals
  kSideSpan,     // core indices the side scans passed over
  kNeeded,       // other animals the lines needed
  kNeededSpan,   // core indices from the youngest of them to the oldest of the side
  kNeededRows,   // of those, animals given a row (w not 0)
  kLinks,        // maternal-line links followed
  kMatings,      // matings evaluated
  kCount
};

#ifdef HALDOR_BATCH_PROFILE
class BatchProfile {
 public:
  // Starts timing `p`.
  void start(Pass p) {
    cur_ = p;
    t0_ = Clock::now();
  }
  // Ends the pass being timed and starts `p`.
  void to(Pass p) {
    const Clock::time_point t = Clock::now();
    seconds_[static_cast<int>(cur_)] += std::chrono::duration<double>(t - t0_).count();
    t0_ = t;
    cur_ = p;
  }
  // Ends the pass being timed.
  void stop() { to(cur_); }
  void add(Tally t, std::uint64_t n) { tally_[static_cast<int>(t)] += n; }
  void merge(const BatchProfile& o) {
    for (int i = 0; i < kPasses; ++i) seconds_[i] += o.seconds_[i];
    for (int i = 0; i < kTallies; ++i) tally_[i] += o.tally_[i];
  }
  void print(std::FILE* out) const {
    static const char* const pass_name[kPasses] = {"side scan", "up (t)", "side w", "lines",
                                                   "needed scan", "needed w", "terms"};
    static const char* const tally_name[kTallies] = {"batches", "side animals", "side span",
                                                     "needed animals", "needed span", "needed rows",
                                                     "line links", "matings"};
    double total = 0;
    for (double s : seconds_) total += s;
    std::fprintf(out, "Batch passes, seconds summed over threads:");
    for (int i = 0; i < kPasses; ++i) std::fprintf(out, " %s %.3f;", pass_name[i], seconds_[i]);
    std::fprintf(out, " all %.3f\n", total);
    std::fprintf(out, "Batch counts:");
    for (int i = 0; i < kTallies; ++i)
      std::fprintf(out, " %s %llu%s", tally_name[i], static_cast<unsigned long long>(tally_[i]),
                   i + 1 < kTallies ? ";" : "\n");
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr int kPasses = static_cast<int>(Pass::kCount);
  static constexpr int kTallies = static_cast<int>(Tally::kCount);
  double seconds_[kPasses] = {};
  std::uint64_t tally_[kTallies] = {};
  Clock::time_point t0_{};
  Pass cur_ = Pass::kSideScan;
};
#else
class BatchProfile {
 public:
  void start(Pass) {}
  void to(Pass) {}
  void stop() {}
  void add(Tally, std::uint64_t) {}
  void merge(const BatchProfile&) {}
  void print(std::FILE*) const {}
};
#endif

}  // namespace haldor::inbreeding
