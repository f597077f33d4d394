#include "symbols.h"

#include <cstring>
#include <new>

namespace haldor {

namespace {
constexpr std::size_t kBlockBytes = 1 << 20;
constexpr std::size_t kMinSlots = 1024;
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
  text_.assign(1, "");
  length_.assign(1, 0);
  hash_.assign(1, 0);
  slots_.assign(kMinSlots, kNoSymbol);
  mask_ = kMinSlots - 1;
  blocks_.clear();
  block_pos_ = nullptr;
  block_left_ = 0;
}

void SymbolPool::reserve(std::size_t expected) {
  text_.reserve(expected + 1);
  length_.reserve(expected + 1);
  hash_.reserve(expected + 1);
  std::size_t want = kMinSlots;
  while (want < expected + expected / 3) want <<= 1;
  while (slots_.size() < want) grow_slots();
}

SymbolId SymbolPool::lookup(std::string_view s, std::uint32_t h, std::size_t* slot) const {
  std::size_t i = h & mask_;
  for (;;) {
    SymbolId id = slots_[i];
    if (id == kNoSymbol) {
      *slot = i;
      return kNoSymbol;
    }
    if (hash_[id] == h && length_[id] == s.size() && std::memcmp(text_[id], s.data(), s.size()) == 0) {
      *slot = i;
      return id;
    }
    i = (i + 1) & mask_;
  }
}

SymbolId SymbolPool::find(std::string_view s) const {
  std::size_t slot;
  return lookup(s, fnv1a(s), &slot);
}

const char* SymbolPool::store(std::string_view s) {
  if (s.size() + 1 > block_left_) {
    std::size_t bytes = s.size() + 1 > kBlockBytes / 4 ? s.size() + 1 : kBlockBytes;
    blocks_.push_back(std::unique_ptr<char[]>(new char[bytes]));
    if (bytes != kBlockBytes) {
      // A long identifier gets a block of its own; the current block stays in use.
      char* own = blocks_.back().get();
      std::memcpy(own, s.data(), s.size());
      own[s.size()] = '\0';
      return own;
    }
    block_pos_ = blocks_.back().get();
    block_left_ = bytes;
  }
  char* p = block_pos_;
  std::memcpy(p, s.data(), s.size());
  p[s.size()] = '\0';
  block_pos_ += s.size() + 1;
  block_left_ -= s.size() + 1;
  return p;
}

void SymbolPool::grow_slots() {
  std::vector<SymbolId> bigger(slots_.size() * 2, kNoSymbol);
  std::size_t mask = bigger.size() - 1;
  for (SymbolId id : slots_) {
    if (id == kNoSymbol) continue;
    std::size_t i = hash_[id] & mask;
    while (bigger[i] != kNoSymbol) i = (i + 1) & mask;
    bigger[i] = id;
  }
  slots_.swap(bigger);
  mask_ = mask;
}

SymbolId SymbolPool::intern(std::string_view s) {
  const std::uint32_t h = fnv1a(s);
  std::size_t slot;
  SymbolId id = lookup(s, h, &slot);
  if (id != kNoSymbol) return id;
  if (text_.size() >= 0xFFFFFFFFu || s.size() >= 0xFFFFFFFFu) throw std::bad_alloc();

  // Make every allocation first, so that a failure leaves the pool unchanged.
  if (text_.size() == text_.capacity()) {
    const std::size_t more = text_.capacity() * 2;
    text_.reserve(more);
    length_.reserve(more);
    hash_.reserve(more);
  }
  if ((text_.size() + 1) * 4 > slots_.size() * 3) {
    grow_slots();
    lookup(s, h, &slot);
  }
  const char* text = store(s);
  id = static_cast<SymbolId>(text_.size());
  text_.push_back(text);
  length_.push_back(static_cast<std::uint32_t>(s.size()));
  hash_.push_back(h);
  slots_[slot] = id;
  return id;
}

}  // namespace haldor
