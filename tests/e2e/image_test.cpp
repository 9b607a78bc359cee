// What Windows reads from SETUP.EXE as a file: version resource, manifest,
// imports, and the version stamp that staging compares.
#include <gtest/gtest.h>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

std::string SetupExe() {
  return PackageDir() + "/SETUP.EXE";
}

TEST(Image, VersionResourceAndManifest) {
  const RunResult r = RunWine(FixtureDir() + "/image_info.exe", {.args = {SetupExe()}});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  const std::string v = QSETUP_PRODUCT_VERSION_TEXT;
  EXPECT_EQ(r.out,
            "fixed=" + v + ".0\r\nFileVersion=" + v + "\r\nProductVersion=" + v +
                "\r\nProductName=Orvane Quillon 2 software\r\n"
                "OriginalFilename=SETUP.EXE\r\nlevel=requireAdministrator\r\nsupportedOS=4\r\n");
}

TEST(Image, PackageProgramsHaveTheVersionResource) {
  const std::string v = QSETUP_PRODUCT_VERSION_TEXT;
  for (const std::string name : {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"}) {
    SCOPED_TRACE(name);
    const RunResult r =
        RunWine(FixtureDir() + "/image_info.exe", {.args = {PackageDir() + "/" + name}});
    EXPECT_EQ(r.out, "fixed=" + v + ".0\r\nFileVersion=" + v + "\r\nProductVersion=" + v +
                         "\r\nProductName=Orvane Quillon 2 software\r\nOriginalFilename=" + name +
                         "\r\nno manifest\r\n");
  }
}

TEST(Image, ImportsOnlyWhatEverySupportedSystemHas) {
  // A static import of a function that the system lacks stops the loader
  // before the program starts: SetDefaultDllDirectories is missing from
  // Windows 7 without update KB2533623, so it is looked up at run time.
  const std::string objdump =
      std::string(Arch() == "x86" ? "i686" : "x86_64") + "-w64-mingw32-objdump";
  std::string out;
  ASSERT_EQ(RunCommand({objdump, "-p", SetupExe()}, &out), 0) << out;
  const std::size_t imports = out.find("The Import Tables");
  ASSERT_NE(imports, std::string::npos) << out;
  const std::string table = out.substr(imports, out.find("\n\n\n", imports) - imports);
  EXPECT_NE(table.find("GetProcAddress"), std::string::npos) << table;
  EXPECT_EQ(table.find("SetDefaultDllDirectories"), std::string::npos) << table;
}

TEST(Image, CarriesItsVersionStampEarly) {
  const std::string image = ReadFile(SetupExe());
  // The first start marker is the stamp's: the image holds the markers again
  // later, as the constants of its own stamp reader.
  const std::size_t start = image.find("!@#$");
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = image.find("$#@!", start);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LE(end + 4, 100000u);
  EXPECT_EQ(image.substr(start + 4, end - start - 4), QSETUP_PRODUCT_VERSION_TEXT);
}

}  // namespace
}  // namespace qsetup::e2e
