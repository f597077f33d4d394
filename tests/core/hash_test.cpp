#include "hash.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace haldor {
namespace {

TEST(Fnv1a, KnownValueAndBucket) {
  EXPECT_EQ(fnv1a("abc"), 0x1A47E90Bu);
  SymbolPool pool;
  HashTable table(pool);
  EXPECT_EQ(table.hash("abc"), 920331u);
  EXPECT_EQ(fnv1a(""), 0x811C9DC5u);
  // Bytes above 127 are hashed as unsigned values.
  EXPECT_EQ(fnv1a("\xff"), (0x811C9DC5u ^ 0xffu) * 0x01000193u);
}

TEST(HashTable, CountUsageAndAddress) {
  SymbolPool pool;
  HashTable t(pool);
  t.add_key("X", 2, 0);
  t.add_key("X", 4, 0);
  EXPECT_EQ(t.get_count("X"), 2);
  EXPECT_EQ(t.get_usage("X"), 6);
  EXPECT_EQ(t.get_address("X"), 0);
  t.add_key("X", 1, 12);
  t.add_key("X", 0, 30);
  std::uint8_t usage;
  std::int32_t address, count;
  EXPECT_EQ(t.get_info("X", &usage, &address, &count), 7);
  EXPECT_EQ(address, 12);  // a non-zero address is never overwritten
  EXPECT_EQ(count, 4);
  EXPECT_EQ(t.get_info("nope", &usage, &address, &count), 0);
  EXPECT_EQ(usage + address + count, 0);
  EXPECT_EQ(t.update_usage("nope", 3), nullptr);
  ASSERT_NE(t.update_address("X", 99), nullptr);
  EXPECT_EQ(t.get_address("X"), 99);
  // Identifiers are case-sensitive byte strings.
  EXPECT_EQ(t.get_count("x"), 0);
}

TEST(HashTable, EntryChangedThroughFindKeyStaysInTheTable) {
  SymbolPool pool;
  HashTable t(pool);
  t.add_key("F", 2, 0);
  t.find_key("F")->count = 0;
  ASSERT_NE(t.find_key("F"), nullptr);
  EXPECT_EQ(t.entries(), 1u);
}

// A table walks in the same order whether it is small beside its bucket
// count (sorted directly) or not (counted bucket by bucket).
TEST(HashTable, WalkOrderIsBucketThenNewestFirst) {
  for (std::uint32_t buckets : {3u, 6400u}) {
    SymbolPool pool;
    HashTable t(pool, buckets);
    std::vector<std::string> keys = {"a", "b", "c", "d", "e", "f", "g"};
    // Three more keys sharing the first key's bucket, so chains are long
    // in the large table too.
    for (int i = 0; keys.size() < 10; ++i) {
      std::string k(1, 'k');
      k.append(std::to_string(i));
      if (t.hash(k) == t.hash("a")) keys.push_back(k);
    }
    for (const auto& k : keys) t.add_key(k, 1, 0);
    std::vector<std::string> walked;
    t.walk([&](SymbolId id, const HashEntry&) { walked.emplace_back(pool.view(id)); });
    std::vector<std::string> expected;
    for (std::uint32_t b = 0; b < buckets; ++b)
      for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        if (t.hash(*it) == b) expected.push_back(*it);
    EXPECT_EQ(walked, expected) << buckets << " buckets";
    for (std::uint32_t b = 0; b < 3; ++b) {
      long n = 0;
      for (const auto& k : keys) n += t.hash(k) == b;
      EXPECT_EQ(t.count_list(b), n);
    }
  }
}

TEST(HashTable, DelListAndClear) {
  SymbolPool pool;
  HashTable t(pool, 2);
  for (const char* k : {"a", "b", "c", "d"}) t.add_key(k, 1, 0);
  std::uint32_t b = t.hash("a");
  t.del_list(b);
  EXPECT_EQ(t.count_list(b), 0);
  EXPECT_EQ(t.find_key("a"), nullptr);
  // A key deleted and inserted again is one fresh entry.
  t.add_key("a", 2, 0);
  EXPECT_EQ(t.get_count("a"), 1);
  EXPECT_EQ(t.count_list(b), 1);
  t.clear_hashtable();
  EXPECT_EQ(t.entries(), 0u);
  for (const char* k : {"a", "b", "c", "d"}) EXPECT_EQ(t.find_key(k), nullptr);
}

TEST(HashStatistics, Report) {
  SymbolPool pool;
  HashTable t(pool);
  for (const char* k : {"abc", "A1", "B2"}) t.add_key(k, 1, 0);
  ASSERT_NE(t.hash("abc"), t.hash("A1"));
  testing::Capture out;
  t.get_hash_statistics(out.get());
  const std::string dashes(46, '-');
  EXPECT_EQ(out.text(), "\nHash information\n" + dashes +
                            "\nBucket Size (k) ............ 1000000\n"
                            "Used buckets (b) ........... 3\n"
                            "Number of entries (n) ...... 3\n"
                            "Load factor (n/k) ..........  0.00\n"
                            "Averaged Collision (n/b) ...  1.00\n"
                            "Maximum entry list length .. 1\n" +
                            dashes + "\n");
}

TEST(HashStatistics, EmptyTableAndCollisions) {
  SymbolPool pool;
  HashTable empty(pool);
  testing::Capture out;
  empty.get_hash_statistics(out.get());
  EXPECT_NE(out.text().find("Averaged Collision (n/b) ...  0.00\n"), std::string::npos);
  EXPECT_NE(out.text().find("Maximum entry list length .. 0\n"), std::string::npos);

  HashTable small(pool, 1);
  for (const char* k : {"a", "b", "c", "d"}) small.add_key(k, 1, 0);
  testing::Capture out2;
  small.get_hash_statistics(out2.get());
  EXPECT_NE(out2.text().find("Averaged Collision (n/b) ...  4.00\n"), std::string::npos);
  EXPECT_NE(out2.text().find("Maximum entry list length .. 4\n"), std::string::npos);

  // The same chain in a table far larger than its entries.
  HashTable large(pool, 6400);
  std::vector<std::string> same{"a"};
  for (int i = 0; same.size() < 4; ++i) {
    std::string k(1, 'k');
    k.append(std::to_string(i));
    if (large.hash(k) == large.hash("a")) same.push_back(k);
  }
  for (const auto& k : same) large.add_key(k, 1, 0);
  large.add_key("b", 1, 0);
  testing::Capture out3;
  large.get_hash_statistics(out3.get());
  EXPECT_NE(out3.text().find("Used buckets (b) ........... 2\n"), std::string::npos) << out3.text();
  EXPECT_NE(out3.text().find("Maximum entry list length .. 4\n"), std::string::npos);
}

TEST(SymbolPool, ManyAndLongIdentifiers) {
  SymbolPool pool;
  std::vector<SymbolId> ids;
  for (int i = 0; i < 100000; ++i) ids.push_back(pool.intern("ID" + std::to_string(i)));
  std::string long_id(2 << 20, 'z');
  SymbolId big = pool.intern(long_id);
  for (int i = 0; i < 100000; i += 997) {
    EXPECT_EQ(pool.find("ID" + std::to_string(i)), ids[static_cast<std::size_t>(i)]);
    EXPECT_EQ(pool.view(ids[static_cast<std::size_t>(i)]), "ID" + std::to_string(i));
  }
  EXPECT_EQ(pool.view(big), long_id);
  EXPECT_EQ(pool.intern("ID5"), ids[5]);
  EXPECT_EQ(pool.find("ID100000"), kNoSymbol);
}

TEST(SymbolPool, ReleasedIndexStillFindsAndInternsEveryString) {
  // Strings in several regular blocks and in blocks of their own; after the
  // index is given back, names print as before, lookups still find every
  // string, and interning rebuilds the index without giving out a second id.
  SymbolPool pool;
  std::vector<SymbolId> ids;
  for (int i = 0; i < 30000; ++i) ids.push_back(pool.intern("animal-" + std::to_string(i)));
  const std::string long_id(3 << 20, 'q');
  const SymbolId big = pool.intern(long_id);
  ids.push_back(pool.intern("after-the-long-one"));
  pool.release_index();
  EXPECT_EQ(pool.view(ids[12345]), "animal-12345");
  EXPECT_EQ(pool.find("animal-29999"), ids[29999]);
  EXPECT_EQ(pool.find("absent"), kNoSymbol);
  EXPECT_EQ(pool.intern("after-the-long-one"), ids.back());
  EXPECT_EQ(pool.intern(long_id), big);
  for (int i = 0; i < 30000; i += 101) EXPECT_EQ(pool.intern("animal-" + std::to_string(i)), ids[static_cast<std::size_t>(i)]);
  const SymbolId fresh = pool.intern("new-one");
  EXPECT_EQ(fresh, static_cast<SymbolId>(pool.size() - 1));
  EXPECT_EQ(pool.find("new-one"), fresh);
  pool.release_index();
  std::string_view again[] = {"animal-7", "", "newer"};
  SymbolId out[3];
  pool.intern_many(again, 3, out);
  EXPECT_EQ(out[0], ids[7]);
  EXPECT_EQ(out[1], kNoSymbol);
  EXPECT_EQ(out[2], fresh + 1);
}

TEST(SymbolPool, BatchInterningMatchesOneByOne) {
  // Batches hold repeats of their own strings, empties and strings of earlier
  // batches; ids must come out as if interned one at a time.
  std::vector<std::string> keys;
  for (int i = 0; i < 5000; ++i) {
    std::string key;
    if (i % 7 != 0) key.assign(1, 'K').append(std::to_string((i * 7919) % 1500));
    keys.push_back(key);
  }
  std::vector<std::string_view> views(keys.begin(), keys.end());
  SymbolPool batched, single;
  std::vector<SymbolId> ids(keys.size());
  batched.intern_many(views.data(), views.size(), ids.data());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SymbolId expected = keys[i].empty() ? kNoSymbol : single.intern(keys[i]);
    ASSERT_EQ(ids[i], expected) << i;
  }
  EXPECT_EQ(batched.size(), single.size());
}

}  // namespace
}  // namespace haldor
