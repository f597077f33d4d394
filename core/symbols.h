// Interned identifier strings.
//
// A pedigree of ten million lines names each animal up to three times, so
// identifiers are stored once each and referred to by a 32-bit id everywhere
// else (records, the identifier table, the modules' own arrays). Id 0 is
// never used: it stands for "no identifier" (an unknown animal or parent).
//
// Ids are dense, handed out in the order the strings are first interned, and
// stay valid for the pool's lifetime. Strings are exact byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

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
  // Returns the id of `s`, or kNoSymbol when it was never interned.
  SymbolId find(std::string_view s) const;

  std::string_view view(SymbolId id) const {
    return std::string_view(text_[id], length_[id]);
  }
  // The FNV-1a value of the string with this id.
  std::uint32_t hash(SymbolId id) const { return hash_[id]; }
  // Number of ids in use plus one (ids run from 1 to size() - 1).
  std::size_t size() const { return text_.size(); }

  void clear();

 private:
  SymbolId lookup(std::string_view s, std::uint32_t h, std::size_t* slot) const;
  void grow_slots();
  const char* store(std::string_view s);

  std::vector<const char*> text_;
  std::vector<std::uint32_t> length_;
  std::vector<std::uint32_t> hash_;
  std::vector<SymbolId> slots_;  // open addressing, linear probing; 0 = empty
  std::size_t mask_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* block_pos_ = nullptr;
  std::size_t block_left_ = 0;
};

}  // namespace haldor
