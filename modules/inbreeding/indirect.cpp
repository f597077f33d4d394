// Inbreeding by the indirect method.
//
// With A = T D T' (T the matrix of gene flow, D the Mendelian sampling
// factors), the column of A of a sire s is A e_s = T (D (T' e_s)):
//   - t = T' e_s holds the contributions L(s, j) of s's ancestors j; it is
//     built by passing each ancestor's contribution halved to its parents,
//     ancestors taken youngest first, then scaled by D;
//   - w = T (D t) gives w_j = A(j, s) = D_j t_j + (w_sire(j) + w_dam(j)) / 2,
//     ancestors taken oldest first. D_j t_j is read only for w_j, so w_j is
//     written over it in the same row.
// The progeny of s out of dam d has F = A(s, d) / 2 = w_d / 2, so both passes
// run only over the ancestors of s and of his mates; each ancestor is handled
// once, whatever the number of paths to it. Ancestors older than the oldest
// ancestor of s have w = 0 and are not visited, and neither is any animal
// whose parents both have w = 0 and which is no ancestor of s.
//
// Sires are taken in batches of up to kLanes, each sire one lane of the
// vectors t and w, so that the ancestors the sires of one batch share are
// walked once per batch rather than once per sire. The D of an ancestor needs
// the F of its parents, so a sire can only be handled after the sires of all
// his ancestors: sires are put into rounds (a sire's round is one more than
// the last round any of his ancestors' F depends on) and a batch never mixes
// rounds. Within a round, the sires of one mating group (sires linked by
// mates in common: a herd or flock) are taken together, since they share
// more of their ancestors than sires taken by code. A batch whose rows would
// pass a memory cap is split into halves with half the lanes, down to single
// sires. The batches are fixed by the
// pedigree alone, and which sires share a batch does not change a value:
// a lane's sums take the same terms in the same order whatever the other
// lanes hold, the other lanes' animals adding exact zeros to it.
//
// Only the core of the pedigree, the sires and their ancestors, is walked,
// in arrays of its own that are small enough to stay in the caches. Any
// other animal x has t_x = 0, so w_x = (w_sire(x) + w_dam(x)) / 2: a dam
// outside the core is reached through her maternal line d_0 = d, d_1 =
// dam(d_0), ... down to the first core animal d_k (or an unknown dam):
//   w_d = sum_{i<k} w_sire(d_i) / 2^(i+1) + w_(d_k) / 2^k,
// and every sire(d_i) is in the core. A core dam that is no ancestor of the
// batch's sires has t = 0 too, and her w is filled in as that of any needed
// animal off the sire side. Her line could go on through her parents
// instead, but lines are followed one link at a time from memory anywhere
// in the pedigree, while her row is filled in with the ancestors the batch
// needs anyway: ending every line at its first core animal cuts the links
// a herd book's lines follow by three fifths.
//
// Core indices put parents before their progeny (depth first from the
// youngest animals, so that an animal's ancestors lie close together): a
// batch finds its sire side by marking it in a byte per core index and
// scanning the marks from the youngest down (to mark parents), rather than
// by a search through the pedigree; the scan reads the side's parents in
// index order and the marks stay in the caches. The other animals the dams'
// lines need are found breadth first from the lines' animals instead, and
// put in index order by a bit per core index: on natural service they lie
// far apart (one in 35 to 70 indices), so a scan would spend its time
// crossing indices, and the parents of the animals waiting in the queue can
// be fetched early, where a scan waits on the marks it has just set. Both
// lists are then read back up, oldest first, to fill w parents first.
//
// The batches of one round do not depend on each other: each writes the F of
// its own sires' progeny only and reads the F of animals of earlier rounds.
// They are shared out between threads, each with its own marks and vectors; a
// batch computes the same values whichever thread runs it, so the results do
// not depend on the number of threads.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

// The rows are mapped from the kernel on Linux, except under the address
// sanitizer, which checks heap blocks only.
#if defined(__SANITIZE_ADDRESS__)
#define HALDOR_HEAP_ROWS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HALDOR_HEAP_ROWS 1
#endif
#endif
#if defined(__linux__) && !defined(HALDOR_HEAP_ROWS)
#define HALDOR_MAPPED_ROWS 1
#include <sys/mman.h>
#endif

#include "batch_profile.h"
#include "inbreeding.h"
#include "progress.h"
#include "threads.h"

namespace haldor::inbreeding {

namespace {

using Index = std::uint32_t;  // position in the core, 1-based; 0 = none

constexpr Index kCoreFlag = 0x80000000u;
constexpr int kLanes = 16;

// The parents of a core animal, as core indices.
struct Parents {
  Index sire;
  Index dam;
};

// Any animal, as seen from its progeny: a core animal's index (with
// kCoreFlag) or the core index of its sire, and the code of its dam.
struct Link {
  Index sire_or_self;
  Code dam;
};

double factor(const std::vector<double>& coreF, const Parents& x) {
  const double fs = coreF[x.sire], fd = coreF[x.dam];  // coreF[0] is 0
  if (x.sire && x.dam) return 0.5 - 0.25 * fs - 0.25 * fd;
  if (x.sire || x.dam) return 0.75 - 0.25 * (fs + fd);
  return 1.0;
}

// A mating's maternal-line terms: core animals whose w, halved once per step
// down the line, add up to w of the dam (see the top of this file).
constexpr Index kLineEnd = 0x80000000u;  // the line's last animal: weight 2^-k, not 2^-(i+1)
constexpr std::size_t kChunk = std::size_t(1) << 18;  // terms evaluated at a time, by default

struct Mating {
  Code animal;
  int lane;
  Index core;  // the animal's core index, 0 when it is not in the core
};

// A batch's marks, one byte per core index.
constexpr std::uint8_t kSireSide = 1;  // a sire of the batch or an ancestor of one
constexpr std::uint8_t kNeeded = 2;    // w wanted: a term, or a parent of a needed animal

// The first index from k down to `floor` (at least 1) whose mark has one of
// `bit`, or floor - 1. Eight marks at a time are skipped while none of them
// has it. The mark at k is read on its own first: the scan has often just
// set it (an animal's dam often has the index right before its own), and a
// byte just stored is read back at once on its own, where a read of eight
// bytes over it waits until the store is done.
inline Index marked_down(const std::uint8_t* mark, Index k, std::uint8_t bit, Index floor) {
  const std::uint64_t any = 0x0101010101010101ull * bit;
  if (k >= floor && (mark[k] & bit)) return k;
  while (k >= floor) {
    if (k >= floor + 7) {
      std::uint64_t eight;
      std::memcpy(&eight, mark + (k - 7), sizeof eight);
      if (!(eight & any)) {
        k -= 8;
        continue;
      }
    }
    if (mark[k] & bit) return k;
    --k;
  }
  return floor - 1;
}

// Calls f(k) for each of the `count` indices k whose bits are set in `bits`,
// from `top` down (youngest first), and clears them.
template <class F>
inline void take_down(std::uint64_t* bits, Index top, std::size_t count, F&& f) {
  for (std::size_t w = top >> 6; count > 0; --w) {
    std::uint64_t word = bits[w];
    if (!word) continue;
    bits[w] = 0;
    do {
      const unsigned b = 63u - static_cast<unsigned>(__builtin_clzll(word));
      word &= ~(std::uint64_t(1) << b);
      f(static_cast<Index>(w * 64 + b));
      --count;
    } while (word);
  }
}

// Everything the batches share. While a round runs, its batches only write
// the F of their own sires' progeny, which no other batch of the round reads.
struct Shared {
  const CodedPedigree& ped;
  std::vector<double>& F;
  std::vector<Parents> parents;  // the core, index 1 .. K
  std::vector<double> coreF;     // F of each core index
  // D of each core index, made the first time a batch needs it (its
  // parents' F are final by then) and kept: the F of a side's parents lie
  // anywhere in coreF, while the side's own D lie in its index order. NaN
  // until made; threads that make the same one at once store the same bits.
  std::vector<double> coreD;
  std::vector<Code> oldest_code;  // smallest code among each core index and its ancestors
  std::vector<Link> link;        // by code
  std::vector<Code> first;       // progeny of core index k: progeny[first[k] .. first[k + 1])
  std::vector<Code> progeny;
  std::size_t cap = 0;
  std::size_t chunk = kChunk;

  Shared(const CodedPedigree& p, std::vector<double>& f) : ped(p), F(f) {}
  double D_of(Index k, const Parents& p) {
    std::atomic_ref<double> d(coreD[k]);
    double v = d.load(std::memory_order_relaxed);
    if (v != v) {
      v = factor(coreF, p);
      d.store(v, std::memory_order_relaxed);
    }
    return v;
  }
  // The core index of an animal, 0 when it is not in the core.
  Index core_of(Code c) const {
    const Index s = link[c].sire_or_self;
    return (s & kCoreFlag) ? s & ~kCoreFlag : 0;
  }
  void set_F(const Mating& x, double f) {
    F[x.animal] = f;
    if (x.core) coreF[x.core] = f;
  }
};

// Rows of t and w: a buffer that keeps its contents when it grows but does
// not clear new space (every row is written before it is read). On Linux it
// is mapped from the kernel and grown by remapping its pages, so it never
// holds its old and new copy at once and its size is what the largest batch
// needed, not what the allocator kept of earlier blocks.
class RowBuffer {
 public:
  RowBuffer() = default;
  RowBuffer(const RowBuffer&) = delete;
  RowBuffer& operator=(const RowBuffer&) = delete;
  RowBuffer(RowBuffer&& o) noexcept : data_(o.data_), size_(o.size_), capacity_(o.capacity_) {
    o.data_ = nullptr;
    o.size_ = o.capacity_ = 0;
  }
  ~RowBuffer() { release(data_, capacity_); }
  double* data() { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  // Makes room for `n` doubles in all, keeping the first size() of them.
  void reserve(std::size_t n) {
    if (n <= capacity_) return;
    constexpr std::size_t kStep = (std::size_t(1) << 21) / sizeof(double);  // 2 MiB
    std::size_t grown = std::max(n, capacity_ + capacity_ / 4);
    if (grown > std::numeric_limits<std::size_t>::max() / sizeof(double) - kStep) throw std::bad_alloc();
    grown = (grown + kStep - 1) / kStep * kStep;
#ifdef HALDOR_MAPPED_ROWS
    void* fresh = data_ ? mremap(data_, capacity_ * sizeof(double), grown * sizeof(double), MREMAP_MAYMOVE)
                        : mmap(nullptr, grown * sizeof(double), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                               -1, 0);
    if (fresh == MAP_FAILED) throw std::bad_alloc();
#else
    void* fresh = std::realloc(data_, grown * sizeof(double));
    if (!fresh) throw std::bad_alloc();
#endif
    data_ = static_cast<double*>(fresh);
    capacity_ = grown;
  }
  void resize(std::size_t n) {  // n within the capacity
    size_ = n;
  }

 private:
  static void release(double* p, std::size_t capacity) {
    if (!p) return;
#ifdef HALDOR_MAPPED_ROWS
    munmap(p, capacity * sizeof(double));
#else
    (void)capacity;
    std::free(p);
#endif
  }
  double* data_ = nullptr;
  std::size_t size_ = 0, capacity_ = 0;
};

// A list that keeps its room from batch to batch and leaves new room
// uninitialised: the scans fill it through a local pointer and count,
// growing it when it is full.
template <class T>
class List {
 public:
  T* data() { return p_.get(); }
  const T* data() const { return p_.get(); }
  const T* begin() const { return p_.get(); }
  const T* end() const { return p_.get() + n_; }
  std::size_t size() const { return n_; }
  std::size_t capacity() const { return cap_; }
  const T& back() const { return p_[n_ - 1]; }
  void clear() { n_ = 0; }
  void set_size(std::size_t n) { n_ = n; }  // n within the capacity
  // Makes room for at least `want` entries, keeping the first size() of them.
  T* reserve(std::size_t want) {
    if (want > cap_) {
      const std::size_t grown = std::max({want, 2 * cap_, std::size_t(1024)});
      std::unique_ptr<T[]> fresh(new T[grown]);
      if (n_) std::memcpy(fresh.get(), p_.get(), n_ * sizeof(T));
      p_ = std::move(fresh);
      cap_ = grown;
    }
    return p_.get();
  }

 private:
  std::unique_ptr<T[]> p_;
  std::size_t n_ = 0, cap_ = 0;
};

// An animal a scan found, with its parents: the passes after the scan read
// them in the list's order rather than from the core's array.
struct Member {
  Index k;
  Parents p;
};

// The rows of an animal's parents.
struct RowPair {
  std::uint32_t sire;
  std::uint32_t dam;
};

// A dam's maternal line being followed down.
struct Line {
  Code x = 0;
  Mating mating{0, 0, 0};
  std::vector<Index> terms;
};
constexpr int kLines = 16;  // lines followed in turn

// One thread's marks and vectors. Between batches every mark and row number
// is 0.
struct Work {
  Shared& shared;
  std::vector<std::uint8_t> mark;    // by core index
  std::vector<std::uint32_t> row;    // row of t or w by core index (0: none, w = 0)
  List<Member> side;                 // the batch's sire side, youngest first
  List<Index> with_w;                // core indices given a row of w
  List<Member> pending;              // needed animals to fill in, youngest first
  List<Index> queue;                 // needed animals in the order they were found
  std::vector<std::uint64_t> found;  // a bit per core index: in the queue, not yet in `pending`
  std::vector<RowPair> prow;         // rows of the parents of each side animal, in side order
  RowBuffer rows;  // t of the sire side, then w in place of it, then w of other animals
  std::vector<Index> terms;
  std::vector<Mating> matings;
  Line line[kLines];
  [[no_unique_address]] BatchProfile profile;  // empty unless built to profile the batches

  explicit Work(Shared& s)
      : shared(s), mark(s.parents.size(), 0), row(s.parents.size(), 0), found(s.parents.size() / 64 + 1, 0) {}
};

// Row operations over the lanes, V lanes at a time (two with the baseline
// instruction set, four where the processor has AVX2): once inlined, the
// compiler no longer sees that the rows do not overlap and would otherwise
// take one lane at a time. Each lane takes the same operations in the same
// order at any width, so the values do not depend on it.
template <std::size_t V>
struct Vec;
template <>
struct Vec<1> {
  typedef double type;
};
template <>
struct Vec<2> {
  typedef double type __attribute__((vector_size(16)));
};
template <>
struct Vec<4> {
  typedef double type __attribute__((vector_size(32)));
};
// The widest step of at most V lanes that divides L.
constexpr std::size_t step_of(std::size_t L, std::size_t V) {
  while (V > 1 && L % V != 0) V /= 2;
  return V;
}

// The vectors go in and out through memory and references: a function
// built for the baseline may not pass the wider ones by value.
template <class R>
inline void load(R& r, const double* p) {
  std::memcpy(&r, p, sizeof r);
}
template <class R>
inline void store(double* p, const R& r) {
  std::memcpy(p, &r, sizeof r);
}

template <std::size_t L, std::size_t V>
inline void add_to(double* __restrict row, const double* __restrict x) {
  using R = typename Vec<step_of(L, V)>::type;
  R r, a;
  for (std::size_t l = 0; l < L; l += sizeof(R) / sizeof(double)) {
    load(r, row + l), load(a, x + l);
    store(row + l, r + a);
  }
}
template <std::size_t L, std::size_t V>
inline void mean_of(double* __restrict w, const double* __restrict ws, const double* __restrict wd) {
  using R = typename Vec<step_of(L, V)>::type;
  R a, b;
  for (std::size_t l = 0; l < L; l += sizeof(R) / sizeof(double)) {
    load(a, ws + l), load(b, wd + l);
    store(w + l, 0.5 * (a + b));
  }
}
template <std::size_t L, std::size_t V>
inline void add_mean_of(double* __restrict w, const double* __restrict ws, const double* __restrict wd) {
  using R = typename Vec<step_of(L, V)>::type;
  R r, a, b;
  for (std::size_t l = 0; l < L; l += sizeof(R) / sizeof(double)) {
    load(r, w + l), load(a, ws + l), load(b, wd + l);
    store(w + l, r + 0.5 * (a + b));
  }
}

// Fetches the L doubles of row r (rows lie anywhere in the buffer).
template <std::size_t L, int write = 0>
inline void prefetch_row(const double* W, std::size_t r) {
  for (std::size_t o = 0; o < L; o += 8) __builtin_prefetch(&W[r * L + o], write);
}

// A pass that fills w parents first, at position j of `list` and going down,
// fetches early the parents' rows of the animal a few places on, and their
// row numbers a few more places on: on a large pedigree the row numbers come
// from memory, which takes longer than a dozen animals' turns. Always
// inlined: GCC takes a function that only prefetches for one without
// effects and drops the calls to it.
template <std::size_t L>
[[gnu::always_inline]] inline void fetch_parents_ahead(const Member* list, std::size_t j, const std::uint32_t* wr,
                                                       const double* W) {
  constexpr std::size_t ahead = 12, row_ahead = 24;
  if (j >= row_ahead) {
    const Parents q = list[j - row_ahead].p;
    __builtin_prefetch(&wr[q.sire]);
    __builtin_prefetch(&wr[q.dam]);
  }
  if (j >= ahead) {
    const Parents q = list[j - ahead].p;
    prefetch_row<L>(W, wr[q.sire]);
    prefetch_row<L>(W, wr[q.dam]);
  }
}

struct Batch {
  const Index* sires;
  int count;
};

// Clears a batch's marks and row numbers however the batch ends.
class BatchReset {
 public:
  explicit BatchReset(Work& w) : w_(w) {}
  BatchReset(const BatchReset&) = delete;
  BatchReset& operator=(const BatchReset&) = delete;
  ~BatchReset() {
    for (const Member& a : w_.side) w_.row[a.k] = 0;
    for (Index c : w_.with_w) w_.row[c] = 0;
    if (hi >= lo) std::memset(&w_.mark[lo], 0, hi - lo + 1);
    if (bits && hi >= lo) std::memset(&w_.found[lo >> 6], 0, ((hi >> 6) - (lo >> 6) + 1) * sizeof(std::uint64_t));
    w_.mark[0] = 0;
    w_.side.clear();
    w_.with_w.clear();
  }
  Index lo = 1, hi = 0;  // marks may be set in lo .. hi (and at 0)
  bool bits = false;     // bits of `found` may be set in lo .. hi

 private:
  Work& w_;
};

// Runs one batch with `lanes` lanes (at least as many as its sires). Returns
// false when the batch's rows would pass the cap (one lane has none); the
// batch must then be run again with fewer lanes.
template <int lanes, std::size_t V>
bool run_batch(const Batch& b, Work& work) {
  constexpr std::size_t L = lanes;
  Shared& shared = work.shared;
  const std::vector<Parents>& par = shared.parents;
  std::uint8_t* const mark = work.mark.data();
  std::vector<std::uint32_t>& row_of = work.row;
  RowBuffer& buf = work.rows;  // t of the sire side, then w
  BatchProfile& prof = work.profile;
  prof.start(Pass::kSideScan);
  struct StopClock {
    BatchProfile& p;
    ~StopClock() { p.stop(); }
  } stop_clock{prof};
  BatchReset reset(work);

  // The sire side: the sires and their ancestors, youngest first. Lines end
  // below the smallest code of the sire side, which need not be the code of
  // its smallest index: it is the smallest of the sires' entries in the
  // core's table of oldest codes, so the scan reads no codes.
  Index top = 0;
  Code oldest_code = std::numeric_limits<Code>::max();
  for (int i = 0; i < b.count; ++i) {
    mark[b.sires[i]] |= kSireSide;
    top = std::max(top, b.sires[i]);
    oldest_code = std::min(oldest_code, shared.oldest_code[b.sires[i]]);
  }
  reset.hi = top;
  {
    // Local pointers, as in the scans below. Each side animal gets its row
    // of t as it is found, and the row is cleared there: the scan mostly
    // waits on its marks and records, and the stores go out meanwhile,
    // where a pass of its own over the rows afterwards would only clear.
    List<Member>& side = work.side;
    Member* out = side.reserve(1024);
    std::size_t n = 0;
    const Parents* const P = par.data();
    std::uint32_t* const rows = row_of.data();
    buf.reserve(2 * L);
    double* T = buf.data();
    std::fill_n(T, L, 0.0);  // row 0
    for (Index k = top; (k = marked_down(mark, k, kSireSide, 1)) > 0; --k) {
      if (n == side.capacity()) {
        side.set_size(n);
        out = side.reserve(n + 1);
      }
      if ((n + 2) * L > buf.capacity()) {  // room for row n + 1
        side.set_size(n);  // the rows given so far are taken back however the batch ends
        if (lanes > 1 && (n + 2) * L * sizeof(double) > shared.cap) return false;  // as checked below
        buf.reserve((n + 2) * L);
        T = buf.data();
      }
      const Parents p = P[k];
      out[n++] = Member{k, p};
      rows[k] = static_cast<std::uint32_t>(n);
      std::fill_n(T + n * L, L, 0.0);
      mark[k] = kSireSide | kNeeded;  // its w is filled in with the rest of the side
      // While the side is being found, a mark below the scan has no bit
      // but this one, and one at the scan has this one only: the marks are
      // stored, not read and changed, so that a parent's mark far off in
      // the core does not hold the scan up until it comes from memory.
      mark[p.sire] = kSireSide;
      mark[p.dam] = kSireSide;
    }
    side.set_size(n);
  }
  const Index oldest = work.side.back().k;
  reset.lo = oldest;
  prof.add(Tally::kBatches, 1);
  prof.add(Tally::kSide, work.side.size());
  prof.add(Tally::kSideSpan, top - oldest + 1);
  const std::size_t m = work.side.size() + 1;  // rows of t, row 0 a scratch row
  if (lanes > 1 && m * L * sizeof(double) > shared.cap) return false;

  // t = T' e_s, youngest first, then D t. Row 0 takes what unknown parents
  // would receive.
  buf.resize(m * L);
  prof.to(Pass::kUp);
  double* const Tp = buf.data();
  for (int i = 0; i < b.count; ++i) Tp[row_of[b.sires[i]] * L + static_cast<std::size_t>(i)] = 1.0;
  {
    // The parents' rows lie anywhere in T: they are fetched a few animals
    // ahead, and their row numbers and the animal's D a few more ahead. The
    // parents' row numbers are kept for the pass that fills w.
    constexpr std::size_t ahead = 8, row_ahead = 16;
    const std::size_t count = work.side.size();
    const Member* const side = work.side.data();
    if (work.prow.size() < count) work.prow.resize(count);
    RowPair* const prow = work.prow.data();
    for (std::size_t i = 0; i < count; ++i) {
      if (i + row_ahead < count) {
        const Member& a = side[i + row_ahead];
        __builtin_prefetch(&row_of[a.p.sire]);
        __builtin_prefetch(&row_of[a.p.dam]);
        __builtin_prefetch(&shared.coreD[a.k]);
      }
      if (i + ahead < count) {
        const Parents q = side[i + ahead].p;
        prefetch_row<L, 1>(Tp, row_of[q.sire]);
        prefetch_row<L, 1>(Tp, row_of[q.dam]);
      }
      const Index k = side[i].k;
      const Parents p = side[i].p;
      double* __restrict t = &Tp[(i + 1) * L];
      const double D = shared.D_of(k, p);
      const std::uint32_t rs = row_of[p.sire], rd = row_of[p.dam];
      prow[i] = RowPair{rs, rd};
      double half[lanes];
      for (std::size_t l = 0; l < L; ++l) half[l] = 0.5 * t[l];
      for (std::size_t l = 0; l < L; ++l) t[l] *= D;
      add_to<L, V>(&Tp[rs * L], half);  // the same row when both parents are unknown
      add_to<L, V>(&Tp[rd * L], half);
    }
  }

  // w = T (D t), first over the whole sire side, oldest first (its
  // ancestors are all on the side), each w written over its D t; then over
  // the other animals the dams' lines need, filled in chunk by chunk as the
  // lines name more of them. Animals older than the oldest have w = 0; other
  // animals get rows after the side's. Row 0 is w = 0.
  prof.to(Pass::kSideW);
  std::fill_n(buf.data(), L, 0.0);
  {
    const RowPair* const prow = work.prow.data();
    double* const W = buf.data();
    constexpr std::size_t ahead = 8;
    for (std::size_t i = work.side.size(); i-- > 0;) {
      if (i >= ahead) {
        prefetch_row<L>(W, prow[i - ahead].sire);
        prefetch_row<L>(W, prow[i - ahead].dam);
      }
      const RowPair q = prow[i];
      add_mean_of<L, V>(&W[(i + 1) * L], &W[q.sire * L], &W[q.dam * L]);
    }
  }
  Index newest = 0;  // youngest animal wanted since the last extend
  std::size_t wanted = 0;  // animals the lines have put in the queue
  List<Index>& queue = work.queue;
  std::uint64_t* const found = work.found.data();
  const Parents* const P = par.data();
  auto need = [&](Index c) {
    if (c < oldest || (mark[c] & kNeeded)) return;
    mark[c] |= kNeeded;
    if (wanted == queue.capacity()) {
      queue.set_size(wanted);
      queue.reserve(wanted + 1);
    }
    queue.data()[wanted++] = c;
    newest = std::max(newest, c);
  };
  auto extend = [&]() {
    if (wanted == 0) return true;
    prof.to(Pass::kNeededScan);
    reset.hi = std::max(reset.hi, newest);
    reset.bits = true;
    // The parents of a needed animal are needed: found breadth first, each
    // animal's parents fetched a few places ahead, then listed youngest
    // first by their bits. A parent goes in the queue only when new, with
    // no branch to guess wrong. The arrays are read through local pointers:
    // the byte stores to the marks could alias anything, and the compiler
    // would otherwise load every pointer again after each of them.
    std::uint8_t* const mk = mark;
    const Index lo = oldest;
    std::size_t count = wanted;
    Index* q = queue.data();
    for (std::size_t i = 0; i < count; ++i) {
      if (count + 2 > queue.capacity()) {
        queue.set_size(count);
        q = queue.reserve(count + 2);
      }
      // Two steps ahead: the record of the animal 48 places on, then the
      // marks and bit of the one 24 places on, whose record is in cache by
      // then. On a large pedigree both come from memory, which takes longer
      // than a dozen animals' turns; 64 and 32 places gained no more.
      constexpr std::size_t far = 48, near = 24;
      if (i + far < count) __builtin_prefetch(&P[q[i + far]]);
      if (i + near < count) {
        const Index a = q[i + near];
        const Parents pa = P[a];
        __builtin_prefetch(&mk[pa.sire], 1);
        __builtin_prefetch(&mk[pa.dam], 1);
        __builtin_prefetch(&found[a >> 6], 1);
      }
      const Index k = q[i];
      found[k >> 6] |= std::uint64_t(1) << (k & 63);
      const Parents p = P[k];
      for (const Index x : {p.sire, p.dam}) {
        const std::uint8_t m = mk[x];
        const bool fresh = (x >= lo) & !(m & kNeeded);
        mk[x] = fresh ? m | kNeeded : m;
        q[count] = x;
        count += fresh;
      }
    }
    List<Member>& pending = work.pending;
    pending.clear();
    Member* const pend = pending.reserve(count);
    {
      std::size_t i = 0;
      take_down(found, newest, count, [&](Index k) { pend[i++] = Member{k, P[k]}; });
    }
    pending.set_size(count);
    reset.bits = false;
    wanted = 0;
    prof.add(Tally::kNeeded, count);
    prof.add(Tally::kNeededSpan, newest - lo + 1);
    prof.to(Pass::kNeededW);
    newest = 0;
    std::size_t rows = buf.size() / L;
    if (lanes > 1 && (rows + count) * L * sizeof(double) > shared.cap) return false;
    buf.reserve((rows + count) * L);
    std::size_t given_n = work.with_w.size();
    Index* const given = work.with_w.reserve(given_n + count);
    double* const W = buf.data();
    std::uint32_t* const wr = row_of.data();
    // Up: parents first. An animal off the sire side whose parents both have
    // w = 0 has w = 0 and gets no row.
    for (std::size_t j = count; j-- > 0;) {
      fetch_parents_ahead<L>(pend, j, wr, W);
      const Index k = pend[j].k;
      const Parents p = pend[j].p;
      const std::uint32_t rs = wr[p.sire], rd = wr[p.dam];
      if (rs == 0 && rd == 0) continue;
      wr[k] = static_cast<std::uint32_t>(rows);
      given[given_n++] = k;
      mean_of<L, V>(&W[rows * L], &W[rs * L], &W[rd * L]);
      ++rows;
    }
    work.with_w.set_size(given_n);
    prof.add(Tally::kNeededRows, rows - buf.size() / L);
    buf.resize(rows * L);
    prof.to(Pass::kLines);
    return true;
  };
  auto evaluate = [&]() {
    prof.to(Pass::kTerms);
    prof.add(Tally::kMatings, work.matings.size());
    const double* const W = buf.data();
    std::size_t next = 0;
    for (const Mating& x : work.matings) {
      double sum = 0.0, weight = 0.5;
      for (;; weight *= 0.5) {
        const Index e = work.terms[next++];
        const Index c = e & ~kLineEnd;
        const double w = W[work.row[c] * L + static_cast<std::size_t>(x.lane)];
        if (e & kLineEnd) {
          sum += 2.0 * weight * w;
          break;
        }
        sum += weight * w;
      }
      shared.set_F(x, 0.5 * sum);
    }
    work.terms.clear();
    work.matings.clear();
    prof.to(Pass::kLines);
  };

  prof.to(Pass::kLines);
  work.terms.clear();
  work.matings.clear();
  // Down each dam's maternal line to its first core animal; lines reaching
  // animals older than the oldest end there (w = 0). Several lines
  // are followed in turn so that their links are fetched from memory
  // together.
  Line* const line = work.line;
  int sire_i = 0;
  Code next_k = shared.first[b.sires[0]];
  auto start = [&](Line& ln) {
    while (sire_i < b.count && next_k == shared.first[b.sires[sire_i] + 1]) {
      if (++sire_i < b.count) next_k = shared.first[b.sires[sire_i]];
    }
    if (sire_i >= b.count) return false;
    constexpr Code ahead = 16;  // progeny whose records are fetched early
    if (next_k + ahead < shared.progeny.size()) {
      const Code later = shared.progeny[next_k + ahead];
      __builtin_prefetch(&shared.ped.dam[later]);
      __builtin_prefetch(&shared.link[later]);
      __builtin_prefetch(&shared.F[later], 1);
    }
    const Code animal = shared.progeny[next_k++];
    ln.mating = {animal, sire_i, shared.core_of(animal)};
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
        const Link l = shared.link[ln.x];
        if (l.sire_or_self & kCoreFlag) {
          end = l.sire_or_self & ~kCoreFlag;
        } else {
          need(l.sire_or_self);
          ln.terms.push_back(l.sire_or_self);
          prof.add(Tally::kLinks, 1);
          ln.x = l.dam;
          __builtin_prefetch(&shared.link[ln.x]);
          finished = false;
        }
      }
      if (!finished) continue;
      need(end);
      work.terms.insert(work.terms.end(), ln.terms.begin(), ln.terms.end());
      work.terms.push_back(end | kLineEnd);
      work.matings.push_back(ln.mating);
      if (work.terms.size() >= shared.chunk) {
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

// Runs a batch, or, when its rows would pass the cap, each half of it with
// half the lanes, down to one sire at a time (which has no cap). A sire's
// values are the same whatever the number of lanes.
template <int lanes, std::size_t V>
void run_split(const Index* sires, int count, Work& work) {
  if (run_batch<lanes, V>(Batch{sires, count}, work)) return;
  if constexpr (lanes > 1) {
    constexpr int half = lanes / 2;
    for (int i = 0; i < count; i += half) run_split<half, V>(sires + i, std::min(half, count - i), work);
  }
}

using RunSplit = void (*)(const Index*, int, Work&);

void run_split_baseline(const Index* sires, int count, Work& work) { run_split<kLanes, 2>(sires, count, work); }

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define HALDOR_AVX2_ROWS 1
// The same batches built for AVX2, four lanes a step: the up pass and the
// side's w pass spend most of their time moving rows, and take a fifth and
// two fifths less with half the instructions. Everything the batch calls is
// built into this function (flatten), so that all of it takes the wider
// instructions; what it calls that is not built in (allocation, mapping)
// keeps the baseline's.
[[gnu::target("avx2"), gnu::flatten]] void run_split_avx2(const Index* sires, int count, Work& work) {
  run_split<kLanes, 4>(sires, count, work);
}
#endif

RunSplit pick_rows(RowWidth width) {
#ifdef HALDOR_AVX2_ROWS
  if (width == RowWidth::kWidest && __builtin_cpu_supports("avx2")) return run_split_avx2;
#else
  (void)width;
#endif
  return run_split_baseline;
}

}  // namespace

std::vector<Code> mating_groups(const CodedPedigree& ped) {
  // Union-find over the sires: each dam joins the group of her first mate
  // to the group of every later one. Joining under the smaller code makes
  // every group's root its smallest sire.
  const std::size_t n = ped.size();
  std::vector<Code> up(n + 1), mate(n + 1, 0);
  for (std::size_t c = 0; c <= n; ++c) up[c] = static_cast<Code>(c);
  auto root = [&](Code x) {
    while (up[x] != x) x = up[x] = up[up[x]];
    return x;
  };
  constexpr std::size_t ahead = 16;  // a dam's first mate and a sire's link are fetched ahead
  for (std::size_t c = 1; c <= n; ++c) {
    if (c + ahead <= n) {
      __builtin_prefetch(&mate[ped.dam[c + ahead]]);
      __builtin_prefetch(&up[ped.sire[c + ahead]]);
    }
    const Code s = ped.sire[c], d = ped.dam[c];
    if (!ped.live[c] || !s || !d) continue;
    if (!mate[d]) {
      mate[d] = s;
      continue;
    }
    const Code a = root(mate[d]), b = root(s);
    if (a < b)
      up[b] = a;
    else if (b < a)
      up[a] = b;
  }
  for (std::size_t c = 0; c <= n; ++c) up[c] = root(static_cast<Code>(c));
  return up;
}

void inbreeding_indirect(const CodedPedigree& ped, std::vector<double>& F, std::size_t lane_cap,
                         std::size_t term_chunk, RowWidth width) {
  const std::size_t n = ped.size();
  if (n >= kCoreFlag) throw std::bad_alloc();  // codes and indices must leave their top bit free
  const std::vector<Code>& sire = ped.sire;
  const std::vector<Code>& dam = ped.dam;
  F.assign(n + 1, 0.0);
  Shared shared(ped, F);
  auto mated = [&](std::size_t c) { return ped.live[c] && sire[c] && dam[c]; };

  // Sires of progeny with both parents known, by round, then by mating
  // group, then by code.
  struct Sire {
    std::uint32_t round;
    Code group;
    Code code;
    bool operator<(const Sire& o) const {
      return round != o.round ? round < o.round : group != o.group ? group < o.group : code < o.code;
    }
  };
  const unsigned threads = worker_threads(kMaxThreads);
  // The sires of one herd share more of their ancestry than sires taken by
  // code, so a batch of them has fewer rows to fill. Where dams are mated
  // across herds (artificial insemination) most sires fall into one group
  // and keep their order by code. The groups are found on a thread of their
  // own while this one finds the rounds.
  auto find_groups = [&] { return mating_groups(ped); };
  std::future<std::vector<Code>> groups;
  try {
    groups = std::async(threads > 1 ? std::launch::async : std::launch::deferred, find_groups);
  } catch (const std::system_error&) {
    groups = std::async(std::launch::deferred, find_groups);  // no thread to be had: found on this one
  }
  std::vector<Sire> sires;
  {
    // R: last round the F of the animal and of all its ancestors depends
    // on; P: round of the animal as a sire. The parents' rounds lie
    // anywhere in the table: they are fetched a few animals ahead.
    struct Rounds {
      std::uint32_t R, P;
    };
    std::vector<Rounds> rp(n + 1, Rounds{0, 0});
    std::vector<std::uint8_t> has(n + 1, 0);
    constexpr std::size_t ahead = 16;
    for (std::size_t c = 1; c <= n; ++c) {
      if (c + ahead <= n) {
        __builtin_prefetch(&rp[sire[c + ahead]]);
        __builtin_prefetch(&rp[dam[c + ahead]]);
        __builtin_prefetch(&has[sire[c + ahead]], 1);
      }
      const Code s = sire[c], d = dam[c];
      const std::uint32_t parents = std::max(rp[s].R, rp[d].R);
      rp[c].P = parents + 1;
      rp[c].R = (s && d) ? std::max(parents, rp[s].P) : parents;
      if (mated(c)) has[s] = 1;
    }
    for (std::size_t s = 1; s <= n; ++s)
      if (has[s]) sires.push_back(Sire{rp[s].P, 0, static_cast<Code>(s)});
  }
  {
    const std::vector<Code> group = groups.get();
    for (Sire& x : sires) x.group = group[x.code];
  }
  std::sort(sires.begin(), sires.end());

  // The core: every sire and, youngest first, the parents of core animals.
  std::vector<Index> index(n + 1, 0);  // core index by code
  std::vector<Code> code;              // code by core index
  {
    std::vector<std::uint8_t> core(n + 1, 0);
    for (std::size_t c = 1; c <= n; ++c)
      if (ped.live[c]) core[sire[c]] = 1;
    for (std::size_t c = n; c >= 1; --c)
      if (core[c]) core[sire[c]] = core[dam[c]] = 1;
    // Core indices are given depth first over the parents, each animal
    // after its parents, starting from the youngest animals, rather than in
    // code order: the ancestors of one animal then lie close together, so a
    // batch's scans cross shorter spans and its marks share cache lines,
    // where code order spreads them over every birth year.
    enum : std::uint8_t { kOut, kIn, kOpened };
    core[0] = kOut;
    code.assign(1, 0);
    std::vector<Code> stack;
    for (std::size_t top = n; top >= 1; --top) {
      if (core[top] != kIn || index[top]) continue;
      stack.push_back(static_cast<Code>(top));
      while (!stack.empty()) {
        const Code c = stack.back();
        if (index[c]) {
          stack.pop_back();
        } else if (core[c] == kOpened) {
          stack.pop_back();
          index[c] = static_cast<Index>(code.size());
          code.push_back(c);
        } else {
          core[c] = kOpened;
          if (core[dam[c]] == kIn) stack.push_back(dam[c]);
          if (core[sire[c]] == kIn) stack.push_back(sire[c]);
        }
      }
    }
  }
  const std::size_t K = code.size() - 1;
  shared.parents.resize(K + 1);
  shared.parents[0] = Parents{0, 0};
  for (std::size_t k = 1; k <= K; ++k) {
    const Code c = code[k];
    shared.parents[k] = Parents{index[sire[c]], index[dam[c]]};
  }
  shared.coreF.assign(K + 1, 0.0);
  // The smallest code among each core animal and its ancestors, made over
  // the codes, parents first (parents have smaller codes than their
  // progeny: it is the code of an ancestor with neither parent known).
  code[0] = std::numeric_limits<Code>::max();
  for (std::size_t k = 1; k <= K; ++k) {
    const Parents p = shared.parents[k];
    code[k] = std::min({code[k], code[p.sire], code[p.dam]});
  }
  shared.oldest_code = std::move(code);
  shared.coreD.assign(K + 1, std::numeric_limits<double>::quiet_NaN());
  shared.link.resize(n + 1);
  for (std::size_t c = 0; c <= n; ++c)
    shared.link[c] = Link{index[c] ? index[c] | kCoreFlag : index[sire[c]], dam[c]};

  // Progeny with both parents known, grouped by their sire's core index.
  // The entries of a sire lie anywhere in their tables: they are fetched a
  // few progeny ahead.
  constexpr std::size_t ahead = 16;
  shared.first.assign(K + 2, 0);
  for (std::size_t c = 1; c <= n; ++c) {
    if (c + 2 * ahead <= n) __builtin_prefetch(&index[sire[c + 2 * ahead]]);
    if (c + ahead <= n) __builtin_prefetch(&shared.first[index[sire[c + ahead]] + 1], 1);
    if (mated(c)) ++shared.first[index[sire[c]] + 1];
  }
  for (std::size_t k = 1; k <= K + 1; ++k) shared.first[k] += shared.first[k - 1];
  shared.progeny.resize(shared.first[K + 1]);
  {
    std::vector<Code> next(shared.first.begin(), shared.first.end() - 1);
    for (std::size_t c = 1; c <= n; ++c) {
      if (c + 2 * ahead <= n) __builtin_prefetch(&index[sire[c + 2 * ahead]]);
      if (c + ahead <= n) __builtin_prefetch(&next[index[sire[c + ahead]]], 1);
      if (mated(c)) shared.progeny[next[index[sire[c]]]++] = static_cast<Code>(c);
    }
  }
  std::vector<Index> order;
  std::vector<std::uint32_t> round;
  order.reserve(sires.size());
  round.reserve(sires.size());
  for (const Sire& x : sires) {
    round.push_back(x.round);
    order.push_back(index[x.code]);
  }
  std::vector<Sire>().swap(sires);
  std::vector<Index>().swap(index);

  shared.cap = lane_cap ? lane_cap : std::max<std::size_t>(std::size_t(64) << 20, 4 * n);
  if (term_chunk) shared.chunk = term_chunk;

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
  // On a terminal, a long computation shows the share of batches done.
  Progress progress("inbreeding", batch_begin.size() - 1);

  std::vector<Work> works;
  works.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) works.emplace_back(shared);

  const RunSplit run_split_rows = pick_rows(width);
  auto run = [&](Work& work, std::size_t b) {
    const std::size_t i = batch_begin[b], j = batch_begin[b + 1];
    run_split_rows(&order[i], static_cast<int>(j - i), work);
  };
  for (std::size_t r = 0; r + 1 < round_begin.size(); ++r) {
    const std::size_t first = round_begin[r], last = round_begin[r + 1];
    if (threads == 1 || last - first == 1) {
      for (std::size_t b = first; b < last; ++b) {
        run(works[0], b);
        progress.update(b + 1);
      }
      continue;
    }
    std::atomic<std::size_t> next{first};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    auto worker = [&](Work& work) {
      try {
        for (std::size_t b; !failed && (b = next++) < last;) {
          run(work, b);
          // Only the calling thread draws.
          if (&work == &works[0]) progress.update(b + 1);
        }
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
  BatchProfile profile;
  for (const Work& w : works) profile.merge(w.profile);
  profile.print(stderr);
}

}  // namespace haldor::inbreeding
