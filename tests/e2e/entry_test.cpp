// SETUP.EXE under Wine: switches, banner, catalogs and the final key wait.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/wine_runner.h"
#include "support/written_messages.h"

namespace qsetup::e2e {
namespace {

using namespace written;

constexpr char kNoAdapter[] =
    "The Quillon II device was not found.\r\nCheck the USB cable connection of the QLN II.\r\n"
    "\r\nInstallation failed\r\n";
constexpr char kCatalogTrace[] = "Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n";
constexpr char kNotFoundPause[] = "Didn't find USB SP.\r\nPress ENTER to continue\r\n";

// Under /D the scan traces every id of every device that Wine shows; these
// tests check what comes before and after those lines.
::testing::AssertionResult StartsAndEndsWith(const std::string& text, const std::string& start,
                                             const std::string& end) {
  if (text.size() >= start.size() + end.size() && text.compare(0, start.size(), start) == 0 &&
      text.compare(text.size() - end.size(), end.size(), end) == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "output: " << ::testing::PrintToString(text);
}

std::string SetupExe() {
  return PackageDir() + "/SETUP.EXE";
}

// A copy of SETUP.EXE alone in a directory of its own: no catalog to load.
std::string SetupExeWithoutCatalogs(const std::string& name) {
  const std::string dir = FreshWorkDir(name);
  CopyFile(SetupExe(), dir + "/SETUP.EXE");
  return dir + "/SETUP.EXE";
}

// A catalog file: count byte and `texts` with their NULs.
std::string Catalog(const std::vector<std::string>& texts) {
  std::string data(1, static_cast<char>(texts.size()));
  for (const std::string& t : texts) {
    data.append(t);
    data.push_back('\0');
  }
  return data;
}

// A copy of SETUP.EXE in its own directory, with catalogs whose banner names
// their language.
std::string PackageWithCatalogs(const std::string& name) {
  const std::string dir = FreshWorkDir(name);
  CopyFile(SetupExe(), dir + "/SETUP.EXE");
  for (const char* lang : {"english", "french", "german", "spanish", "japanese"}) {
    std::vector<std::string> texts(81, "x");
    texts[8] = std::string("banner of ") + lang + ".nls\n\r";
    texts[28] = std::string(" failed (") + lang + ")";
    texts[33] = std::string(" key? (") + lang + ")";
    texts[70] = std::string(" not found (") + lang + ")";
    WriteFile(dir + "/nls/" + lang + ".nls", Catalog(texts));
  }
  return dir;
}

TEST(Entry, InvalidForceCodeIsTheOnlyOutput) {
  for (const char* arg : {"-F", "-FX", "-f"}) {
    SCOPED_TRACE(arg);
    const RunResult r = RunWine(SetupExe(), {.args = {arg}});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "Invalid force code!\r\n");
  }
}

TEST(Entry, ForceCodeLineComesBeforeTheBanner) {
  // With /H the scan decides, and this machine has no adapter.
  const RunResult r = RunWine(SetupExe(), {.args = {"-fu", "/h"}});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_EQ(r.out, std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner +
                       kNoAdapter);
}

TEST(Entry, BuiltinTextsWithoutACatalog) {
  const RunResult r = RunWine(SetupExeWithoutCatalogs("bare-banner"), {.args = {"/Q"}});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_EQ(r.out, std::string(kBanner) + kNoAdapter);
}

TEST(Entry, WithoutAConsoleTheKeyWaitsReturnAtOnce) {
  // Standard input is not a terminal, so Wine gives the program no console.
  const std::string setup = SetupExeWithoutCatalogs("bare-keys");
  const RunResult plain = RunWine(setup, {});
  EXPECT_EQ(plain.exit_code, 8);
  EXPECT_EQ(plain.out, std::string(kBanner) + kNoAdapter + kFinalPrompt);

  const RunResult verbose = RunWine(setup, {.args = {"/d"}});
  EXPECT_EQ(verbose.exit_code, 8);
  EXPECT_TRUE(StartsAndEndsWith(verbose.out, std::string(kCatalogTrace) + kBanner,
                                std::string(kNotFoundPause) + kNoAdapter + kFinalPrompt));
}

TEST(Entry, CatalogOfTheSystemLanguage) {
  const std::string dir = PackageWithCatalogs("catalogs");
  const struct {
    const char* locale;
    const char* file;
  } cases[] = {
      {"de_DE.UTF-8", "german"},  {"fi_FI.UTF-8", "french"},   {"fr_FR.UTF-8", "french"},
      {"es_ES.UTF-8", "spanish"}, {"ja_JP.UTF-8", "japanese"}, {"en_US.UTF-8", "english"},
      {"fr_LU.UTF-8", "english"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    const RunResult r = RunWine(dir + "/SETUP.EXE", {.env = {{"LC_ALL", c.locale}}});
    EXPECT_EQ(r.exit_code, 8);
    const std::string lang = c.file;
    EXPECT_EQ(r.out, "banner of " + lang + ".nls\r\n\r not found (" + lang + ") failed (" + lang +
                         ") key? (" + lang + ")");
  }
}

TEST(Entry, MissingCatalogOfTheLanguageFallsBackToEnglishTexts) {
  const std::string dir = PackageWithCatalogs("no-german");
  std::filesystem::remove(dir + "/nls/german.nls");
  // A catalog at the top of the package is not read.
  CopyFile(dir + "/nls/english.nls", dir + "/GERMAN.NLS");
  const RunResult r =
      RunWine(dir + "/SETUP.EXE", {.args = {"-D", "-Q"}, .env = {{"LC_ALL", "de_DE.UTF-8"}}});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_TRUE(StartsAndEndsWith(r.out, std::string(kCatalogTrace) + kBanner,
                                std::string(kNotFoundPause) + kNoAdapter));
}

TEST(Entry, StartedFromAnotherDirectoryByRelativePath) {
  const std::string dir = PackageWithCatalogs("relative");
  const RunResult r = RunWine("relative/SETUP.EXE", {.args = {"/x"}, .cwd = dir + "/.."});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_EQ(r.out, "banner of english.nls\r\n\r not found (english) failed (english)");
}

}  // namespace
}  // namespace qsetup::e2e
