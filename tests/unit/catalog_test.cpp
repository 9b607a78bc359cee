#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include "catalog/messages.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_platform.h"

namespace qsetup {
namespace {

using testing::FakeCatalogOs;
using testing::FakeConsoleIo;

// Appends texts "m<from>" .. "m<to - 1>", each with its NUL.
void AddNumbered(std::string& data, int from, int to) {
  for (int i = from; i < to; ++i) {
    data.append("m").append(std::to_string(i));
    data.push_back('\0');
  }
}

// A catalog file of `strings` texts "m0", "m1", ... with the given count byte.
std::string NumberedCatalog(int count_byte, int strings) {
  std::string data(1, static_cast<char>(count_byte));
  AddNumbered(data, 0, strings);
  return data;
}

class CatalogTest : public ::testing::Test {
 protected:
  FakeCatalogOs os;
  FakeConsoleIo io;
  Console console{io};
  CatalogStore store{os, console, "C:\\Pkg\\"};
  const char* const* table = nullptr;

  void PutFile(const std::string& data, const char* name = "C:\\Pkg\\\\nls\\english.nls") {
    os.files.files[name].data = data;
  }
  int Load(int lang = kEnglishLanguage) { return loadlangtbl(store, table, kMessageCount, lang); }
  void ExpectEntries(int from, int to, const std::string& prefix_or_placeholder) {
    for (int i = from; i < to; ++i) {
      SCOPED_TRACE(i);
      if (prefix_or_placeholder == kPlaceholderMessage) {
        EXPECT_STREQ(table[i], kPlaceholderMessage);
      } else {
        EXPECT_EQ(std::string(table[i]), prefix_or_placeholder + std::to_string(i));
      }
    }
  }
};

TEST(LanguageIndex, MapsWholeLanguageIds) {
  const struct {
    std::uint16_t id;
    int index;
  } cases[] = {
      {0x040C, 0}, {0x080C, 0}, {0x0C0C, 0}, {0x100C, 0}, {0x040B, 0},
      {0x0407, 1}, {0x0807, 1}, {0x0C07, 1}, {0x040A, 2}, {0x080A, 2},
      {0x0C0A, 2}, {0x0411, 3}, {0x0409, 4}, {0x0809, 4}, {0x140C, 4},  // French (Luxembourg)
      {0x1407, 4},                                                      // German (Liechtenstein)
      {0x000C, 4}, {0x0000, 4}, {0xFFFF, 4},
  };
  for (const auto& c : cases) {
    FakeCatalogOs os;
    os.lang_id = c.id;
    EXPECT_EQ(getlangindex(os), c.index) << std::hex << c.id;
  }
}

TEST_F(CatalogTest, FullCatalogGivesItsTexts) {
  PutFile(NumberedCatalog(81, 81));
  ASSERT_EQ(Load(), 0);
  ExpectEntries(0, 81, "m");
  EXPECT_EQ(os.files.opened.front(), "C:\\Pkg\\\\nls\\english.nls");
}

TEST_F(CatalogTest, ChoosesTheFileOfTheLanguage) {
  const char* names[] = {"french", "german", "spanish", "japanese", "english"};
  for (int lang = 0; lang <= 4; ++lang) {
    os.files.opened.clear();
    EXPECT_EQ(Load(lang), -1);
    ASSERT_EQ(os.files.opened.size(), 1u);
    EXPECT_EQ(os.files.opened[0], std::string("C:\\Pkg\\\\nls\\") + names[lang] + ".nls");
  }
}

TEST_F(CatalogTest, FailuresLeaveTheTableAlone) {
  const char* const sentinel[] = {"x"};
  table = sentinel;
  EXPECT_EQ(Load(-1), -1);
  EXPECT_EQ(Load(5), -1);
  EXPECT_EQ(Load(), -1);  // no file
  EXPECT_EQ(table, sentinel);
  EXPECT_EQ(io.out, "");
  EXPECT_EQ(os.files.opened.size(), 1u);  // out-of-range indexes open nothing
}

TEST_F(CatalogTest, ShortCountsAndShortDataGetPlaceholders) {
  const struct {
    int count_byte;
    int strings;
    int from_file;
  } cases[] = {
      {60, 60, 60}, {81, 50, 50}, {100, 100, 81}, {3, 10, 3},
      {0, 5, 0},    {0x80, 5, 0}, {0xFF, 81, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count_byte);
    PutFile(NumberedCatalog(c.count_byte, c.strings));
    ASSERT_EQ(Load(), 0);
    ExpectEntries(0, c.from_file, "m");
    ExpectEntries(c.from_file, 81, kPlaceholderMessage);
    freelangtbl(store, table);
  }
}

TEST_F(CatalogTest, EmptyFileLoadsWithPlaceholdersOnly) {
  PutFile("");
  ASSERT_EQ(Load(), 0);
  ExpectEntries(0, 81, kPlaceholderMessage);
  freelangtbl(store, table);
  PutFile(std::string("\x1A").append(NumberedCatalog(81, 81)));
  ASSERT_EQ(Load(), 0);
  ExpectEntries(0, 81, kPlaceholderMessage);
}

TEST_F(CatalogTest, TwelveByteExample) {
  PutFile(std::string("\x03n\0y\0cancel\0", 12));
  ASSERT_EQ(Load(), 0);
  EXPECT_STREQ(table[0], "n");
  EXPECT_STREQ(table[1], "y");
  EXPECT_STREQ(table[2], "cancel");
  ExpectEntries(3, 81, kPlaceholderMessage);
}

TEST_F(CatalogTest, ReadAsTextCrLfFoldsAndCtrlZEnds) {
  std::string data(1, '\x51');
  data += std::string("one\r\ntwo\0three\n\r\0four\r\0\0", 24);
  AddNumbered(data, 5, 41);
  data += "\x1Am41";
  data += '\0';
  PutFile(data);
  ASSERT_EQ(Load(), 0);
  EXPECT_STREQ(table[0], "one\ntwo");
  EXPECT_STREQ(table[1], "three\n\r");
  EXPECT_STREQ(table[2], "four\r");
  EXPECT_STREQ(table[3], "");  // two NULs in a row: an empty message
  EXPECT_STREQ(table[4], "m5");
  EXPECT_STREQ(table[39], "m40");
  ExpectEntries(40, 81, kPlaceholderMessage);
}

TEST_F(CatalogTest, CountByteIsReadAsTextToo) {
  // CR LF as the count byte reads as LF: ten strings.
  std::string data = "\r\n";
  AddNumbered(data, 0, 12);
  PutFile(data);
  ASSERT_EQ(Load(), 0);
  ExpectEntries(0, 10, "m");
  ExpectEntries(10, 81, kPlaceholderMessage);
}

TEST_F(CatalogTest, LastTextWithoutNulEndsAtTheEndOfTheData) {
  PutFile(
      std::string("\x02"
                  "first\0second-without-nul",
                  25));
  ASSERT_EQ(Load(), 0);
  EXPECT_STREQ(table[0], "first");
  EXPECT_STREQ(table[1], "second-without-nul");
  EXPECT_STREQ(table[2], kPlaceholderMessage);

  // The same when a Ctrl-Z cuts the data inside a text.
  freelangtbl(store, table);
  PutFile(
      std::string("\x02"
                  "first\0sec\x1Aond",
                  14));
  ASSERT_EQ(Load(), 0);
  EXPECT_STREQ(table[1], "sec");
}

TEST_F(CatalogTest, FileShorterThanItsReportedSize) {
  os.files.files["C:\\Pkg\\\\nls\\english.nls"] = {NumberedCatalog(81, 2), 4096, false};
  ASSERT_EQ(Load(), 0);
  ExpectEntries(0, 2, "m");
  ExpectEntries(2, 81, kPlaceholderMessage);
}

TEST_F(CatalogTest, AllocationFailureIsReportedInEnglish) {
  const char* const sentinel[] = {"x"};
  table = sentinel;
  os.files.files["C:\\Pkg\\\\nls\\english.nls"] = {"\x05", std::uint64_t{1} << 60, false};
  EXPECT_EQ(Load(), -1);
  EXPECT_EQ(io.out, "failed to allocate memory\r\n\r");
  EXPECT_EQ(table, sentinel);

  io.out.clear();
  os.files.files["C:\\Pkg\\\\nls\\english.nls"] = {"\x05", ~std::uint64_t{0}, false};
  EXPECT_EQ(Load(), -1);
  EXPECT_EQ(io.out, "failed to allocate memory\r\n\r");

  // A size that cannot be read is not taken for an empty catalog, whose
  // texts would all be placeholders: the built-in texts stay.
  io.out.clear();
  os.files.files["C:\\Pkg\\\\nls\\english.nls"] = {NumberedCatalog(81, 81), std::nullopt, true};
  EXPECT_EQ(Load(), -1);
  EXPECT_EQ(io.out, "failed to allocate memory\r\n\r");
  EXPECT_EQ(table, sentinel);
}

TEST_F(CatalogTest, FreeReleasesTheTable) {
  PutFile(NumberedCatalog(81, 81));
  ASSERT_EQ(Load(), 0);
  freelangtbl(store, table);
  EXPECT_EQ(store.text, nullptr);
  EXPECT_EQ(store.table, nullptr);
}

TEST(BuiltinMessages, TextsThatTheProgramPrints) {
  const MessageTable messages(BuiltinMessages());
  EXPECT_STREQ(messages[kMsgAnswerNo], "n");
  EXPECT_STREQ(messages[kMsgAnswerYes], "y");
  EXPECT_STREQ(messages[kMsgAnswerCancel], "cancel");
  EXPECT_STREQ(messages[kMsgBanner], "Orvane Quillon 2 software installation\n\r");
  EXPECT_STREQ(messages[kMsgInstallFailed], "\nInstallation failed\n");
  EXPECT_STREQ(messages[kMsgPressAnyKey], "Press any key to exit.");
  EXPECT_STREQ(messages[kMsgSourceOlder], "%s is older than %s.\n");
  for (int i = 0; i < kMessageCount; ++i) {
    ASSERT_NE(messages.Text(i), nullptr) << i;
    EXPECT_GT(std::string(messages.Text(i)).size(), 0u) << i;
  }
}

}  // namespace
}  // namespace qsetup
