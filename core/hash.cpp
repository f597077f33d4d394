#include "hash.h"

#include <algorithm>
#include <new>

namespace haldor {

HashTable::HashTable(SymbolPool& pool, std::uint32_t buckets) : pool_(pool), buckets_(buckets ? buckets : 1) {}

HashEntry* HashTable::find_key(SymbolId id) {
  if (id == kNoSymbol || id >= entry_.size() || !entry_[id].live) return nullptr;
  return &entry_[id];
}

HashEntry* HashTable::find_key(std::string_view key) {
  if (key.empty()) return nullptr;
  return find_key(pool_.find(key));
}

HashEntry* HashTable::add_key(SymbolId id, std::uint8_t usage, std::int32_t address) {
  if (id == kNoSymbol) return nullptr;
  try {
    if (id >= entry_.size()) {
      std::size_t want = std::max<std::size_t>(pool_.size(), id + 1);
      entry_.resize(std::max(want, entry_.size() + entry_.size() / 2));
    }
    HashEntry& e = entry_[id];
    if (e.live) {
      ++e.count;
      e.usage |= usage;
      if (e.address == 0) e.address = address;
      return &e;
    }
    inserted_.push_back(id);
    e.live = true;
    e.count = 1;
    e.usage = usage;
    e.address = address;
    ++live_;
    return &e;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void HashTable::reserve_for_pool() {
  if (entry_.size() < pool_.size()) entry_.resize(pool_.size());
  inserted_.reserve(pool_.size());
}

HashEntry* HashTable::add_key(std::string_view key, std::uint8_t usage, std::int32_t address) {
  if (key.empty()) return nullptr;
  SymbolId id;
  try {
    id = pool_.intern(key);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return add_key(id, usage, address);
}

std::int32_t HashTable::get_count(std::string_view key) {
  HashEntry* e = find_key(key);
  return e ? e->count : 0;
}

std::uint8_t HashTable::get_usage(std::string_view key) {
  HashEntry* e = find_key(key);
  return e ? e->usage : 0;
}

std::int32_t HashTable::get_address(std::string_view key) {
  HashEntry* e = find_key(key);
  return e ? e->address : 0;
}

std::uint8_t HashTable::get_info(std::string_view key, std::uint8_t* usage, std::int32_t* address,
                                 std::int32_t* count) {
  HashEntry* e = find_key(key);
  *usage = e ? e->usage : 0;
  *address = e ? e->address : 0;
  *count = e ? e->count : 0;
  return *usage;
}

HashEntry* HashTable::update_usage(std::string_view key, std::uint8_t usage) {
  HashEntry* e = find_key(key);
  if (e) e->usage = usage;
  return e;
}

HashEntry* HashTable::update_address(std::string_view key, std::int32_t address) {
  HashEntry* e = find_key(key);
  if (e) e->address = address;
  return e;
}

long HashTable::count_list(std::uint32_t bucket) const {
  long n = 0;
  for (SymbolId id : inserted_)
    if (bucket_of(id) == bucket) ++n;
  return n;
}

void HashTable::del_list(std::uint32_t bucket) {
  std::size_t kept = 0;
  for (SymbolId id : inserted_) {
    if (bucket_of(id) == bucket) {
      entry_[id] = HashEntry{};
      --live_;
    } else {
      inserted_[kept++] = id;
    }
  }
  inserted_.resize(kept);
}

void HashTable::clear_hashtable() {
  decltype(entry_)().swap(entry_);
  decltype(inserted_)().swap(inserted_);
  live_ = 0;
}

void HashTable::walk(const std::function<void(SymbolId, const HashEntry&)>& visit) const {
  // A table far smaller than its bucket count is sorted by bucket directly,
  // newest entry first within a bucket.
  if (inserted_.size() < buckets_ / 64) {
    std::vector<std::pair<std::uint32_t, std::size_t>> order;
    order.reserve(inserted_.size());
    for (std::size_t i = inserted_.size(); i-- > 0;) order.emplace_back(bucket_of(inserted_[i]), inserted_.size() - i);
    std::sort(order.begin(), order.end());
    for (const auto& [bucket, age] : order) {
      const SymbolId id = inserted_[inserted_.size() - age];
      visit(id, entry_[id]);
    }
    return;
  }
  // A counting sort by bucket over the entries taken newest first gives
  // each bucket's chain in its head-to-tail order.
  std::vector<std::uint32_t> start(static_cast<std::size_t>(buckets_) + 1, 0);
  for (SymbolId id : inserted_) ++start[bucket_of(id) + 1];
  for (std::size_t b = 0; b < buckets_; ++b) start[b + 1] += start[b];
  std::vector<SymbolId> order(start[buckets_]);
  for (auto it = inserted_.rbegin(); it != inserted_.rend(); ++it) order[start[bucket_of(*it)]++] = *it;
  for (SymbolId id : order) visit(id, entry_[id]);
}

void HashTable::get_hash_statistics(std::FILE* out) const {
  long used = 0;
  long longest = 0;
  const long n = static_cast<long>(inserted_.size());
  if (inserted_.size() < buckets_ / 64) {
    // A small table: chains are runs of equal bucket numbers once sorted.
    std::vector<std::uint32_t> bucket(inserted_.size());
    for (std::size_t i = 0; i < inserted_.size(); ++i) bucket[i] = bucket_of(inserted_[i]);
    std::sort(bucket.begin(), bucket.end());
    for (std::size_t i = 0; i < bucket.size();) {
      std::size_t j = i;
      while (j < bucket.size() && bucket[j] == bucket[i]) ++j;
      ++used;
      longest = std::max<long>(longest, static_cast<long>(j - i));
      i = j;
    }
  } else {
    std::vector<std::uint32_t> chain(buckets_, 0);
    for (SymbolId id : inserted_) {
      std::uint32_t& len = chain[bucket_of(id)];
      if (len++ == 0) ++used;
      longest = std::max<long>(longest, len);
    }
  }
  const char* dashes = "----------------------------------------------";
  std::fprintf(out, "\nHash information\n%s\n", dashes);
  std::fprintf(out, "Bucket Size (k) ............ %ld\n", static_cast<long>(buckets_));
  std::fprintf(out, "Used buckets (b) ........... %ld\n", used);
  std::fprintf(out, "Number of entries (n) ...... %d\n", static_cast<int>(n));
  std::fprintf(out, "Load factor (n/k) .......... %5.2f\n", static_cast<double>(n) / buckets_);
  // An empty table has no collisions to average.
  std::fprintf(out, "Averaged Collision (n/b) ... %5.2f\n", used ? static_cast<double>(n) / used : 0.0);
  std::fprintf(out, "Maximum entry list length .. %d\n", static_cast<int>(longest));
  std::fprintf(out, "%s\n", dashes);
}

}  // namespace haldor
