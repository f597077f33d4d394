#include "loops.h"

#include <algorithm>

#include "frame.h"

namespace haldor::checker {

namespace {

// How far ahead the record loops prefetch: they touch their tables at random.
// The search's scan does little per record, so it looks further ahead.
constexpr std::uint32_t kAhead = 16;
constexpr std::uint32_t kSearchAhead = 64;

struct Found {
  std::uint32_t first;
  std::uint32_t size;
};

// One record being searched: its index, the next parent to look at (0 sire,
// 1 dam, 2 done) and whether it is still the root of its set.
struct Frame {
  std::uint32_t v;
  std::uint8_t next;
  bool root;
};

}  // namespace

ParentLinks resolve_parents(Run& run, long count) {
  ParentLinks links;
  const auto n = static_cast<std::size_t>(count);
  links.sire.resize(n);
  links.dam.resize(n);
  auto resolve = [&](SymbolId parent) -> std::uint32_t {
    if (parent == kNoSymbol) return 0;
    const HashEntry* e = run.HASHTBL.find_key(parent);
    return e ? static_cast<std::uint32_t>(e->address) : 0;
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kAhead < n) {
      const PedRecord& ahead = run.ped.PED[i + kAhead];
      run.HASHTBL.prefetch(ahead.sire);
      run.HASHTBL.prefetch(ahead.dam);
    }
    const PedRecord& r = run.ped.PED[i];
    links.sire[i] = resolve(r.sire);
    links.dam[i] = resolve(r.dam);
  }
  return links;
}

long find_loops(const ParentLinks& links, const std::function<void(const Loop&)>& visit) {
  const std::uint32_t n = links.size();
  // Pearce's single-array form of Tarjan's algorithm. rindex[v] is 0 before v
  // is reached, then v's search index while v is open (lowered to the
  // smallest index it reaches), and finally the number of v's set. Set
  // numbers count down from n and stay above every open index.
  std::vector<std::uint32_t, HugeAllocator<std::uint32_t>> rindex(n, 0);
  std::vector<Frame> path;          // the search path, deepest last
  std::vector<std::uint32_t> open;  // searched records whose set is not complete yet
  std::vector<Found> found;
  std::uint32_t index = 1;
  std::uint32_t set = n;

  auto parent = [&](std::uint32_t v, int which) { return which == 0 ? links.sire[v] : links.dam[v]; };
  // Always inlined: GCC takes a function that only prefetches for one
  // without effects and drops the calls to it.
  auto prefetch = [&](std::uint32_t link) __attribute__((always_inline)) {
    if (link != 0) __builtin_prefetch(&rindex[link - 1]);
  };

  for (std::uint32_t start = 0; start < n; ++start) {
    if (start + kSearchAhead < n) {
      prefetch(links.sire[start + kSearchAhead]);
      prefetch(links.dam[start + kSearchAhead]);
    }
    if (rindex[start] != 0) continue;
    rindex[start] = index++;
    path.push_back({start, 0, true});
    while (!path.empty()) {
      Frame& f = path.back();
      if (f.next < 2) {
        const std::uint32_t link = parent(f.v, f.next++);
        if (link == 0) continue;
        const std::uint32_t w = link - 1;
        if (rindex[w] == 0) {
          rindex[w] = index++;
          path.push_back({w, 0, true});  // f is not used after this
        } else if (rindex[w] < rindex[f.v]) {
          rindex[f.v] = rindex[w];
          f.root = false;
        }
        continue;
      }
      const std::uint32_t v = f.v;
      const bool root = f.root;
      path.pop_back();
      if (root) {
        // v and the open records above it on `open` make one set.
        --index;
        Found s{v, 1};
        while (!open.empty() && rindex[v] <= rindex[open.back()]) {
          const std::uint32_t w = open.back();
          open.pop_back();
          rindex[w] = set;
          --index;
          ++s.size;
          s.first = std::min(s.first, w);
        }
        rindex[v] = set--;
        if (s.size > 1 || links.sire[v] == v + 1 || links.dam[v] == v + 1) found.push_back(s);
      } else {
        open.push_back(v);
      }
      if (!path.empty()) {
        Frame& up = path.back();
        if (rindex[v] < rindex[up.v]) {
          rindex[up.v] = rindex[v];
          up.root = false;
        }
      }
    }
  }
  std::vector<Frame>().swap(path);
  std::vector<std::uint32_t>().swap(open);

  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.first < b.first; });

  // A shortest cycle through the first record: a breadth-first search along
  // parent links inside the set, until a record has the first as a parent.
  // Records reached are marked by setting their rindex to 0 (every set
  // number is at least 1); each set is searched once.
  constexpr std::uint32_t kNone = static_cast<std::uint32_t>(-1);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> queue;  // record, queue place of the record it came from
  Loop loop;
  for (const Found& s : found) {
    const std::uint32_t first = s.first;
    const std::uint32_t members = rindex[first];
    queue.clear();
    queue.reserve(s.size);  // the search stays inside the set
    queue.push_back({first, kNone});
    rindex[first] = 0;
    std::uint32_t closing = kNone;  // queue place of the record whose parent is `first`
    for (std::size_t head = 0; head < queue.size() && closing == kNone; ++head) {
      const std::uint32_t u = queue[head].first;
      for (int which = 0; which < 2; ++which) {
        const std::uint32_t link = parent(u, which);
        if (link == 0) continue;
        const std::uint32_t w = link - 1;
        if (w == first) {
          closing = static_cast<std::uint32_t>(head);
          break;
        }
        if (rindex[w] == members) {
          rindex[w] = 0;
          queue.push_back({w, static_cast<std::uint32_t>(head)});
        }
      }
    }
    loop.first = first;
    loop.size = s.size;
    loop.chain.clear();
    for (std::uint32_t at = closing; at != kNone; at = queue[at].second) loop.chain.push_back(queue[at].first);
    std::reverse(loop.chain.begin(), loop.chain.end());
    visit(loop);
  }
  return static_cast<long>(found.size());
}

}  // namespace haldor::checker
