// Inbreeding by the indirect method.
//
// With A = T D T' (T the matrix of gene flow, D the Mendelian sampling
// factors), the column of A of a sire s is A e_s = T (D (T' e_s)):
//   - t = T' e_s holds the contributions L(s, j) of s's ancestors j; it is
//     built by passing each ancestor's contribution halved to its parents,
//     ancestors taken youngest first, then scaled by D;
//   - w = T (D t) gives w_j = A(j, s) = D_j t_j + (w_sire(j) + w_dam(j)) / 2,
//     ancestors taken oldest first.
// The progeny of s out of dam d has F = A(s, d) / 2 = w_d / 2, so both passes
// run only over the ancestors of s and of his mates; each ancestor is handled
// once, whatever the number of paths to it. Ancestors older than the oldest
// ancestor of s have w = 0 and are not visited.
//
// Sires are taken in batches of up to kLanes, each sire one lane of the
// vectors t and w, so that the ancestors the sires of one batch share are
// walked once per batch rather than once per sire. The D of an ancestor needs
// the F of its parents, so a sire can only be handled after the sires of all
// his ancestors: sires are put into rounds (a sire's round is one more than
// the last round any of his ancestors' F depends on) and a batch never mixes
// rounds.
//
// Only the core of the pedigree, the sires and their ancestors, is walked,
// in arrays of its own that are small enough to stay in the caches. Any
// other animal x has t_x = 0, so w_x = (w_sire(x) + w_dam(x)) / 2: a dam
// outside the core is reached through her maternal line d_0 = d, d_1 =
// dam(d_0), ... down to the first core animal d_k (or an unknown dam):
//   w_d = sum_{i<k} w_sire(d_i) / 2^(i+1) + w_(d_k) / 2^k,
// and every sire(d_i) is in the core.
//
// The batches of one round do not depend on each other: each writes the F of
// its own sires' progeny only and reads the F of animals of earlier rounds.
// They are shared out between threads, each with its own walk and vectors; a
// batch computes the same values whichever thread runs it, so the results do
// not depend on the number of threads.
#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>

#include "inbreeding.h"

namespace haldor::inbreeding {

namespace {

using Index = std::uint32_t;  // position in the core, 1-based; 0 = none

constexpr Index kExpanded = 0x80000000u;
constexpr Index kCoreFlag = 0x80000000u;
constexpr std::uint32_t kNoStamp = 0;
constexpr int kLanes = 16;
constexpr unsigned kMaxThreads = 4;  // each thread has its own walk and vectors

// A core animal as one thread's walk sees it (each thread has its own copy).
struct CoreNode {
  Index sire;
  Index dam;
  std::uint32_t stamp;  // walk that last listed the animal
  std::uint32_t local;  // its position in that walk's list
};

// Any animal, as seen from its progeny: a core animal's index (with
// kCoreFlag), or the core index of its sire and the code of its dam.
struct Link {
  Index sire_or_self;
  Code dam;
};

// The core animals of one batch's pedigree, listed parents first from
// position 1 on, with the positions of their parents in the list (position 0
// stands for an unknown parent or one older than the floor).
class BatchWalk {
 public:
  explicit BatchWalk(const std::vector<CoreNode>& node) : node_(node) {}

  void begin() {
    if (++stamp_ == kNoStamp) {  // wrapped: forget every old stamp
      for (CoreNode& x : node_) x.stamp = kNoStamp;
      stamp_ = 1;
    }
    floor_ = 1;
    index.assign(1, 0);
    ls.assign(1, 0);
    ld.assign(1, 0);
  }
  void set_floor(Index floor) { floor_ = floor; }
  bool listed(Index c) const { return c >= floor_ && node_[c].stamp == stamp_; }
  std::uint32_t local(Index c) const { return node_[c].local; }
  const CoreNode& node(Index c) const { return node_[c]; }

  // Lists `root` and its ancestors not listed yet (down to the floor).
  void add(Index root) {
    if (root < floor_ || node_[root].stamp == stamp_) return;
    stack_.push_back(root);
    while (!stack_.empty()) {
      const Index e = stack_.back();
      if (e & kExpanded) {
        stack_.pop_back();
        append(e & ~kExpanded);
        continue;
      }
      CoreNode& x = node_[e];
      if (x.stamp == stamp_) {  // listed through another path meanwhile
        stack_.pop_back();
        continue;
      }
      x.stamp = stamp_;
      stack_.back() = e | kExpanded;
      if (x.sire >= floor_) __builtin_prefetch(&node_[x.sire]);
      if (x.dam >= floor_) __builtin_prefetch(&node_[x.dam]);
      if (x.sire >= floor_ && node_[x.sire].stamp != stamp_) stack_.push_back(x.sire);
      if (x.dam >= floor_ && node_[x.dam].stamp != stamp_) stack_.push_back(x.dam);
    }
  }

  std::vector<Index> index;
  std::vector<std::uint32_t> ls, ld;

 private:
  void append(Index c) {
    CoreNode& x = node_[c];
    x.local = static_cast<std::uint32_t>(index.size());
    index.push_back(c);
    ls.push_back(x.sire >= floor_ ? node_[x.sire].local : 0);
    ld.push_back(x.dam >= floor_ ? node_[x.dam].local : 0);
  }

  std::vector<CoreNode> node_;
  std::uint32_t stamp_ = kNoStamp;
  Index floor_ = 1;
  std::vector<Index> stack_;
};

double factor(const std::vector<double>& coreF, const CoreNode& x) {
  const double fs = coreF[x.sire], fd = coreF[x.dam];  // coreF[0] is 0
  if (x.sire && x.dam) return 0.5 - 0.25 * fs - 0.25 * fd;
  if (x.sire || x.dam) return 0.75 - 0.25 * (fs + fd);
  return 1.0;
}

// A mating's maternal-line terms: core animals whose w, halved once per step
// down the line, add up to w of the dam (see the top of this file).
constexpr Index kLineEnd = 0x80000000u;  // the line's last animal: weight 2^-k, not 2^-(i+1)
constexpr std::size_t kChunk = std::size_t(1) << 16;  // terms evaluated at a time

struct Mating {
  Code animal;
  int lane;
};

// Everything the batches share. While a round runs, its batches only write
// the F of their own sires' progeny, which no other batch of the round reads.
struct Shared {
  const CodedPedigree& ped;
  std::vector<double>& F;
  std::vector<CoreNode> node;  // the core, index 1 .. K
  std::vector<double> coreF;   // F of each core index
  std::vector<Code> code;      // code of each core index
  std::vector<Link> link;      // by code
  std::vector<Code> first;     // progeny of core index k: progeny[first[k] .. first[k + 1])
  std::vector<Code> progeny;
  std::size_t cap = 0;

  Shared(const CodedPedigree& p, std::vector<double>& f) : ped(p), F(f) {}
  void set_F(Code c, double f) {
    F[c] = f;
    if (link[c].sire_or_self & kCoreFlag) coreF[link[c].sire_or_self & ~kCoreFlag] = f;
  }
};

// One thread's walk and vectors.
struct Work {
  Shared& shared;
  BatchWalk walk;
  std::vector<double> T, W;
  std::vector<Index> terms;
  std::vector<Mating> matings;

  explicit Work(Shared& s) : shared(s), walk(s.node) {}
};

struct Batch {
  const Index* sires;
  int count;
};

// Runs one batch with `lanes` lanes (kLanes or 1). Returns false when the
// batch's pedigree is too large for its vectors within the cap; the batch must
// then be run again one sire at a time.
template <int lanes>
bool run_batch(const Batch& b, Work& work) {
  constexpr std::size_t L = lanes;
  Shared& shared = work.shared;
  BatchWalk& walk = work.walk;
  std::vector<double>& T = work.T;
  std::vector<double>& W = work.W;
  walk.begin();
  for (int i = 0; i < b.count; ++i) walk.add(b.sires[i]);
  const std::size_t m = walk.index.size();  // the sires' own pedigree: positions 1 .. m - 1
  if (lanes > 1 && 2 * m * L * sizeof(double) > shared.cap) return false;
  Index oldest = b.sires[0];
  for (std::size_t i = 1; i < m; ++i) oldest = std::min(oldest, walk.index[i]);

  // t = T' e_s, youngest first, then D t.
  T.assign(m * L, 0.0);
  for (int i = 0; i < b.count; ++i) T[walk.local(b.sires[i]) * L + static_cast<std::size_t>(i)] = 1.0;
  for (std::size_t i = m; --i > 0;) {
    double* __restrict t = &T[i * L];
    double* __restrict ts = &T[walk.ls[i] * L];
    double* __restrict td = &T[walk.ld[i] * L];
    const double D = factor(shared.coreF, walk.node(walk.index[i]));
    double half[lanes];
    for (std::size_t l = 0; l < L; ++l) half[l] = 0.5 * t[l];
    for (std::size_t l = 0; l < L; ++l) t[l] *= D;
    for (std::size_t l = 0; l < L; ++l) ts[l] += half[l];
    for (std::size_t l = 0; l < L; ++l) td[l] += half[l];
  }
  // w = T (D t) over the list, extended chunk by chunk as the dams' lines
  // bring in more animals; animals older than the floor have w = 0.
  walk.set_floor(oldest);
  W.assign(L, 0.0);  // position 0
  std::size_t done = 1;
  auto extend = [&]() {
    const std::size_t u = walk.index.size();
    if (lanes > 1 && (m + u) * L * sizeof(double) > shared.cap) return false;
    W.resize(u * L);
    constexpr std::size_t ahead = 8;  // rows whose parents are fetched early
    for (std::size_t i = done; i < u; ++i) {
      if (i + ahead < u) {
        __builtin_prefetch(&W[walk.ls[i + ahead] * L]);
        __builtin_prefetch(&W[walk.ld[i + ahead] * L]);
        if (L > 8) {
          __builtin_prefetch(&W[walk.ls[i + ahead] * L + 8]);
          __builtin_prefetch(&W[walk.ld[i + ahead] * L + 8]);
        }
      }
      double* __restrict w = &W[i * L];
      const double* ws = &W[walk.ls[i] * L];
      const double* wd = &W[walk.ld[i] * L];
      if (i < m) {
        const double* t = &T[i * L];
        for (std::size_t l = 0; l < L; ++l) w[l] = t[l] + 0.5 * (ws[l] + wd[l]);
      } else {
        for (std::size_t l = 0; l < L; ++l) w[l] = 0.5 * (ws[l] + wd[l]);
      }
    }
    done = u;
    return true;
  };
  auto evaluate = [&]() {
    std::size_t next = 0;
    for (const Mating& x : work.matings) {
      double sum = 0.0, weight = 0.5;
      for (;; weight *= 0.5) {
        const Index e = work.terms[next++];
        const Index c = e & ~kLineEnd;
        const double w = walk.listed(c) ? W[walk.local(c) * L + static_cast<std::size_t>(x.lane)] : 0.0;
        if (e & kLineEnd) {
          sum += 2.0 * weight * w;
          break;
        }
        sum += weight * w;
      }
      shared.set_F(x.animal, 0.5 * sum);
    }
    work.terms.clear();
    work.matings.clear();
  };

  work.terms.clear();
  work.matings.clear();
  // Down each dam's maternal line to the first core animal; animals older
  // than the floor have w = 0. Several lines are followed in turn so that
  // their links are fetched from memory together.
  const Code oldest_code = shared.code[oldest];
  struct Line {
    Code x = 0;
    Mating mating{0, 0};
    std::vector<Index> terms;
  };
  constexpr int kLines = 8;
  Line line[kLines];
  int sire_i = 0;
  Code next_k = shared.first[b.sires[0]];
  auto start = [&](Line& ln) {
    while (sire_i < b.count && next_k == shared.first[b.sires[sire_i] + 1]) {
      if (++sire_i < b.count) next_k = shared.first[b.sires[sire_i]];
    }
    if (sire_i >= b.count) return false;
    const Code animal = shared.progeny[next_k++];
    ln.mating = {animal, sire_i};
    ln.x = shared.ped.dam[animal];
    ln.terms.clear();
    __builtin_prefetch(&shared.link[ln.x]);
    return true;
  };
  int active = 0;
  bool slot_on[kLines] = {};
  for (int j = 0; j < kLines; ++j)
    if (start(line[j])) {
      slot_on[j] = true;
      ++active;
    }
  while (active > 0) {
    for (int j = 0; j < kLines; ++j) {
      if (!slot_on[j]) continue;
      Line& ln = line[j];
      Index end = 0;
      bool finished = true;
      if (ln.x >= oldest_code) {
        Link l = shared.link[ln.x];
        if (l.sire_or_self & kCoreFlag) {
          // A core animal outside this batch's list yet: her own line goes on
          // through her sire and dam rather than listing her ancestry.
          const Index c = l.sire_or_self & ~kCoreFlag;
          if (!walk.listed(c)) l = Link{walk.node(c).sire, shared.code[walk.node(c).dam]};
        }
        if (l.sire_or_self & kCoreFlag) {
          end = l.sire_or_self & ~kCoreFlag;
        } else {
          walk.add(l.sire_or_self);
          ln.terms.push_back(l.sire_or_self);
          ln.x = l.dam;
          __builtin_prefetch(&shared.link[ln.x]);
          finished = false;
        }
      }
      if (!finished) continue;
      work.terms.insert(work.terms.end(), ln.terms.begin(), ln.terms.end());
      work.terms.push_back(end | kLineEnd);
      work.matings.push_back(ln.mating);
      if (work.terms.size() >= kChunk) {
        if (!extend()) return false;
        evaluate();
      }
      if (!start(ln)) {
        slot_on[j] = false;
        --active;
      }
    }
  }
  if (!extend()) return false;
  evaluate();
  return true;
}

}  // namespace

void inbreeding_indirect(const CodedPedigree& ped, std::vector<double>& F, std::size_t lane_cap) {
  const std::size_t n = ped.size();
  if (n >= kExpanded) throw std::bad_alloc();  // codes and indices must leave their top bit free
  const std::vector<Code>& sire = ped.sire;
  const std::vector<Code>& dam = ped.dam;
  F.assign(n + 1, 0.0);
  Shared shared(ped, F);
  auto mated = [&](std::size_t c) { return ped.live[c] && sire[c] && dam[c]; };

  // Sires of progeny with both parents known, by round, then by code.
  std::vector<std::pair<std::uint32_t, Code>> sires;
  {
    std::vector<std::uint32_t> R(n + 1, 0), P(n + 1, 0);
    std::vector<std::uint8_t> has(n + 1, 0);
    for (std::size_t c = 1; c <= n; ++c) {
      // R: last round the F of the animal and of all its ancestors depends
      // on; P: round of the animal as a sire.
      const Code s = sire[c], d = dam[c];
      const std::uint32_t parents = std::max(R[s], R[d]);
      P[c] = parents + 1;
      R[c] = (s && d) ? std::max(parents, P[s]) : parents;
      if (mated(c)) has[s] = 1;
    }
    for (std::size_t s = 1; s <= n; ++s)
      if (has[s]) sires.emplace_back(P[s], static_cast<Code>(s));
  }
  std::sort(sires.begin(), sires.end());

  // The core: every sire and, youngest first, the parents of core animals.
  std::vector<Index> index(n + 1, 0);  // core index by code
  {
    std::vector<std::uint8_t> core(n + 1, 0);
    for (std::size_t c = 1; c <= n; ++c)
      if (ped.live[c]) core[sire[c]] = 1;
    for (std::size_t c = n; c >= 1; --c)
      if (core[c]) core[sire[c]] = core[dam[c]] = 1;
    shared.code.assign(1, 0);
    for (std::size_t c = 1; c <= n; ++c)
      if (core[c]) {
        index[c] = static_cast<Index>(shared.code.size());
        shared.code.push_back(static_cast<Code>(c));
      }
  }
  const std::size_t K = shared.code.size() - 1;
  shared.node.resize(K + 1);
  shared.node[0] = CoreNode{0, 0, kNoStamp, 0};
  for (std::size_t k = 1; k <= K; ++k) {
    const Code c = shared.code[k];
    shared.node[k] = CoreNode{index[sire[c]], index[dam[c]], kNoStamp, 0};
  }
  shared.coreF.assign(K + 1, 0.0);
  shared.link.resize(n + 1);
  for (std::size_t c = 0; c <= n; ++c)
    shared.link[c] = index[c] ? Link{index[c] | kCoreFlag, 0} : Link{index[sire[c]], dam[c]};

  // Progeny with both parents known, grouped by their sire's core index.
  shared.first.assign(K + 2, 0);
  for (std::size_t c = 1; c <= n; ++c)
    if (mated(c)) ++shared.first[index[sire[c]] + 1];
  for (std::size_t k = 1; k <= K + 1; ++k) shared.first[k] += shared.first[k - 1];
  shared.progeny.resize(shared.first[K + 1]);
  {
    std::vector<Code> next(shared.first.begin(), shared.first.end() - 1);
    for (std::size_t c = 1; c <= n; ++c)
      if (mated(c)) shared.progeny[next[index[sire[c]]]++] = static_cast<Code>(c);
  }
  std::vector<Index> order;
  std::vector<std::uint32_t> round;
  order.reserve(sires.size());
  round.reserve(sires.size());
  for (const auto& x : sires) {
    round.push_back(x.first);
    order.push_back(index[x.second]);
  }
  std::vector<std::pair<std::uint32_t, Code>>().swap(sires);
  std::vector<Index>().swap(index);

  shared.cap = lane_cap ? lane_cap : std::max<std::size_t>(std::size_t(64) << 20, 4 * n);

  // Batches of up to kLanes sires of one round; rounds in order, the batches
  // of a round shared out between the threads.
  std::vector<std::size_t> batch_begin;  // batch b: order[batch_begin[b] .. batch_begin[b + 1])
  std::vector<std::size_t> round_begin;  // round r: batches round_begin[r] .. round_begin[r + 1] - 1
  for (std::size_t i = 0; i < order.size();) {
    if (i == 0 || round[i] != round[i - 1]) round_begin.push_back(batch_begin.size());
    batch_begin.push_back(i);
    std::size_t j = i + 1;
    while (j < order.size() && j - i < kLanes && round[j] == round[i]) ++j;
    i = j;
  }
  round_begin.push_back(batch_begin.size());
  batch_begin.push_back(order.size());

  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
  std::vector<Work> works;
  works.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) works.emplace_back(shared);
  std::vector<CoreNode>().swap(shared.node);  // each walk has its copy

  auto run = [&](Work& work, std::size_t b) {
    const std::size_t i = batch_begin[b], j = batch_begin[b + 1];
    if (!run_batch<kLanes>(Batch{&order[i], static_cast<int>(j - i)}, work)) {
      for (std::size_t k = i; k < j; ++k) run_batch<1>(Batch{&order[k], 1}, work);
    }
  };
  for (std::size_t r = 0; r + 1 < round_begin.size(); ++r) {
    const std::size_t first = round_begin[r], last = round_begin[r + 1];
    if (threads == 1 || last - first == 1) {
      for (std::size_t b = first; b < last; ++b) run(works[0], b);
      continue;
    }
    std::atomic<std::size_t> next{first};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    auto worker = [&](Work& work) {
      try {
        for (std::size_t b; !failed && (b = next++) < last;) run(work, b);
      } catch (...) {
        if (!failed.exchange(true)) error = std::current_exception();
      }
    };
    std::vector<std::thread> pool;
    const std::size_t helpers = std::min<std::size_t>(threads, last - first) - 1;
    for (std::size_t t = 1; t <= helpers; ++t) {
      try {
        pool.emplace_back(worker, std::ref(works[t]));
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the others take the whole round
      }
    }
    worker(works[0]);
    for (std::thread& t : pool) t.join();
    if (error) std::rethrow_exception(error);
  }
}

}  // namespace haldor::inbreeding
