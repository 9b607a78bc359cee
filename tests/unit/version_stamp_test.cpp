#include "deploy/version_stamp.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

#include "catalog/messages.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_system_directory.h"

namespace qsetup {
namespace {

using testing::FakeConsoleIo;
using testing::FakeDeployOs;

std::ptrdiff_t Find(const char* pattern, std::string_view data) {
  const char* hit = FindPattern(pattern, data.data(), static_cast<std::ptrdiff_t>(data.size()));
  return hit == nullptr ? -1 : hit - data.data();
}

TEST(FindPattern, CornerCases) {
  const struct {
    const char* pattern;
    std::string_view data;
    std::ptrdiff_t expected;
  } cases[] = {
      {"", "abc", 0},
      {"", "", 0},
      {"abc", "ab", -1},
      {"aab", "aaab", 1},
      {"!@#$", "xx!@#$", 2},
      {"!@#$", "!@#$!@#$", 0},
      {"!@#$", "!@#", -1},
      {"$#@!", "!@#$#@!", 3},  // FindPattern alone lets them share
      {"abab", "abacababab", 4},
      {"\xff\x80", std::string_view("\x80\xff\x01\xff\x80", 5), 3},  // bytes above 0x7f
      {"a", "bbba", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " in " + std::string(c.data));
    EXPECT_EQ(Find(c.pattern, c.data), c.expected);
  }
}

TEST(FindPattern, LengthZeroOrNegativeFindsNothing) {
  const char data[] = "!@#$";
  EXPECT_EQ(FindPattern("!@#$", data, 0), nullptr);
  EXPECT_EQ(FindPattern("!@#$", data, -4), nullptr);
  EXPECT_EQ(FindPattern("!@#$", data, 3), nullptr);  // only the given bytes count
  EXPECT_EQ(FindPattern("!@#$", data, 4), data);
}

TEST(FindPattern, AgreesWithAPlainSearch) {
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string data(random() % 40, 'a');
    for (char& c : data) c = static_cast<char>('a' + random() % 3);
    std::string pattern(1 + random() % 5, 'a');
    for (char& c : pattern) c = static_cast<char>('a' + random() % 3);
    const std::size_t plain = data.find(pattern);
    SCOPED_TRACE(pattern + " in " + data);
    ASSERT_EQ(Find(pattern.c_str(), data),
              plain == std::string::npos ? -1 : static_cast<std::ptrdiff_t>(plain));
  }
}

// The one writer of stamps writes the format that the reader finds.
TEST(VersionStamp, WritesWhatTheReaderReads) {
  EXPECT_EQ(VersionStamp("2.1.0"), "!@#$2.1.0$#@!");
  for (const char* version : {"2.1.0", "", "10.0.7"}) {
    SCOPED_TRACE(version);
    const std::string file = "MZ" + VersionStamp(version) + std::string(4, '\0');
    EXPECT_EQ(StampTextIn(file.data(), file.size()), std::optional<std::string>(version));
  }
}

class CompareVersionStampsTest : public ::testing::Test {
 protected:
  FakeConsoleIo io;
  Console console{io};
  FakeDeployOs os;
  testing::FakeSystemDirectory system;
  DeployContext ctx{os, system, console, MessageTable(BuiltinMessages()), false};

  static constexpr char kFirst[] = "C:\\pkg\\TELMXW.DLL";
  static constexpr char kSecond[] = "C:\\WINDOWS\\system32\\TELMXW.DLL";

  // An image with `text` between the markers, with some bytes around it.
  static std::string Stamped(std::string_view text) {
    return std::string("MZ\x90\0\x03", 5) + "!@#$" + std::string(text) + "$#@!" +
           std::string(64, '\0');
  }

  int Compare(const std::string& first, const std::string& second) {
    os.AddFile(kFirst, first);
    os.AddFile(kSecond, second);
    return CompareVersionStamps(ctx, kFirst, kSecond);
  }
};

TEST_F(CompareVersionStampsTest, ValuesOfTheStampTexts) {
  const struct {
    std::string first, second;
    int expected;
  } cases[] = {
      {Stamped("1.02.3"), Stamped("1.02.3"), 0},
      {Stamped("1.02.3"), Stamped("1.1"), 1},  // 1023 against 11
      {Stamped("2.0"), Stamped("1.10"), -1},   // 20 against 110
      {Stamped("1.2.9"), Stamped("1.3"), 1},
      {Stamped("build 0042"), Stamped("v42"), 0},
      {Stamped("alpha"), Stamped("beta"), 0},
      {Stamped(""), Stamped("0"), 0},
      // A start marker without an end marker: value 0, not a failure.
      {"xx!@#$5", Stamped("5"), -1},
      {std::string("!@#$#@!\0$#@!", 12), Stamped("1"), -1},
      // A NUL before the end marker ends the search.
      {std::string("!@#$7\0 9$#@!", 12), Stamped("3"), -1},
      // Only the first stamp counts.
      {Stamped("3") + Stamped("9"), Stamped("5"), -1},
      {Stamped("5"), Stamped("3") + Stamped("9"), 1},
      // Digit strings beyond 32 bits are still ordered as numbers.
      {Stamped("99999999999"), Stamped("4294967296"), 1},
      {Stamped("2147483647"), Stamped("2147483648"), -1},
      {Stamped("18446744073709551617"), Stamped("18446744073709551618"), -1},
      {Stamped("0000000000000000000123"), Stamped("1.2.3"), 0},
      // A text beyond 255 bytes is cut: the 9 at byte 256 does not count.
      {Stamped("1" + std::string(254, '.') + "9"), Stamped("19"), -1},
      {Stamped("1" + std::string(253, '.') + "9"), Stamped("19"), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first.substr(0, 40) + " against " + c.second.substr(0, 40));
    EXPECT_EQ(Compare(c.first, c.second), c.expected);
  }
  EXPECT_EQ(io.out, "");
}

TEST_F(CompareVersionStampsTest, OnlyTheFirst100000BytesAreExamined) {
  const std::string filler_end(100000 - 4, 'x');
  // The start marker's last byte is byte 100000: found, its end marker lies
  // beyond, so the value is 0.
  EXPECT_EQ(Compare(filler_end + "!@#$7$#@!", Stamped("1")), -1);
  EXPECT_EQ(Compare(Stamped("1"), filler_end + "!@#$7$#@!"), 1);
  // One byte later the marker crosses the limit: no stamp, a failure.
  EXPECT_EQ(Compare(filler_end + "x!@#$7$#@!", Stamped("9")), 1);
  EXPECT_EQ(Compare(Stamped("0"), filler_end + "x!@#$7$#@!"), 1);
  // An end marker ending exactly at byte 100000 is still found.
  EXPECT_EQ(Compare(std::string(100000 - 9, 'x') + "!@#$7$#@!", Stamped("6")), 1);
}

TEST_F(CompareVersionStampsTest, EachFileIsReadOnceWithOneBlock) {
  EXPECT_EQ(
      Compare(Stamped("2") + std::string(500000, 'z'), Stamped("1") + std::string(300000, 'z')), 1);
  EXPECT_EQ(os.reads, 2u);
  EXPECT_EQ(os.largest_read, kStampBlockSize);
  EXPECT_EQ(os.opened, (std::vector<std::string>{kSecond, kFirst}));
}

TEST_F(CompareVersionStampsTest, FailuresCountAsANewerFirstFile) {
  const std::string newer = Stamped("9");
  struct Case {
    const char* name;
    std::string first, second;
    bool first_missing, second_missing;
    std::vector<std::string> opened;
  };
  const Case cases[] = {
      {"second missing", Stamped("1"), newer, false, true, {kSecond}},
      {"first missing", Stamped("1"), newer, true, false, {kSecond, kFirst}},
      {"second empty", Stamped("1"), "", false, false, {kSecond}},
      {"first empty", "", newer, false, false, {kSecond, kFirst}},
      {"second without a start marker", Stamped("1"), "$#@!9", false, false, {kSecond}},
      {"first without a start marker", "!@#9$#@!", newer, false, false, {kSecond, kFirst}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDeployOs fresh;
    DeployContext local{fresh, system, console, ctx.messages, false};
    if (!c.first_missing) fresh.AddFile(kFirst, c.first);
    if (!c.second_missing) fresh.AddFile(kSecond, c.second);
    EXPECT_EQ(CompareVersionStamps(local, kFirst, kSecond), 1);
    EXPECT_EQ(fresh.opened, c.opened);
  }
  os.AddFile(kFirst, Stamped("1"));
  os.AddFile(kSecond, newer);
  os.unreadable.insert(os.Key(kSecond));
  EXPECT_EQ(CompareVersionStamps(ctx, kFirst, kSecond), 1);
  EXPECT_EQ(io.out, "");
}

}  // namespace
}  // namespace qsetup
