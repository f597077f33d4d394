// Inbreeding by the indirect method.
//
// With A = T D T' (T the matrix of gene flow, D the Mendelian sampling
// factors), the column of A of a sire s is A e_s = T (D (T' e_s)):
//   - t = T' e_s holds the contributions L(s, j) of s's ancestors j; it is
//     built by passing each ancestor's contribution halved to its parents,
//     ancestors taken youngest first;
//   - w = T (D t) gives w_j = A(j, s) = D_j t_j + (w_sire(j) + w_dam(j)) / 2,
//     ancestors taken oldest first.
// The progeny of s out of dam d has F = A(s, d) / 2 = w_d / 2, so the second
// pass runs only over the dams of s and their ancestors. Sires are taken in
// increasing code, so the F of every ancestor (needed for its D) is final
// when a sire is reached. Both passes visit each ancestor once, whatever the
// number of paths to it; ancestors older than the oldest ancestor of s have
// w = 0 and are not visited at all.
#include <algorithm>

#include "inbreeding.h"

namespace haldor::inbreeding {

namespace {

constexpr Code kExpanded = 0x80000000u;

// Ancestor lists in an order where every animal comes after its parents,
// found by a depth-first walk towards the parents. Visited animals carry the
// current stamp; a walk never enters an animal below `floor`.
class AncestorWalk {
 public:
  AncestorWalk(const CodedPedigree& ped) : sire_(ped.sire), dam_(ped.dam), mark_(ped.sire.size(), 0) {}

  void begin(Code floor) {
    if (++stamp_ == 0) {  // wrapped: forget every old stamp
      std::fill(mark_.begin(), mark_.end(), 0);
      stamp_ = 1;
    }
    floor_ = floor;
    order.clear();
  }

  // Appends `root` and its not yet listed ancestors to `order`.
  void add(Code root) {
    if (root < floor_ || mark_[root] == stamp_) return;
    stack_.push_back(root);
    while (!stack_.empty()) {
      Code e = stack_.back();
      if (e & kExpanded) {
        stack_.pop_back();
        order.push_back(e & ~kExpanded);
        continue;
      }
      if (mark_[e] == stamp_) {  // listed through another path meanwhile
        stack_.pop_back();
        continue;
      }
      mark_[e] = stamp_;
      stack_.back() = e | kExpanded;
      const Code s = sire_[e], d = dam_[e];
      if (s >= floor_ && mark_[s] != stamp_) stack_.push_back(s);
      if (d >= floor_ && mark_[d] != stamp_) stack_.push_back(d);
    }
  }

  std::vector<Code> order;

 private:
  const std::vector<Code>& sire_;
  const std::vector<Code>& dam_;
  std::vector<std::uint32_t> mark_;
  std::uint32_t stamp_ = 0;
  Code floor_ = 1;
  std::vector<Code> stack_;
};

}  // namespace

void inbreeding_indirect(const CodedPedigree& ped, std::vector<double>& F) {
  const std::size_t n = ped.size();
  const std::vector<Code>& sire = ped.sire;
  const std::vector<Code>& dam = ped.dam;
  F.assign(n + 1, 0.0);

  // Progeny with both parents known, grouped by sire (counting sort).
  std::vector<Code> first(n + 2, 0);
  for (std::size_t c = 1; c <= n; ++c)
    if (ped.live[c] && sire[c] && dam[c]) ++first[sire[c] + 1];
  for (std::size_t s = 1; s <= n + 1; ++s) first[s] += first[s - 1];
  std::vector<Code> progeny(first[n + 1]);
  {
    std::vector<Code> next(first.begin(), first.end() - 1);
    for (std::size_t c = 1; c <= n; ++c)
      if (ped.live[c] && sire[c] && dam[c]) progeny[next[sire[c]]++] = static_cast<Code>(c);
  }

  std::vector<double> t(n + 1, 0.0);  // T' e_s, then D T' e_s
  std::vector<double> w(n + 1, 0.0);  // A(j, s)
  AncestorWalk walk(ped);
  std::vector<Code> sire_line;

  for (std::size_t s = 1; s <= n; ++s) {
    const Code begin = first[s], end = first[s + 1];
    if (begin == end) continue;

    // The sire and his ancestors, youngest first when read backwards.
    walk.begin(1);
    walk.add(static_cast<Code>(s));
    sire_line.swap(walk.order);
    Code oldest = static_cast<Code>(s);
    t[s] = 1.0;
    for (auto it = sire_line.rbegin(); it != sire_line.rend(); ++it) {
      const Code j = *it;
      const double tj = t[j];
      const Code js = sire[j], jd = dam[j];
      t[js] += 0.5 * tj;
      t[jd] += 0.5 * tj;
      t[j] = tj * mendelian_factor(js, jd, F);
      oldest = std::min(oldest, j);
    }
    t[0] = 0.0;  // unknown parents collected contributions above

    // The dams and their ancestors down to the sire's oldest ancestor.
    walk.begin(oldest);
    for (Code k = begin; k < end; ++k) walk.add(dam[progeny[k]]);
    for (const Code j : walk.order) {
      const Code js = sire[j], jd = dam[j];
      const double ws = js >= oldest ? w[js] : 0.0;
      const double wd = jd >= oldest ? w[jd] : 0.0;
      w[j] = t[j] + 0.5 * (ws + wd);
    }
    for (Code k = begin; k < end; ++k) {
      const Code d = dam[progeny[k]];
      F[progeny[k]] = d >= oldest ? 0.5 * w[d] : 0.0;  // an older dam is no relative
    }

    for (const Code j : sire_line) t[j] = 0.0;
  }
}

}  // namespace haldor::inbreeding
