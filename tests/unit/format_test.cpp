#include "console/format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace qsetup {
namespace {

std::string Format(const char* format, std::vector<const char*> args = {}) {
  return FormatText(format, args);
}

TEST(FormatText, StringConversionsMatchPrintf) {
  struct Case {
    const char* format;
    const char* arg;
  };
  const Case cases[] = {
      {"%s is older than %s.\n", "a"},
      {"[%10s]", "abc"},
      {"[%-10s]", "abc"},
      {"[%.2s]", "abcdef"},
      {"[%5.1s]", "xyz"},
      {"[%s]", ""},
      {"[%2s]", "longer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    char expected[128];
    // Every conversion of these formats has its argument.
    const int n = std::snprintf(expected, sizeof expected, c.format, c.arg, c.arg);
    ASSERT_GT(n, 0);
    EXPECT_EQ(Format(c.format, {c.arg, c.arg}), expected);
  }
}

TEST(FormatText, PercentPercentAndPlainText) {
  EXPECT_EQ(Format("100%% done\n\r"), "100% done\n\r");
  EXPECT_EQ(Format("no conversions"), "no conversions");
  EXPECT_EQ(Format(""), "");
}

TEST(FormatText, ConversionsWithoutArgumentsPrintAsTheyStand) {
  EXPECT_EQ(Format("Path or file does not exist %s\n\r"), "Path or file does not exist %s\n\r");
  EXPECT_EQ(Format("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(Format("trailing %"), "trailing %");
  EXPECT_EQ(Format("cut %-12"), "cut %-12");
}

TEST(FormatText, NeverWritesOrReadsThroughOtherConversions) {
  // %n would write through an argument; %d, %x, %p would read integers that
  // no caller passes. All of them print as they stand and take no argument.
  EXPECT_EQ(Format("%n%s", {"x"}), "%nx");
  EXPECT_EQ(Format("%d %x %p %s", {"s"}), "%d %x %p s");
  EXPECT_EQ(Format("%hn %lln %ls %hs", {"s"}), "%hn %lln %ls %hs");
  EXPECT_EQ(Format("%*s|%s", {"a", "b"}), "%*s|a");
  EXPECT_EQ(Format("%.*s|%s", {"a"}), "%.*s|a");
}

TEST(FormatText, HugeFieldWidthsAreNotHonoured) {
  EXPECT_EQ(Format("%999999999999s", {"x"}), "%999999999999s");
  EXPECT_EQ(Format("%.99999999999999999999s", {"x"}), "%.99999999999999999999s");
  EXPECT_EQ(Format("%4096s", {"x"}).size(), 4096u);
}

// The catalog compiler holds every translation to the English text's
// conversions as this reads them.
TEST(FormatText, ConversionsAreTheOnesFormattingReads) {
  const struct {
    const char* text;
    std::vector<std::string> conversions;
  } cases[] = {
      {"%s is older than %s.\n", {"%s", "%s"}},
      {"100%% done", {}},
      {"%-10s|%.5s|%ld", {"%-10s", "%.5s", "%ld"}},
      {"%%%s", {"%s"}},
      {"cut off %", {"%"}},
      {"%I64d %5.3.2s", {"%I64d", "%5.3."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Conversions(c.text), c.conversions);
  }
}

TEST(FormatText, NullArgumentPrintsNull) {
  EXPECT_EQ(Format("[%s]", {nullptr}), "[(null)]");
}

}  // namespace
}  // namespace qsetup
