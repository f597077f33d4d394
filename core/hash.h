// The animal identifier table `HASHTBL`.
//
// For every identifier a module inserts it keeps a count (how many times it
// was inserted), an address (a record number or code the module attaches;
// 0 = none) and a set of usage bits whose meaning each module defines.
//
// Observable behaviour is that of a table of 1,000,000 buckets (the bucket
// count is a constructor argument so tests can force collisions) with the
// FNV-1a value of the identifier modulo the bucket count as its bucket and
// each bucket a chain with the newest entry first: `walk` visits entries in
// that order and `get_hash_statistics` reports the figures of those chains.
// Inside, entries are found through the pedigree's symbol pool, so a lookup
// costs one probe of an open-addressing table whatever the chain lengths.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

#include "huge_alloc.h"
#include "symbols.h"

namespace haldor {

struct HashEntry {
  std::int32_t count = 0;
  std::int32_t address = 0;
  std::uint8_t usage = 0;
  bool live = false;  // the identifier is in the table
};

class HashTable {
 public:
  static constexpr std::uint32_t kBuckets = 1000000;

  // The table keys its entries by the ids of `pool`; inserting an identifier
  // the pool doesn't hold adds it to the pool.
  explicit HashTable(SymbolPool& pool, std::uint32_t buckets = kBuckets);

  std::uint32_t hash(std::string_view key) const { return fnv1a(key) % buckets_; }
  std::uint32_t bucket_of(SymbolId id) const { return pool_.hash(id) % buckets_; }

  // Returns the entry of `key`, or nullptr. Entry pointers stay valid until
  // the next add_key of a new identifier or clear_hashtable.
  HashEntry* find_key(std::string_view key);
  HashEntry* find_key(SymbolId id);
  // Inserts `key` (count 1) or updates it (count + 1, usage bits OR-ed in,
  // address set only while it is 0). Returns nullptr when memory ran out;
  // the table is then unchanged.
  HashEntry* add_key(std::string_view key, std::uint8_t usage, std::int32_t address);
  HashEntry* add_key(SymbolId id, std::uint8_t usage, std::int32_t address);

  // Asks the processor to fetch the entry of `id`: loops over millions of
  // records run much faster when they prefetch a few records ahead.
  void prefetch(SymbolId id) const {
    if (id < entry_.size()) __builtin_prefetch(&entry_[id]);
  }
  // Makes room for an entry for every id of the pool, so that add_key of
  // those ids allocates nothing.
  void reserve_for_pool();

  std::int32_t get_count(std::string_view key);
  std::uint8_t get_usage(std::string_view key);
  std::int32_t get_address(std::string_view key);
  // Fills the three outputs (all 0 when absent) and returns the usage.
  std::uint8_t get_info(std::string_view key, std::uint8_t* usage, std::int32_t* address, std::int32_t* count);
  HashEntry* update_usage(std::string_view key, std::uint8_t usage);
  HashEntry* update_address(std::string_view key, std::int32_t address);

  // Number of entries in the chain of `bucket` (a chain's length).
  long count_list(std::uint32_t bucket) const;
  // Releases every entry of `bucket`.
  void del_list(std::uint32_t bucket);
  void clear_hashtable();

  // Calls `visit(id, entry)` for every entry in table order: buckets in
  // ascending number, each from its newest entry to its oldest.
  void walk(const std::function<void(SymbolId, const HashEntry&)>& visit) const;

  // Prints the "Hash information" report.
  void get_hash_statistics(std::FILE* out = stdout) const;

  std::size_t entries() const { return live_; }
  SymbolPool& pool() { return pool_; }

 private:
  SymbolPool& pool_;
  std::uint32_t buckets_;
  std::vector<HashEntry, HugeAllocator<HashEntry>> entry_;     // indexed by symbol id
  std::vector<SymbolId, HugeAllocator<SymbolId>> inserted_;   // ids of the entries, in insertion order
  std::size_t live_ = 0;
};

}  // namespace haldor
