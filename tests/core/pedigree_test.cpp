#include "pedigree.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace haldor {
namespace {

const ReaderTexts kTexts{"Reading...", "Error: no memory", "Error: no memory while reading", true};

struct Line {
  std::string animal, sire, dam;
  bool operator==(const Line&) const = default;
};

std::vector<Line> lines(const Pedigree& ped) {
  std::vector<Line> out;
  for (const PedRecord& r : ped.PED)
    out.push_back({std::string(ped.name(r.animal)), std::string(ped.name(r.sire)), std::string(ped.name(r.dam))});
  return out;
}

std::vector<Line> read_dsf(const std::string& content, const std::string& delims = " \t", bool merge = true,
                           FieldRules rules = {"0", false}, std::string* console_text = nullptr) {
  testing::ScratchDir dir;
  testing::Capture console;
  Pedigree ped;
  long n = read_ped_dsf(ped, dir.write("ped.txt", content), delims, merge, rules, kTexts, console.get());
  EXPECT_EQ(n, ped.MAXANIMAL());
  if (console_text) *console_text = console.text();
  return lines(ped);
}

TEST(TextHelpers, Trimming) {
  std::string s = " \t\v\f\r\nA B \n";
  EXPECT_EQ(trim(s), "A B");
  s = "\xA0x\xA0";
  EXPECT_EQ(trim(s), "\xA0x\xA0");  // bytes above 127 are never whitespace
  s = "  x";
  EXPECT_EQ(rtrim(s), "  x");
  EXPECT_EQ(ltrim(s), "x");
  for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
           {"007", "7"}, {"0A1", "A1"}, {"100", "100"}, {"0", ""}, {"000", ""}}) {
    EXPECT_EQ(trim_zero(in), out);
  }
}

TEST(TextHelpers, Escapes) {
  std::string s = R"(\t\n\r\\\"\'\x\)";
  compile_escape_char(s);
  EXPECT_EQ(s, "\t\n\r\\\"'\\x\\");
  s = R"(\\t)";
  compile_escape_char(s);
  EXPECT_EQ(s, "\\t");  // an escaped backslash is not the start of another escape
}

TEST(PedigreeReader, DefaultSettings) {
  EXPECT_EQ(read_dsf("A1 S1 0\nA2 0 0\n S D X\n"),
            (std::vector<Line>{{"A1", "S1", ""}, {"A2", "", ""}, {"", "S", "D"}}));
}

TEST(PedigreeReader, BlankLinesAreRecords) {
  EXPECT_EQ(read_dsf("A 0 0\n\nB 0 0\n"), (std::vector<Line>{{"A", "", ""}, {"", "", ""}, {"B", "", ""}}));
  EXPECT_EQ(read_dsf("\n\n\n").size(), 3u);
}

TEST(PedigreeReader, MarkerAndEmptyFields) {
  EXPECT_EQ(read_dsf("A3,-999,D1\nA4,,D1\nA5,0,D1,x,y\n", ",", false, {"-999", false}),
            (std::vector<Line>{{"A3", "", "D1"}, {"A4", "", "D1"}, {"A5", "0", "D1"}}));
}

TEST(PedigreeReader, NumericIdsShareOneIdentifier) {
  testing::ScratchDir dir;
  Pedigree ped;
  testing::Capture console;
  read_ped_dsf(ped, dir.write("p", "007 0 0\n7 000 0\n"), " \t", true, {"0", true}, kTexts, console.get());
  ASSERT_EQ(ped.MAXANIMAL(), 2);
  EXPECT_EQ(ped.PED[0].animal, ped.PED[1].animal);
  EXPECT_EQ(ped.name(ped.PED[1].animal), "7");
  EXPECT_EQ(ped.PED[1].sire, kNoSymbol);
}

TEST(PedigreeReader, LastLineWithoutLineEnd) {
  EXPECT_EQ(read_dsf("A B C\nD E F"), read_dsf("A B C\nD E F\n"));
  EXPECT_EQ(read_dsf("A B C\r\nD E F\r\n"), read_dsf("A B C\nD E F\n"));
  // Ending on a delimiter: still a record, as with its line end.
  EXPECT_EQ(read_dsf("A,B,", ",", false), read_dsf("A,B,\n", ",", false));
}

TEST(PedigreeReader, FixedWidth) {
  testing::ScratchDir dir;
  Pedigree ped;
  testing::Capture console;
  ColumnTable cols;
  parse_fixed_column(cols, "1,5,6,5,11,5");
  long n = read_ped_fwf(ped, dir.write("p", "A0001     D0001\nA0002S0001\n"), cols, 3, {"", false}, kTexts,
                        console.get());
  EXPECT_EQ(n, 2);
  EXPECT_EQ(lines(ped), (std::vector<Line>{{"A0001", "", "D0001"}, {"A0002", "S0001", ""}}));
}

TEST(PedigreeReader, Failures) {
  testing::ScratchDir dir;
  testing::Capture console;
  Pedigree ped;
  EXPECT_EQ(read_ped_dsf(ped, dir.file("missing"), " ", true, {"0", false}, kTexts, console.get()), 0);
  EXPECT_EQ(console.text(), "Error: Failed to read \"" + dir.file("missing") + "\" file!\n");
  testing::Capture c2;
  EXPECT_EQ(read_ped_dsf(ped, dir.path(), " ", true, {"0", false}, kTexts, c2.get()), 0);
  EXPECT_EQ(c2.text(), "Error: Failed to read \"" + dir.path() + "\" file!\n");
  testing::Capture c3;
  EXPECT_EQ(read_ped_dsf(ped, dir.write("empty", ""), " ", true, {"0", false}, kTexts, c3.get()), 0);
  EXPECT_EQ(c3.text(), "Reading...OK.\nTotal lines in " + dir.file("empty") + " : 0\n");
}

TEST(PedigreeReader, CountMessageVariant) {
  testing::ScratchDir dir;
  testing::Capture console;
  Pedigree ped;
  ReaderTexts texts = kTexts;
  texts.count_name_first = false;
  read_ped_dsf(ped, dir.write("p", "A\nB\n"), " ", true, {"0", false}, texts, console.get());
  EXPECT_EQ(console.text(), "Reading...OK.\n  2 lines in " + dir.file("p") + "\n");
  close_ped(ped);
  EXPECT_EQ(ped.MAXANIMAL(), 0);
}

}  // namespace
}  // namespace haldor
