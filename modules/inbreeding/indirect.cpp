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
// Only the core of the pedigree, the sires and their ancestors, is walked.
// Any other animal x has t_x = 0, so w_x = (w_sire(x) + w_dam(x)) / 2: a dam
// outside the core is reached through her maternal line d_0 = d, d_1 =
// dam(d_0), ... down to the first core animal d_k (or an unknown dam):
//   w_d = sum_{i<k} w_sire(d_i) / 2^(i+1) + w_(d_k) / 2^k.
#include <algorithm>
#include <new>

#include "inbreeding.h"

namespace haldor::inbreeding {

namespace {

constexpr Code kExpanded = 0x80000000u;
constexpr std::uint32_t kOutside = 0xFFFFFFFFu;
constexpr int kLanes = 16;
constexpr std::uint32_t kNotCore = 0xFFFFFFFFu;

struct Node {
  Code sire;
  Code dam;
  std::uint32_t stamp;  // walk that last listed the animal; kNotCore outside the core
  std::uint32_t local;  // its position in that walk's list
  double F;
};

// The animals of one batch's pedigree, listed parents first, with the
// positions of their parents in the list (the list's size stands for an
// unknown or unlisted parent).
class BatchWalk {
 public:
  explicit BatchWalk(std::vector<Node>& node) : node_(node) {}

  void begin() {
    if (++stamp_ == kNotCore) {  // wrapped: forget every old stamp
      for (Node& x : node_)
        if (x.stamp != kNotCore) x.stamp = 0;
      stamp_ = 1;
    }
    floor_ = 1;
    code.clear();
    ls.clear();
    ld.clear();
  }
  void set_floor(Code floor) { floor_ = floor; }
  Code floor() const { return floor_; }
  bool listed(Code c) const { return c >= floor_ && node_[c].stamp == stamp_; }
  std::uint32_t local(Code c) const { return node_[c].local; }

  // Lists `root` and its ancestors not listed yet (down to the floor).
  void add(Code root) {
    if (root < floor_ || node_[root].stamp == stamp_) return;
    stack_.push_back(root);
    while (!stack_.empty()) {
      const Code e = stack_.back();
      if (e & kExpanded) {
        stack_.pop_back();
        append(e & ~kExpanded);
        continue;
      }
      Node& x = node_[e];
      if (x.stamp == stamp_) {  // listed through another path meanwhile
        stack_.pop_back();
        continue;
      }
      x.stamp = stamp_;
      x.local = kOutside;  // not listed before its parents are
      stack_.back() = e | kExpanded;
      if (x.sire >= floor_ && node_[x.sire].stamp != stamp_) stack_.push_back(x.sire);
      if (x.dam >= floor_ && node_[x.dam].stamp != stamp_) stack_.push_back(x.dam);
    }
  }

  std::vector<Code> code;
  std::vector<std::uint32_t> ls, ld;  // kOutside until finish()

 private:
  void append(Code c) {
    Node& x = node_[c];
    x.local = static_cast<std::uint32_t>(code.size());
    code.push_back(c);
    ls.push_back(x.sire >= floor_ ? node_[x.sire].local : kOutside);
    ld.push_back(x.dam >= floor_ ? node_[x.dam].local : kOutside);
  }

  std::vector<Node>& node_;
  std::uint32_t stamp_ = 0;
  Code floor_ = 1;
  std::vector<Code> stack_;
};

double factor(const std::vector<Node>& node, const Node& x) {
  const double fs = node[x.sire].F, fd = node[x.dam].F;  // node[0].F is 0
  if (x.sire && x.dam) return 0.5 - 0.25 * fs - 0.25 * fd;
  if (x.sire || x.dam) return 0.75 - 0.25 * (fs + fd);
  return 1.0;
}

// The sires with progeny out of known dams with their rounds, in the order
// they are handled: by round, then by code.
std::vector<std::pair<std::uint32_t, Code>> sire_order(const CodedPedigree& ped, const std::vector<Code>& first) {
  const std::size_t n = ped.size();
  // R: last round the F of the animal and of all its ancestors depends on;
  // P: round of the animal as a sire.
  std::vector<std::uint32_t> R(n + 1, 0), P(n + 1, 0);
  for (std::size_t c = 1; c <= n; ++c) {
    const Code s = ped.sire[c], d = ped.dam[c];
    const std::uint32_t parents = std::max(R[s], R[d]);
    P[c] = parents + 1;
    R[c] = (s && d) ? std::max(parents, P[s]) : parents;
  }
  std::vector<std::pair<std::uint32_t, Code>> sires;
  for (std::size_t s = 1; s <= n; ++s)
    if (first[s] != first[s + 1]) sires.emplace_back(P[s], static_cast<Code>(s));
  std::sort(sires.begin(), sires.end());
  return sires;
}

struct Batch {
  const Code* sires;
  int count;
  std::uint32_t round;
};

// A mating's maternal-line terms: core animals whose w, halved once per step
// down the line, add up to w of the dam (see the top of this file).
constexpr Code kLineEnd = 0x80000000u;  // marks the line's last animal: weight 2^-k, not 2^-(i+1)

// Runs one batch with `lanes` lanes (kLanes or 1). Returns false when the
// batch's pedigree is too large for its vectors within `cap` bytes (nothing
// is changed then).
template <int lanes>
bool run_batch(const Batch& b, const std::vector<Code>& first, const std::vector<Code>& progeny,
               std::vector<Node>& node, BatchWalk& walk, std::vector<double>& T, std::vector<double>& W,
               std::vector<Code>& terms, std::size_t cap) {
  walk.begin();
  for (int i = 0; i < b.count; ++i) walk.add(b.sires[i]);
  const std::size_t m = walk.code.size();  // the sires' own pedigree: positions 0 .. m - 1
  Code oldest = b.sires[0];
  for (Code c : walk.code) oldest = std::min(oldest, c);
  walk.set_floor(oldest);
  // Animals older than the floor have w = 0: their lines end there.
  terms.clear();
  for (int i = 0; i < b.count; ++i)
    for (Code k = first[b.sires[i]]; k < first[b.sires[i] + 1]; ++k) {
      Code x = node[progeny[k]].dam;
      while (x >= oldest && node[x].stamp == kNotCore) {
        const Code s = node[x].sire;
        walk.add(s);
        terms.push_back(s >= oldest ? s : 0);
        x = node[x].dam;
      }
      if (x >= oldest) {
        walk.add(x);
        terms.push_back(x | kLineEnd);
      } else {
        terms.push_back(kLineEnd);
      }
    }
  const std::size_t u = walk.code.size();
  if (lanes > 1 && (m + u + 2) * lanes * sizeof(double) > cap) return false;

  // Position u is the sink of unknown and unlisted parents.
  for (std::size_t i = 0; i < u; ++i) {
    if (walk.ls[i] == kOutside) walk.ls[i] = static_cast<std::uint32_t>(u);
    if (walk.ld[i] == kOutside) walk.ld[i] = static_cast<std::uint32_t>(u);
  }
  T.assign((m + 1) * lanes, 0.0);  // row m: the sink
  for (int i = 0; i < b.count; ++i) T[walk.local(b.sires[i]) * lanes + static_cast<std::size_t>(i)] = 1.0;
  for (std::size_t i = m; i-- > 0;) {
    double* __restrict t = &T[i * lanes];
    double* __restrict ts = &T[std::min<std::size_t>(walk.ls[i], m) * lanes];
    double* __restrict td = &T[std::min<std::size_t>(walk.ld[i], m) * lanes];
    const double D = factor(node, node[walk.code[i]]);
    double half[lanes];
    for (int l = 0; l < lanes; ++l) half[l] = 0.5 * t[l];
    for (int l = 0; l < lanes; ++l) t[l] *= D;
    for (int l = 0; l < lanes; ++l) ts[l] += half[l];
    for (int l = 0; l < lanes; ++l) td[l] += half[l];
  }
  W.resize((u + 1) * lanes);
  for (int l = 0; l < lanes; ++l) W[u * lanes + static_cast<std::size_t>(l)] = 0.0;
  for (std::size_t i = 0; i < u; ++i) {
    double* __restrict w = &W[i * lanes];
    const double* ws = &W[walk.ls[i] * std::size_t(lanes)];
    const double* wd = &W[walk.ld[i] * std::size_t(lanes)];
    if (i < m) {
      const double* t = &T[i * lanes];
      for (int l = 0; l < lanes; ++l) w[l] = t[l] + 0.5 * (ws[l] + wd[l]);
    } else {
      for (int l = 0; l < lanes; ++l) w[l] = 0.5 * (ws[l] + wd[l]);
    }
  }
  auto w_of = [&](Code c, int lane) {
    return walk.listed(c) ? W[walk.local(c) * std::size_t(lanes) + static_cast<std::size_t>(lane)] : 0.0;
  };
  std::size_t next = 0;
  for (int i = 0; i < b.count; ++i)
    for (Code k = first[b.sires[i]]; k < first[b.sires[i] + 1]; ++k) {
      double sum = 0.0, weight = 0.5;
      for (;; weight *= 0.5) {
        const Code e = terms[next++];
        if (e & kLineEnd) {
          sum += 2.0 * weight * w_of(e & ~kLineEnd, i);
          break;
        }
        sum += weight * w_of(e, i);
      }
      node[progeny[k]].F = 0.5 * sum;
    }
  return true;
}

}  // namespace

void inbreeding_indirect(const CodedPedigree& ped, std::vector<double>& F, std::size_t lane_cap) {
  const std::size_t n = ped.size();
  F.clear();

  // Progeny with both parents known, grouped by sire (counting sort).
  std::vector<Code> first(n + 2, 0);
  for (std::size_t c = 1; c <= n; ++c)
    if (ped.live[c] && ped.sire[c] && ped.dam[c]) ++first[ped.sire[c] + 1];
  for (std::size_t s = 1; s <= n + 1; ++s) first[s] += first[s - 1];
  std::vector<Code> progeny(first[n + 1]);
  {
    std::vector<Code> next(first.begin(), first.end() - 1);
    for (std::size_t c = 1; c <= n; ++c)
      if (ped.live[c] && ped.sire[c] && ped.dam[c]) progeny[next[ped.sire[c]]++] = static_cast<Code>(c);
  }
  std::vector<Code> order;
  std::vector<std::uint32_t> round;
  for (const auto& x : sire_order(ped, first)) {
    round.push_back(x.first);
    order.push_back(x.second);
  }

  std::vector<Node> node(n + 1);
  for (std::size_t c = 0; c <= n; ++c) node[c] = Node{ped.sire[c], ped.dam[c], kNotCore, kOutside, 0.0};
  // The core: the sires and, youngest first, the parents of core animals.
  for (Code s : order) node[s].stamp = 0;
  for (std::size_t c = n; c >= 1; --c)
    if (node[c].stamp != kNotCore) node[node[c].sire].stamp = node[node[c].dam].stamp = 0;
  node[0].stamp = kNotCore;
  BatchWalk walk(node);
  std::vector<double> T, W;
  std::vector<Code> terms;
  const std::size_t cap = lane_cap ? lane_cap : std::max<std::size_t>(std::size_t(64) << 20, 4 * n);

  for (std::size_t i = 0; i < order.size();) {
    std::size_t j = i + 1;
    while (j < order.size() && j - i < kLanes && round[j] == round[i]) ++j;
    const Batch batch{&order[i], static_cast<int>(j - i), round[i]};
    if (!run_batch<kLanes>(batch, first, progeny, node, walk, T, W, terms, cap)) {
      for (std::size_t k = i; k < j; ++k)
        run_batch<1>(Batch{&order[k], 1, round[k]}, first, progeny, node, walk, T, W, terms, cap);
    }
    i = j;
  }

  std::vector<Code>().swap(progeny);
  std::vector<Code>().swap(first);
  F.resize(n + 1);
  for (std::size_t c = 0; c <= n; ++c) F[c] = node[c].F;
}

}  // namespace haldor::inbreeding
