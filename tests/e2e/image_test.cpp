// What Windows reads from SETUP.EXE and QLN2STAT.EXE as files: version
// resource, manifest, imports, and the version stamp that staging compares.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <regex>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

// The installer's own programs, the execution level that each asks for (the
// status report only reads, with the rights of whoever starts it), and the
// largest that each image may grow.
const struct {
  const char* name;
  const char* level;
  std::uintmax_t limit;
} kPrograms[] = {
    {"SETUP.EXE", "requireAdministrator", 112 * 1024},
    {"QLN2STAT.EXE", "asInvoker", 64 * 1024},
};

// The event source's message file of the package.
const std::string kMessageFile = "QLN2MSG-" QSETUP_PRODUCT_VERSION_TEXT ".DLL";

// The import table that objdump shows of the package's `name`.
std::string ImportTable(const std::string& name) {
  const std::string objdump =
      std::string(Arch() == "x86" ? "i686" : "x86_64") + "-w64-mingw32-objdump";
  std::string out;
  EXPECT_EQ(RunCommand({objdump, "-p", PackageDir() + "/" + name}, &out), 0) << out;
  const std::size_t imports = out.find("The Import Tables");
  EXPECT_NE(imports, std::string::npos) << out;
  if (imports == std::string::npos) return {};
  return out.substr(imports, out.find("\n\n\n", imports) - imports);
}

TEST(Image, VersionResourceAndManifest) {
  const std::string v = QSETUP_PRODUCT_VERSION_TEXT;
  for (const auto& program : kPrograms) {
    SCOPED_TRACE(program.name);
    const RunResult r =
        RunWine(FixtureDir() + "/image_info.exe", {.args = {PackageDir() + "/" + program.name}});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "fixed=" + v + ".0\r\nFileVersion=" + v + "\r\nProductVersion=" + v +
                         "\r\nProductName=Orvane Quillon 2 software\r\nOriginalFilename=" +
                         program.name + "\r\nlevel=" + program.level + "\r\nsupportedOS=4\r\n");
  }
}

TEST(Image, PackageProgramsHaveTheVersionResource) {
  const std::string v = QSETUP_PRODUCT_VERSION_TEXT;
  for (const std::string& name : {std::string("TELMXW.DLL"), std::string("TELMXREM.EXE"),
                                  std::string("TELMXSVC.EXE"), kMessageFile}) {
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
  for (const auto& program : kPrograms) {
    SCOPED_TRACE(program.name);
    const std::string table = ImportTable(program.name);
    EXPECT_NE(table.find("GetProcAddress"), std::string::npos) << table;
    EXPECT_EQ(table.find("SetDefaultDllDirectories"), std::string::npos) << table;
  }
}

// The status report links no code that could change the machine: no
// function that writes the registry, makes or changes files, starts
// programs, makes, waits for or holds objects, or registers event sources
// is imported, or named for a look-up at run time. (That the files it opens
// it opens for reading only, the imports cannot show.)
TEST(Image, TheStatusReportCannotChangeTheMachine) {
  const std::string table = ImportTable("QLN2STAT.EXE");
  const std::string image = ReadFile(PackageDir() + "/QLN2STAT.EXE");
  EXPECT_NE(table.find("RegOpenKeyExA"), std::string::npos) << table;  // it does read
  for (const char* writer :
       {"RegSetValue",         "RegCreateKey",    "RegDeleteKey",      "RegDeleteValue",
        "RegSetKeySecurity",   "CopyFile",        "MoveFile",          "DeleteFile",
        "CreateDirectory",     "RemoveDirectory", "SetFileAttributes", "CreateProcess",
        "ShellExecute",        "CreateMutex",     "CreateEvent",       "WaitForSingleObject",
        "RegisterEventSource", "ReportEvent",     "CreateService",     "DeleteService",
        "ControlService",      "SetSecurityInfo"}) {
    SCOPED_TRACE(writer);
    EXPECT_EQ(table.find(writer), std::string::npos) << table;
    EXPECT_EQ(image.find(writer), std::string::npos) << "named in the image";
  }
}

TEST(Image, StaysWithinItsSizeLimit) {
  for (const auto& program : kPrograms) {
    SCOPED_TRACE(program.name);
    EXPECT_LE(std::filesystem::file_size(PackageDir() + "/" + program.name), program.limit);
  }
}

// The message file holds resources alone: nothing to run, nothing imported.
TEST(Image, TheMessageFileHasNoEntryPointAndNoImports) {
  const std::string objdump =
      std::string(Arch() == "x86" ? "i686" : "x86_64") + "-w64-mingw32-objdump";
  std::string out;
  ASSERT_EQ(RunCommand({objdump, "-p", PackageDir() + "/" + kMessageFile}, &out), 0) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("AddressOfEntryPoint\\s+0+\\n"))) << out;
  EXPECT_EQ(out.find("DLL Name:"), std::string::npos) << out;
}

TEST(Image, CarriesItsVersionStampEarly) {
  for (const std::string& name :
       {std::string(kPrograms[0].name), std::string(kPrograms[1].name), kMessageFile}) {
    SCOPED_TRACE(name);
    const std::string image = ReadFile(PackageDir() + "/" + name);
    // The first start marker is the stamp's: the image holds the markers
    // again later, as the constants of its own stamp reader.
    const std::size_t start = image.find("!@#$");
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = image.find("$#@!", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end + 4, 100000u);
    EXPECT_EQ(image.substr(start + 4, end - start - 4), QSETUP_PRODUCT_VERSION_TEXT);
  }
}

}  // namespace
}  // namespace qsetup::e2e
