// Interned identifier strings.
//
// A pedigree of ten million lines names each animal up to three times, so
// identifiers are stored once each and referred to by a 32-bit id everywhere
// else (records, the identifier table, the modules' own arrays). Id 0 is
// never used: it stands for "no identifier" (an unknown animal or parent).
//
// Ids are dense, handed out in the order the strings are first interned, and
// stay valid for the pool's lifetime. Strings are exact byte strings.
//
// Lookups in a table of millions of strings are bound by memory latency, so
// the slot of a string points straight at its stored bytes (one miss for the
// slot, one for the text), and intern_many() overlaps the misses of a batch
// of strings by prefetching.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "huge_alloc.h"

namespace haldor {

using SymbolId = std::uint32_t;
constexpr SymbolId kNoSymbol = 0;

// 32-bit FNV-1a over the bytes of `s`.
std::uint32_t fnv1a(std::string_view s);

class SymbolPool {
 public:
  SymbolPool();

  // Prepares room for about `expected` distinct strings (saves rehashing).
  void reserve(std::size_t expected);

  // Returns the id of `s`, adding it when new. Throws std::bad_alloc when
  // memory runs out (the pool is then unchanged). `s` must not be empty.
  SymbolId intern(std::string_view s);
  // intern() for `n` strings at once, in order: ids[i] = intern(keys[i]).
  // Empty strings give kNoSymbol. On std::bad_alloc the strings before the
  // failing one are interned.
  void intern_many(const std::string_view* keys, std::size_t n, SymbolId* ids);
  // Returns the id of `s`, or kNoSymbol when it was never interned.
  SymbolId find(std::string_view s) const;

  // Gives back the memory of the lookup index (about 16 bytes an id) for
  // a run that only prints names from here on: view() is unchanged, find()
  // becomes a search through every string, and the next intern() builds the
  // index again.
  void release_index();

  std::string_view view(SymbolId id) const {
    const char* rec = text_[id];
    std::uint32_t length;
    std::memcpy(&length, rec + sizeof(SymbolId), sizeof length);
    return std::string_view(rec + kHeader, length);
  }
  // Writers that print the names of millions of parents in an order of
  // their own fetch them a few lines ahead, in two steps: the place of the
  // text first, then (once that has arrived) the text.
  void prefetch_place(SymbolId id) const { __builtin_prefetch(&text_[id]); }
  void prefetch_text(SymbolId id) const { __builtin_prefetch(text_[id]); }
  // The FNV-1a value of the string with this id.
  std::uint32_t hash(SymbolId id) const { return fnv1a(view(id)); }
  // Number of ids in use plus one (ids run from 1 to size() - 1).
  std::size_t size() const { return text_.size(); }

  void clear();

 private:
  // A stored string: its id, its length, its bytes and a zero byte.
  static constexpr std::size_t kHeader = sizeof(SymbolId) + sizeof(std::uint32_t);
  // A slot holds the top 24 bits of the hash and the 40-bit place of the
  // stored string (block number and offset); 0 is an empty slot.
  static constexpr int kPlaceBits = 40;
  static constexpr int kOffsetBits = 22;

  const char* record_at(std::uint64_t slot) const {
    const std::uint64_t place = slot & ((std::uint64_t{1} << kPlaceBits) - 1);
    return blocks_[place >> kOffsetBits].get() + (place & ((std::uint64_t{1} << kOffsetBits) - 1));
  }
  static std::uint64_t tag_of(std::uint32_t h) { return static_cast<std::uint64_t>(h >> 8) << kPlaceBits; }
  SymbolId lookup(std::string_view s, std::uint32_t h, std::size_t* slot) const;
  SymbolId intern_hashed(std::string_view s, std::uint32_t h);
  void grow_slots();
  void rebuild_index();
  SymbolId find_unindexed(std::string_view s) const;
  std::uint64_t store(std::string_view s, SymbolId id, const char** where);

  std::vector<const char*, HugeAllocator<const char*>> text_;
  std::vector<std::uint64_t, HugeAllocator<std::uint64_t>> slots_;  // linear probing
  std::size_t mask_ = 0;
  struct FreeBlock {
    void operator()(char* p) const { std::free(p); }
  };
  std::vector<std::unique_ptr<char, FreeBlock>> blocks_;
  std::size_t block_used_ = 0;  // bytes used in the last regular block
  std::size_t current_block_ = 0;
  std::size_t block_size_ = 0;  // size of the last regular block; 0 before the first
  bool have_block_ = false;
  bool indexed_ = true;
};

}  // namespace haldor
