#include "get_token.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "pedigree.h"
#include "test_util.h"

namespace haldor {
namespace {

using Fields = std::vector<std::pair<std::string, int>>;

Fields delimited(const std::string& text, const std::string& delims, bool merge, std::size_t size = kTokenSize,
                 std::FILE* console = stdout) {
  TextInput in;
  in.open_text(text);
  DelimiterSet set(delims);
  Fields out;
  std::string token;
  for (int status; (status = get_dtoken(in, token, size, set, merge, console)) != kNoField;)
    out.emplace_back(token, status);
  return out;
}

Fields fixed(const std::string& text, const std::string& columns) {
  TextInput in;
  in.open_text(text);
  ColumnTable table;
  int pairs = parse_fixed_column(table, columns);
  FixedReaderState state;
  Fields out;
  std::string token;
  for (int status; (status = get_ftoken(in, state, token, table, pairs)) != kNoField;) out.emplace_back(token, status);
  return out;
}

TEST(IsDelimiter, ReturnsTheSetCharacterOrZero) {
  EXPECT_EQ(is_delimiter(',', " ,"), ',');
  EXPECT_EQ(is_delimiter('x', " ,"), 0);
  EXPECT_EQ(is_delimiter('\t', "\t"), '\t');
}

TEST(DelimitedReader, EmptyFieldsWithoutMergingAndRunsWithMerging) {
  EXPECT_EQ(delimited("A,,B\n", ",", false), (Fields{{"A", 1}, {"", 1}, {"B", 2}}));
  EXPECT_EQ(delimited("A,,B\n", ",", true), (Fields{{"A", 1}, {"B", 2}}));
  // A delimiter just before the line end is followed by one more, empty field.
  EXPECT_EQ(delimited("A,B,\nC\n", ",", false), (Fields{{"A", 1}, {"B", 1}, {"", 2}, {"C", 2}}));
}

TEST(DelimitedReader, MergingSwallowsTrailingButNotLeadingDelimiters) {
  EXPECT_EQ(delimited(" A B C\n", " \t", true), (Fields{{"", 1}, {"A", 1}, {"B", 1}, {"C", 2}}));
  EXPECT_EQ(delimited("A B C  \n", " \t", true), (Fields{{"A", 1}, {"B", 1}, {"C", 2}}));
  EXPECT_EQ(delimited("A \t B\n", " \t", true), (Fields{{"A", 1}, {"B", 2}}));
}

TEST(DelimitedReader, LineEnds) {
  // CR LF is one line end; a missing last line end still ends the line.
  EXPECT_EQ(delimited("A B\r\nC D\r\n", " ", false), delimited("A B\nC D\n", " ", false));
  EXPECT_EQ(delimited("A B\nC D", " ", false), (Fields{{"A", 1}, {"B", 2}, {"C", 1}, {"D", 2}}));
  // An empty line is one empty field.
  EXPECT_EQ(delimited("\n\n", " ", true), (Fields{{"", 2}, {"", 2}}));
  // A lone carriage return ends the field but not the line, unless the input ends.
  EXPECT_EQ(delimited("A\rB\n", " ", false), (Fields{{"A", 1}, {"B", 2}}));
  EXPECT_EQ(delimited("A\r", " ", false), (Fields{{"A", 2}}));
  // The one case of a line that doesn't end with a last field.
  EXPECT_EQ(delimited("A,B,", ",", false), (Fields{{"A", 1}, {"B", 1}}));
  // A line feed given as a delimiter still ends its line when merging.
  EXPECT_EQ(delimited("A\nB \n", " \n", true), (Fields{{"A", 2}, {"B", 2}}));
}

TEST(DelimitedReader, TooLongFieldKeepsTheFollowingFieldsInPlace) {
  testing::Capture console;
  Fields f = delimited("ABCDEFG X Y\nZ\n", " ", false, 4, console.get());
  EXPECT_EQ(f, (Fields{{"ABC", 1}, {"X", 1}, {"Y", 2}, {"Z", 2}}));
  EXPECT_EQ(console.text(), "\nError : word is too long\n\n");
}

TEST(DelimitedReader, FieldsAcrossBlockBoundaries) {
  // The file is read in blocks of 1 MiB; fields and merges that straddle a
  // block boundary must come out whole.
  testing::ScratchDir dir;
  std::string content;
  for (int i = 0; i < 400000; ++i) content += "ab \t ";
  std::string big(1500000, 'x');
  content += big + "\r\n";
  TextInput in;
  ASSERT_TRUE(in.open(dir.write("p", content)));
  DelimiterSet set(" \t");
  std::string token;
  long n = 0;
  int status;
  while ((status = get_dtoken(in, token, big.size() + 1, set, true)) == kField) {
    EXPECT_EQ(token, "ab");
    ++n;
  }
  EXPECT_EQ(n, 400000);
  EXPECT_EQ(status, kLastField);
  EXPECT_EQ(token, big);
  EXPECT_EQ(get_dtoken(in, token, big.size() + 1, set, true), kNoField);
}

TEST(FixedReader, CutsColumnsAndStopsAtTheLineEnd) {
  EXPECT_EQ(fixed("A0001S0001\n", "1,5,6,5,11,5"), (Fields{{"A0001", 1}, {"S0001", 1}, {"", 2}}));
  EXPECT_EQ(fixed("\n", "1,5,6,5,11,5"), (Fields{{"", 2}}));
  EXPECT_EQ(fixed("A1   S1   D1\r\nA2", "1,5,6,5,11,5"),
            (Fields{{"A1   ", 1}, {"S1   ", 1}, {"D1", 2}, {"A2", 1}, {"", 2}}));
  // Columns may overlap.
  EXPECT_EQ(fixed("ABCDEF\n", "1,3,2,3,5,9"), (Fields{{"ABC", 1}, {"BCD", 1}, {"EF", 2}}));
}

TEST(FixedReader, LongLinesAreOneLine) {
  std::string line(200000, 'a');
  line += "XYZ";
  Fields f = fixed(line + "\nB\n", "1,2,200001,3,3,1");
  ASSERT_EQ(f.size(), 5u);
  EXPECT_EQ(f[1], (std::pair<std::string, int>{"XYZ", 1}));
  EXPECT_EQ(f[3].first, "B");
}

TEST(ParseFixedColumn, SeparatorsAndPairs) {
  ColumnTable t;
  EXPECT_EQ(parse_fixed_column(t, "1,5,6,5,11,5"), 3);
  EXPECT_EQ(t[2].start, 11);
  EXPECT_EQ(parse_fixed_column(t, "1 5;6;5,11,5"), 3);
  EXPECT_EQ(parse_fixed_column(t, "1,5,6,5"), 2);
  EXPECT_EQ(parse_fixed_column(t, "1,5,6,5,11,5,7"), 3);
  // Two separators in a row give a 0 between them.
  EXPECT_EQ(parse_fixed_column(t, "1, 5,6,5,11,5"), 3);
  EXPECT_EQ(t[0].start, 1);
  EXPECT_EQ(t[0].length, 0);
  EXPECT_EQ(t[1].start, 5);
  EXPECT_EQ(t[2].length, 11);
  // A leading separator adds a 0; a trailing one adds nothing.
  EXPECT_EQ(parse_fixed_column(t, ",1,5,6,5,11"), 3);
  EXPECT_EQ(t[0].start, 0);
  EXPECT_EQ(parse_fixed_column(t, "1,5,"), 1);
  EXPECT_EQ(parse_fixed_column(t, ""), 0);
  // Huge numbers saturate instead of wrapping.
  EXPECT_EQ(parse_fixed_column(t, "99999999999999999999999999,1"), 1);
  EXPECT_GT(t[0].start, 0);
}

}  // namespace
}  // namespace haldor
