#include "frame.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "frame_run.h"
#include "test_util.h"

namespace haldor {
namespace {

// A module that only records what the frame handed it.
class Probe : public Module {
 public:
  Probe() {
    info_.name = "Probe";
    info_.banner_line2 = "  line two";
    info_.help_header = "Usage :\n";
    info_.usage_args = "<in> <out>";
    info_.optstring = "d:D:rf:m:hnx:";
    info_.help_order = "dx";
    info_.own_help = {{'x', {" -x : extra"}}};
    info_.unknown_option = "Error : unknown option %c\n";
    info_.wrong_count = "Error: wrong count";
    info_.reader = {"Reading... ", "Error: oom", "Error: oom", false};
  }
  const ModuleInfo& info() const override { return info_; }
  void option(int letter, const std::string& value) override { extra += std::string(1, char(letter)) + value; }
  int work(Run& run) override {
    settings = run.settings;
    records = run.ped.MAXANIMAL();
    return 0;
  }

  ModuleInfo info_;
  Settings settings;
  std::string extra;
  long records = -1;
};

using Result = testing::FrameRun;

Result run(Probe& probe, std::vector<std::string> args) { return testing::run_in_frame(probe, "probe", std::move(args)); }

const std::string kBanner = "Probe Version 1.0.0\n  line two\n  2017.2.28.\n\n";
const std::string kHelp = "Usage :\n\nProbe <in> <out>\n\n"
                          " -d : To specify input file delimiters (mixed types allowed).\n"
                          "      Example : \",\", \"|\", \"\\t\", \" \", \" ,.\\t\".\n"
                          "      With -r option white space characters (\" \\t\") are set as default.\n"
                          " -x : extra\n\n";

class FrameTest : public ::testing::Test {
 protected:
  testing::ScratchDir dir;
  std::string ped = dir.write("ped.txt", "A 0 0\nB A 0\n");
  std::string out = dir.file("out.txt");
  Probe probe;
};

TEST_F(FrameTest, DefaultsWithoutDelimiterOrColumns) {
  Result r = run(probe, {ped, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console, kBanner + "Reading... OK.\n  2 lines in " + ped + "\n");
  EXPECT_EQ(probe.settings.delimiters, " \t");
  EXPECT_TRUE(probe.settings.merge);
  EXPECT_EQ(probe.settings.marker, "0");
  EXPECT_EQ(probe.settings.out_delimiter, " ");
}

TEST_F(FrameTest, OptionsAfterFileNamesAndEscapes) {
  dir.write("ped.txt", "A;0;0\n");
  Result r = run(probe, {ped, out, "-d", "\\t;", "-D\\t", "-m", "-999", "-x", "v", "-h", "-n"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(probe.settings.delimiters, "\t;");
  EXPECT_FALSE(probe.settings.merge);
  EXPECT_EQ(probe.settings.out_delimiter, "\t");
  EXPECT_EQ(probe.settings.marker, "-999");
  EXPECT_TRUE(probe.settings.hash_report && probe.settings.numeric);
  EXPECT_EQ(probe.extra, "xv");
  EXPECT_EQ(probe.settings.files, (std::vector<std::string>{ped, out}));
}

TEST_F(FrameTest, FixedWidthDefaultsToAnEmptyMarker) {
  run(probe, {"-f", "1,1,2,1,3,1", "-r", ped, out});
  EXPECT_EQ(probe.settings.marker, "");
  EXPECT_TRUE(probe.settings.fixed_width());
}

TEST_F(FrameTest, UnknownOptionsAreReportedAndTheRunGoesOn) {
  Result r = run(probe, {"-q", ped, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console.substr(0, kBanner.size() + kHelp.size()), kBanner + kHelp);
  EXPECT_NE(r.console.find("Error : unknown option q\nReading... OK."), std::string::npos);
  EXPECT_EQ(probe.records, 2);
  // An option without its value counts as unknown too.
  Probe p2;
  Result r2 = run(p2, {ped, out, "-d"});
  EXPECT_EQ(r2.console, kBanner + kHelp + "Error : unknown option d\nReading... OK.\n  2 lines in " + ped + "\n");
}

TEST_F(FrameTest, UsageErrorsEndWithStatusZero) {
  EXPECT_EQ(run(probe, {}).console, kBanner + kHelp + "Error: wrong count\n");
  EXPECT_EQ(run(probe, {"-d,", "-f", "1,1,2,1,3,1", ped, out}).console,
            kBanner + kHelp + "Error: The -d and -f options used together.\n");
  EXPECT_EQ(run(probe, {"-f", "1,5,6,5", ped, out}).console,
            kBanner + kHelp + "Error: Incorrect use of -f option... '1,5,6,5', parsed rows : 2\n");
  // A column at position 0 or of length 0 is as unusable as a missing pair.
  EXPECT_EQ(run(probe, {"-f", "0,5,6,5,11,5", ped, out}).console,
            kBanner + kHelp + "Error: Incorrect use of -f option... '0,5,6,5,11,5', parsed rows : 3\n");
  Result r = run(probe, {"-f", "1,5,6,0,11,5", ped, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(probe.records, -1);
}

TEST_F(FrameTest, HelpAndVersionAnswerBeforeAnythingElse) {
  Result r = run(probe, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console, kBanner + kHelp);
  r = run(probe, {"-n", ped, "--version", out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console, "Probe Version 1.0.0\n");
  EXPECT_EQ(probe.records, -1);  // nothing was read
  // The first one given wins.
  EXPECT_EQ(run(probe, {"--version", "--help"}).console, "Probe Version 1.0.0\n");
}

TEST_F(FrameTest, HelpAndVersionOnlyAsOptionsOfTheirOwn) {
  // As the value of an option, after "--", or with POSIXLY_CORRECT after a
  // file name, they are no requests; other long options stay short letters.
  Result r = run(probe, {"-x", "--help", ped, out});
  EXPECT_EQ(probe.extra, "x--help");
  EXPECT_EQ(probe.records, 2);
  r = run(probe, {"-m--version", ped, out});
  EXPECT_EQ(probe.settings.marker, "--version");
  r = run(probe, {"--", "--help"});
  EXPECT_NE(r.console.find("Error: wrong count"), std::string::npos);
  setenv("POSIXLY_CORRECT", "1", 1);
  r = run(probe, {ped, "--version", out});
  unsetenv("POSIXLY_CORRECT");
  EXPECT_NE(r.console.find("Error: wrong count"), std::string::npos);
  Probe p2;
  r = run(p2, {"--usage", ped, out});
  EXPECT_EQ(r.console.substr(0, kBanner.size() + kHelp.size()), kBanner + kHelp);
  EXPECT_NE(r.console.find("Error : unknown option -\n"), std::string::npos);
}

TEST_F(FrameTest, PosixlyCorrectStopsAtTheFirstFileName) {
  setenv("POSIXLY_CORRECT", "1", 1);
  Result r = run(probe, {ped, out, "-n"});
  unsetenv("POSIXLY_CORRECT");
  EXPECT_NE(r.console.find("Error: wrong count"), std::string::npos);
}

TEST_F(FrameTest, RefusesToWriteOverAnInput) {
  std::string link = dir.file("link.txt");
  ASSERT_EQ(symlink(ped.c_str(), link.c_str()), 0);
  for (const std::string& target : {ped, link, dir.path() + "/./ped.txt"}) {
    Result r = run(probe, {ped, target});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(r.console, kBanner + "Error: Output file \"" + target + "\" is the input file \"" + ped +
                             "\". Nothing was written.\n");
  }
  EXPECT_EQ(testing::read_file(ped), "A 0 0\nB A 0\n");
}

TEST_F(FrameTest, UnreadableOrEmptyPedigreeFails) {
  EXPECT_EQ(run(probe, {dir.file("none"), out}).status, kFailure);
  EXPECT_EQ(run(probe, {dir.write("empty", ""), out}).status, kFailure);
}

}  // namespace
}  // namespace haldor
