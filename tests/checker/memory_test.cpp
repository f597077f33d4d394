// Quorel under memory pressure, with and without the loop report: whatever
// the memory limit, a run either finishes with its full report or stops with
// an out-of-memory "Error" message, status 255 and no report.
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

// Runs Quorel with `options` under address-space limits from 8 MB up.
void check_memory_limits(const std::vector<std::string>& options, long step_kb, const char* last_line) {
  testing::ScratchDir dir;
  std::string ped;
  for (int i = 0; i < 300000; ++i)
    ped += "ANIMAL" + std::to_string(i) + " SIRE" + std::to_string(i % 97) + " DAM" + std::to_string(i / 3) + "\n";
  // A loop through 1000 animals at the end.
  for (int i = 0; i < 1000; ++i)
    ped += "L" + std::to_string(i) + " L" + std::to_string((i + 1) % 1000) + " 0\n";
  dir.write("ped.txt", ped);

  bool finished = false, refused = false;
  for (long kb = 8000; kb <= 200000; kb += step_kb) {
    std::filesystem::remove(dir.file("report.txt"));
    std::vector<std::string> args = options;
    args.push_back("ped.txt");
    args.push_back("report.txt");
    testing::ProgramResult r = testing::run_program(QUOREL_PATH, args, dir.path(), kb);
    const bool has_report = std::filesystem::exists(dir.file("report.txt"));
    if (r.status == 0 && r.out.find(last_line) != std::string::npos) {
      EXPECT_TRUE(has_report) << kb;
      finished = true;
    } else {
      EXPECT_EQ(r.status, 255) << kb << "\n" << r.out;
      // The reader's and the table's own messages, or the run's for memory
      // that ran out later (the loop search).
      EXPECT_TRUE(r.out.find("Error: Out of Memory") != std::string::npos ||
                  r.out.find("Error: Out of memory!") != std::string::npos)
          << kb << "\n" << r.out;
      EXPECT_FALSE(has_report) << kb;
      refused = true;
    }
  }
  EXPECT_TRUE(finished);
  EXPECT_TRUE(refused);
}

TEST(QuorelMemory, OutOfMemoryIsReportedNeverACrash) {
  if (kSanitized) GTEST_SKIP() << "address-space limits don't combine with AddressSanitizer";
  check_memory_limits({}, 6000, "Total errors found");
}

TEST(QuorelMemory, LoopReportOutOfMemoryIsReportedNeverACrash) {
  if (kSanitized) GTEST_SKIP() << "address-space limits don't combine with AddressSanitizer";
  check_memory_limits({"-l"}, 12000, "Number of pedigree loops : 1\n");
}

}  // namespace
}  // namespace haldor
