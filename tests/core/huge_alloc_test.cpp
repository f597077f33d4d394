#include "huge_alloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace haldor {
namespace {

// Faulting a block in, on one thread or two, leaves every byte as it was,
// whether the block ends on a huge page boundary or not; blocks below a huge
// page are plain malloc and usable the same.
TEST(HugeAlloc, FaultingInKeepsWhatTheBlockHolds) {
  for (const std::size_t bytes : {std::size_t{4096}, kHugePage, 3 * kHugePage + 12345, 9 * kHugePage}) {
    auto* p = static_cast<std::uint8_t*>(huge_alloc(bytes));
    ASSERT_NE(p, nullptr);
    for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(i * 131 + (i >> 12));
    if (bytes >= kHugePage) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kHugePage, 0u);
      fault_in(p, bytes);
    }
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < bytes; ++i) wrong += p[i] != static_cast<std::uint8_t>(i * 131 + (i >> 12));
    EXPECT_EQ(wrong, 0u) << bytes << " bytes";
    std::free(p);
  }
}

}  // namespace
}  // namespace haldor
