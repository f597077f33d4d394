#include "progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace haldor {
namespace {

using Clock = ProgressOutput::Clock;
using std::chrono::milliseconds;

// A terminal stand-in: a stream to read back and a clock the test moves.
struct FakeTerminal {
  std::FILE* stream = std::tmpfile();
  Clock::time_point time{};

  ~FakeTerminal() { std::fclose(stream); }
  ProgressOutput output(bool terminal = true) {
    ProgressOutput out;
    out.stream = stream;
    out.terminal = terminal;
    out.now = [this] { return time; };
    return out;
  }
  std::string written() {
    std::fflush(stream);
    std::string text;
    std::rewind(stream);
    for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
    return text;
  }
};

// What a terminal line shows after `bytes`: a backspace moves left, any other
// byte replaces the character under the cursor.
std::string screen(const std::string& bytes) {
  std::string line;
  std::size_t cursor = 0;
  for (char c : bytes) {
    if (c == '\b') {
      if (cursor > 0) --cursor;
      continue;
    }
    if (cursor < line.size())
      line[cursor] = c;
    else
      line += c;
    ++cursor;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

TEST(Progress, NothingWhenStandardErrorIsNoTerminal) {
  FakeTerminal term;
  {
    Progress p("reading", 1000, term.output(false));
    term.time += milliseconds(5000);
    for (std::uint64_t i = 0; i <= 1000; ++i) p.update(i);
  }
  EXPECT_EQ(term.written(), "");
}

TEST(Progress, NothingForAShortPhase) {
  FakeTerminal term;
  {
    Progress p("reading", 1000, term.output());
    term.time += milliseconds(900);
    for (std::uint64_t i = 0; i <= 1000; ++i) p.update(i);
  }
  EXPECT_EQ(term.written(), "");
}

// After a second the line shows; each new percentage redraws it in place and
// finish() leaves the terminal line as it was before.
TEST(Progress, DrawsRedrawsAndErases) {
  FakeTerminal term;
  Progress p("reading", 1000, term.output());
  p.update(100);
  EXPECT_EQ(term.written(), "");
  term.time += milliseconds(1500);
  p.update(500);
  EXPECT_EQ(term.written(), "[reading 50%]");
  p.update(500);  // the same percentage is not drawn again
  p.update(750);
  const std::string b13(13, '\b');
  EXPECT_EQ(term.written(), "[reading 50%]" + b13 + "[reading 75%]");
  p.finish();
  EXPECT_EQ(term.written(), "[reading 50%]" + b13 + "[reading 75%]" + b13 + std::string(13, ' ') + b13);
  p.finish();  // once only
  p.update(1000);
  EXPECT_EQ(screen(term.written()), "");
}

// On the console the phase message stays, and "OK." lands right after it.
TEST(Progress, PhaseMessageStaysOnTheLine) {
  FakeTerminal term;
  std::fputs("Reading pedigree file... ", term.stream);
  {
    Progress p("reading", 3, term.output());
    term.time += milliseconds(2000);
    p.update(1);
    EXPECT_EQ(screen(term.written()), "Reading pedigree file... [reading 33%]");
    p.update(3);
    EXPECT_EQ(screen(term.written()), "Reading pedigree file... [reading 100%]");
  }  // the destructor erases
  std::fputs("OK.", term.stream);
  EXPECT_EQ(screen(term.written()), "Reading pedigree file... OK.");
}

// Without a total the count of records done is shown.
TEST(Progress, CountWhenTheTotalIsUnknown) {
  FakeTerminal term;
  Progress p("n", 0, term.output());
  term.time += milliseconds(2000);
  p.update(4096 * 1000);
  EXPECT_EQ(screen(term.written()), "[n 4096000]");
  p.update(4096 * 1001);
  EXPECT_EQ(screen(term.written()), "[n 4100096]");
  p.finish();
  EXPECT_EQ(screen(term.written()), "");
}

// Standard output is flushed before the line first shows, so the message comes first.
TEST(Progress, FlushesStandardOutputFirst) {
  FakeTerminal term, console;
  std::fputs("Stacking... ", console.stream);
  ProgressOutput out = term.output();
  out.flush_first = console.stream;
  Progress p("stacking", 10, out);
  term.time += milliseconds(1200);
  p.update(5);
  // Read through another descriptor: only flushed bytes are there.
  std::FILE* again = std::fopen(("/proc/self/fd/" + std::to_string(fileno(console.stream))).c_str(), "r");
  ASSERT_NE(again, nullptr);
  char buffer[32] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer - 1, again), 12u);
  EXPECT_STREQ(buffer, "Stacking... ");
  std::fclose(again);
}

TEST(Progress, Format) {
  char text[64];
  EXPECT_EQ(Progress::format(text, sizeof text, "hashing", 0, 7), 12);
  EXPECT_STREQ(text, "[hashing 0%]");
  Progress::format(text, sizeof text, "hashing", 9, 7);  // never more than all
  EXPECT_STREQ(text, "[hashing 100%]");
  Progress::format(text, sizeof text, "passes", 12, 0);
  EXPECT_STREQ(text, "[passes 12]");
}

}  // namespace
}  // namespace haldor
