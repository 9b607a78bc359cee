// SETUP.EXE under Wine: switches, banner, catalogs and the final key wait.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

constexpr char kBanner[] = "Orvane Quillon 2 software installation\r\n\r";
constexpr char kFinalPrompt[] = "Press any key to exit.";

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
    texts[33] = std::string("key? (") + lang + ")";
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
  const RunResult r = RunWine(SetupExe(), {.args = {"-fu", "/q"}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner);
}

TEST(Entry, BuiltinBannerWithoutACatalog) {
  const RunResult r = RunWine(SetupExeWithoutCatalogs("bare-banner"), {.args = {"/Q"}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kBanner);
}

TEST(Entry, WithoutAConsoleTheKeyWaitsReturnAtOnce) {
  // Standard input is not a terminal, so Wine gives the program no console.
  const std::string setup = SetupExeWithoutCatalogs("bare-keys");
  const RunResult plain = RunWine(setup, {.timeout_seconds = 30});
  EXPECT_EQ(plain.exit_code, 0);
  EXPECT_EQ(plain.out, std::string(kBanner) + kFinalPrompt);

  const RunResult verbose = RunWine(setup, {.args = {"/d"}, .timeout_seconds = 30});
  EXPECT_EQ(verbose.exit_code, 0);
  EXPECT_EQ(verbose.out, std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") +
                             kBanner + kFinalPrompt);
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
    const RunResult r =
        RunWine(dir + "/SETUP.EXE", {.env = {{"LC_ALL", c.locale}}, .timeout_seconds = 30});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, std::string("banner of ") + c.file + ".nls\r\n\rkey? (" + c.file + ")");
  }
}

TEST(Entry, MissingCatalogOfTheLanguageFallsBackToEnglishTexts) {
  const std::string dir = PackageWithCatalogs("no-german");
  std::filesystem::remove(dir + "/nls/german.nls");
  // A catalog at the top of the package is not read.
  CopyFile(dir + "/nls/english.nls", dir + "/GERMAN.NLS");
  const RunResult r =
      RunWine(dir + "/SETUP.EXE", {.args = {"-D", "-Q"}, .env = {{"LC_ALL", "de_DE.UTF-8"}}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") + kBanner);
}

TEST(Entry, StartedFromAnotherDirectoryByRelativePath) {
  const std::string dir = PackageWithCatalogs("relative");
  const RunResult r = RunWine("relative/SETUP.EXE", {.args = {"/x"}, .cwd = dir + "/.."});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "banner of english.nls\r\n\r");
}

}  // namespace
}  // namespace qsetup::e2e
