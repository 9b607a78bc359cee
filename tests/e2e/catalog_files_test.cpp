// The catalogs that the package ships, as SETUP.EXE shows them under Wine.
#include <gtest/gtest.h>

#include "e2e/wine_runner.h"
#include "support/written_messages.h"

namespace qsetup::e2e {
namespace {

using namespace written;

// Message 8 (banner) and message 33 (final prompt) of each shipped catalog,
// as the console receives them: code page 850 or 932, a line feed written as
// CR LF.
struct Language {
  const char* locale;
  const char* catalog;
  std::string banner;
  std::string prompt;
};

const Language kLanguages[] = {
    {"fr_FR.UTF-8", "french", "Installation du logiciel Orvane Quillon 2\r\n\r",
     "Appuyez sur une touche pour quitter."},
    {"de_DE.UTF-8", "german", "Installation der Orvane Quillon 2-Software\r\n\r",
     "Dr\x81"
     "cken Sie eine beliebige Taste, um das Programm zu beenden."},
    {"es_ES.UTF-8", "spanish", "Instalaci\xA2n del software Orvane Quillon 2\r\n\r",
     "Pulse cualquier tecla para salir."},
    {"ja_JP.UTF-8", "japanese",
     "Orvane Quillon 2 \x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41\x82\xCC\x83\x43\x83\x93"
     "\x83\x58\x83\x67\x81\x5B\x83\x8B\r\n\r",
     "\x8F\x49\x97\xB9\x82\xB7\x82\xE9\x82\xC9\x82\xCD\x81\x41\x89\xBD\x82\xA9\x83\x4C\x81\x5B"
     "\x82\xF0\x89\x9F\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42"},
    // Finland has no catalog of its own and gets the French one.
    {"fi_FI.UTF-8", "french", "Installation du logiciel Orvane Quillon 2\r\n\r",
     "Appuyez sur une touche pour quitter."},
    {"en_US.UTF-8", "english", "Orvane Quillon 2 software installation\r\n\r",
     "Press any key to exit."},
};

// Text `number` of a catalog file.
std::string CatalogText(const std::string& catalog, int number) {
  std::size_t pos = 1;
  for (int i = 0; i < number; ++i) pos = catalog.find('\0', pos) + 1;
  return catalog.substr(pos, catalog.find('\0', pos) - pos);
}

TEST(ShippedCatalogs, LaidOutInThePackage) {
  for (const char* name : {"english", "french", "german", "spanish", "japanese"}) {
    SCOPED_TRACE(name);
    const std::string catalog = ReadFile(PackageDir() + "/nls/" + name + ".nls");
    ASSERT_FALSE(catalog.empty());
    EXPECT_EQ(catalog[0], 81);
  }
  // The top of the package holds the two catalogs that are staged with it.
  EXPECT_EQ(ReadFile(PackageDir() + "/ENGLISH.NLS"), ReadFile(PackageDir() + "/nls/english.nls"));
  EXPECT_EQ(ReadFile(PackageDir() + "/JAPANESE.NLS"), ReadFile(PackageDir() + "/nls/japanese.nls"));
  EXPECT_FALSE(FileExists(PackageDir() + "/FRENCH.NLS"));
}

TEST(ShippedCatalogs, BannerAndPromptInTheSystemLanguage) {
  for (const Language& language : kLanguages) {
    SCOPED_TRACE(language.locale);
    const std::string catalog = ReadFile(PackageDir() + "/nls/" + language.catalog + ".nls");
    EXPECT_EQ(AsWritten(CatalogText(catalog, 8)), language.banner);
    EXPECT_EQ(AsWritten(CatalogText(catalog, 33)), language.prompt);

    // This machine has no adapter: the outcome messages come from the
    // catalog too.
    const std::string outcome = AsWritten(CatalogText(catalog, 70) + CatalogText(catalog, 28));
    const RunResult plain =
        RunWine(PackageDir() + "/SETUP.EXE", {.env = {{"LC_ALL", language.locale}}});
    EXPECT_EQ(plain.exit_code, 8);
    EXPECT_EQ(plain.out, language.banner + outcome + language.prompt);

    // Loading succeeded: the verbose trace has no failure line to show, and
    // its own lines stay in English.
    const RunResult quiet = RunWine(PackageDir() + "/SETUP.EXE",
                                    {.args = {"/D", "/Q"}, .env = {{"LC_ALL", language.locale}}});
    EXPECT_EQ(quiet.exit_code, 8);
    EXPECT_EQ(quiet.out.rfind(language.banner, 0), 0u) << quiet.out;
    const std::string end = "Didn't find USB SP.\r\nPress ENTER to continue\r\n" + outcome;
    ASSERT_GE(quiet.out.size(), end.size());
    EXPECT_EQ(quiet.out.substr(quiet.out.size() - end.size()), end);
  }
}

}  // namespace
}  // namespace qsetup::e2e
