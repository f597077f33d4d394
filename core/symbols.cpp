#include "symbols.h"

#include <algorithm>
#include <functional>
#include <new>
#include <utility>

namespace haldor {

namespace {
constexpr std::size_t kBlockBytes = std::size_t{1} << 22;  // 4 MiB, the offset range of a slot
constexpr std::size_t kFirstBlockBytes = std::size_t{1} << 16;  // blocks double from here up to kBlockBytes
constexpr std::size_t kMinSlots = 1024;
constexpr std::size_t kBatch = 32;
}  // namespace

std::uint32_t fnv1a(std::string_view s) {
  std::uint32_t h = 0x811C9DC5u;
  for (unsigned char b : s) {
    h ^= b;
    h *= 0x01000193u;
  }
  return h;
}

SymbolPool::SymbolPool() { clear(); }

void SymbolPool::clear() {
  static const char kEmpty[kHeader + 1] = {};
  text_.assign(1, kEmpty);
  slots_.assign(kMinSlots, 0);
  mask_ = kMinSlots - 1;
  blocks_.clear();
  block_used_ = 0;
  current_block_ = 0;
  block_size_ = 0;
  have_block_ = false;
  indexed_ = true;
}

void SymbolPool::release_index() {
  decltype(slots_)().swap(slots_);
  mask_ = 0;
  indexed_ = false;
}

void SymbolPool::rebuild_index() {
  // A string's place is its block and its offset in it: the blocks are
  // sorted by address to find the block each stored string lies in.
  std::vector<std::pair<const char*, std::size_t>> by_address;
  by_address.reserve(blocks_.size());
  for (std::size_t b = 0; b < blocks_.size(); ++b) by_address.emplace_back(blocks_[b].get(), b);
  std::sort(by_address.begin(), by_address.end(),
            [](const auto& a, const auto& b) { return std::less<const char*>()(a.first, b.first); });
  std::size_t want = kMinSlots;
  while (want * 3 < text_.size() * 4) want <<= 1;
  decltype(slots_) fresh(want, 0);
  const std::size_t mask = want - 1;
  for (std::size_t id = 1; id < text_.size(); ++id) {
    const char* rec = text_[id];
    auto it = std::upper_bound(by_address.begin(), by_address.end(), rec,
                               [](const char* p, const auto& b) { return std::less<const char*>()(p, b.first); });
    --it;
    const std::uint64_t place = (static_cast<std::uint64_t>(it->second) << kOffsetBits) |
                                static_cast<std::uint64_t>(rec - it->first);
    const std::uint32_t h = fnv1a(view(static_cast<SymbolId>(id)));
    std::size_t i = h & mask;
    while (fresh[i] != 0) i = (i + 1) & mask;
    fresh[i] = tag_of(h) | place;
  }
  slots_.swap(fresh);
  mask_ = mask;
  indexed_ = true;
}

SymbolId SymbolPool::find_unindexed(std::string_view s) const {
  for (std::size_t id = 1; id < text_.size(); ++id)
    if (view(static_cast<SymbolId>(id)) == s) return static_cast<SymbolId>(id);
  return kNoSymbol;
}

void SymbolPool::reserve(std::size_t expected) {
  if (!indexed_) rebuild_index();
  text_.reserve(expected + 1);
  std::size_t want = kMinSlots;
  while (want < expected + expected / 3) want <<= 1;
  while (slots_.size() < want) grow_slots();
}

SymbolId SymbolPool::lookup(std::string_view s, std::uint32_t h, std::size_t* slot) const {
  const std::uint64_t tag = tag_of(h);
  std::size_t i = h & mask_;
  for (;;) {
    const std::uint64_t v = slots_[i];
    if (v == 0) {
      *slot = i;
      return kNoSymbol;
    }
    if ((v & ~((std::uint64_t{1} << kPlaceBits) - 1)) == tag) {
      const char* rec = record_at(v);
      std::uint32_t length;
      std::memcpy(&length, rec + sizeof(SymbolId), sizeof length);
      if (length == s.size() && std::memcmp(rec + kHeader, s.data(), s.size()) == 0) {
        SymbolId id;
        std::memcpy(&id, rec, sizeof id);
        *slot = i;
        return id;
      }
    }
    i = (i + 1) & mask_;
  }
}

SymbolId SymbolPool::find(std::string_view s) const {
  if (!indexed_) return find_unindexed(s);
  std::size_t slot;
  return lookup(s, fnv1a(s), &slot);
}

std::uint64_t SymbolPool::store(std::string_view s, SymbolId id, const char** where) {
  const std::uint32_t length = static_cast<std::uint32_t>(s.size());
  const std::size_t need = kHeader + s.size() + 1;
  std::size_t block, offset;
  if (need > kBlockBytes / 4) {
    // A long identifier gets a block of its own; the current block stays in use.
    blocks_.emplace_back(static_cast<char*>(huge_alloc(need)));
    block = blocks_.size() - 1;
    offset = 0;
  } else {
    if (!have_block_ || need > block_size_ - block_used_) {
      // A small pedigree's identifiers fit in a small first block.
      block_size_ = std::min(kBlockBytes, std::max(kFirstBlockBytes, 2 * block_size_));
      while (block_size_ < need) block_size_ *= 2;
      blocks_.emplace_back(static_cast<char*>(huge_alloc(block_size_)));
      current_block_ = blocks_.size() - 1;
      block_used_ = 0;
      have_block_ = true;
    }
    block = current_block_;
    offset = block_used_;
    block_used_ += need;
  }
  if (block >> (kPlaceBits - kOffsetBits)) throw std::bad_alloc();
  char* p = blocks_[block].get() + offset;
  std::memcpy(p, &id, sizeof id);
  std::memcpy(p + sizeof id, &length, sizeof length);
  std::memcpy(p + kHeader, s.data(), s.size());
  p[need - 1] = '\0';
  *where = p;
  return (static_cast<std::uint64_t>(block) << kOffsetBits) | offset;
}

void SymbolPool::grow_slots() {
  std::vector<std::uint64_t, HugeAllocator<std::uint64_t>> bigger(slots_.size() * 2, 0);
  const std::size_t mask = bigger.size() - 1;
  for (std::uint64_t v : slots_) {
    if (v == 0) continue;
    const char* rec = record_at(v);
    std::uint32_t length;
    std::memcpy(&length, rec + sizeof(SymbolId), sizeof length);
    std::size_t i = fnv1a(std::string_view(rec + kHeader, length)) & mask;
    while (bigger[i] != 0) i = (i + 1) & mask;
    bigger[i] = v;
  }
  slots_.swap(bigger);
  mask_ = mask;
}

SymbolId SymbolPool::intern_hashed(std::string_view s, std::uint32_t h) {
  if (!indexed_) rebuild_index();
  std::size_t slot;
  SymbolId id = lookup(s, h, &slot);
  if (id != kNoSymbol) return id;
  if (text_.size() >= 0xFFFFFFFFu || s.size() >= 0xFFFFFFFFu) throw std::bad_alloc();

  // Make every allocation first, so that a failure leaves the pool unchanged.
  if (text_.size() == text_.capacity()) text_.reserve(text_.capacity() * 2);
  if ((text_.size() + 1) * 4 > slots_.size() * 3) {
    grow_slots();
    lookup(s, h, &slot);
  }
  id = static_cast<SymbolId>(text_.size());
  const char* where;
  const std::uint64_t place = store(s, id, &where);
  text_.push_back(where);
  slots_[slot] = tag_of(h) | place;
  return id;
}

SymbolId SymbolPool::intern(std::string_view s) { return intern_hashed(s, fnv1a(s)); }

void SymbolPool::intern_many(const std::string_view* keys, std::size_t n, SymbolId* ids) {
  if (!indexed_) rebuild_index();
  std::uint32_t h[kBatch];
  for (std::size_t start = 0; start < n; start += kBatch) {
    const std::size_t m = n - start < kBatch ? n - start : kBatch;
    // Fetch the home slots of the whole batch at once, then the strings they
    // point at, so the misses overlap instead of queueing one after another.
    for (std::size_t i = 0; i < m; ++i) {
      h[i] = fnv1a(keys[start + i]);
      __builtin_prefetch(&slots_[h[i] & mask_]);
    }
    for (std::size_t i = 0; i < m; ++i) {
      const std::uint64_t v = slots_[h[i] & mask_];
      if (v != 0) __builtin_prefetch(record_at(v));
    }
    for (std::size_t i = 0; i < m; ++i) {
      const std::string_view key = keys[start + i];
      ids[start + i] = key.empty() ? kNoSymbol : intern_hashed(key, h[i]);
    }
  }
}

}  // namespace haldor
