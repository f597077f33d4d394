// Quorel under memory pressure: whatever the memory limit, a run either
// finishes with its full report or stops with an out-of-memory "Error"
// message, status 255 and no report.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_program.h"
#include "test_util.h"

namespace haldor {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST(QuorelMemory, OutOfMemoryIsReportedNeverACrash) {
  if (kSanitized) GTEST_SKIP() << "address-space limits don't combine with AddressSanitizer";
  testing::ScratchDir dir;
  std::string ped;
  for (int i = 0; i < 300000; ++i)
    ped += "ANIMAL" + std::to_string(i) + " SIRE" + std::to_string(i % 97) + " DAM" + std::to_string(i / 3) + "\n";
  dir.write("ped.txt", ped);

  bool finished = false, refused = false;
  for (long kb = 8000; kb <= 200000; kb += 6000) {
    std::filesystem::remove(dir.file("report.txt"));
    testing::ProgramResult r = testing::run_program(QUOREL_PATH, {"ped.txt", "report.txt"}, dir.path(), kb);
    const bool has_report = std::filesystem::exists(dir.file("report.txt"));
    if (r.status == 0 && r.out.find("Total errors found") != std::string::npos) {
      EXPECT_TRUE(has_report) << kb;
      finished = true;
    } else {
      EXPECT_EQ(r.status, 255) << kb << "\n" << r.out;
      EXPECT_NE(r.out.find("Error: Out of Memory"), std::string::npos) << kb << "\n" << r.out;
      EXPECT_FALSE(has_report) << kb;
      refused = true;
    }
  }
  EXPECT_TRUE(finished);
  EXPECT_TRUE(refused);
}

}  // namespace
}  // namespace haldor
