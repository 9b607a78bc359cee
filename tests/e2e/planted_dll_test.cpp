// Libraries planted beside the programs under the names of the system
// libraries that detection uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPlantedNames[] = {"hid.dll", "setupapi.dll", "cfgmgr32.dll"};

// Wine prefers its own builtin copy of some system libraries to a file
// beside the program; here it takes the file first, as Windows does.
const std::map<std::string, std::string> kPreferPlanted = {
    {"WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=;hid,setupapi,cfgmgr32=n,b"}};

// The markers that the planted libraries left when something loaded them.
std::vector<std::string> Markers(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".loaded") found.push_back(entry.path().filename().string());
  }
  return found;
}

std::string PlantedDirectory(const std::string& name) {
  const std::string dir = FreshWorkDir(name);
  for (const char* planted : kPlantedNames) {
    CopyFile(FixtureDir() + "/planted.dll", dir + "/" + planted);
  }
  return dir;
}

TEST(PlantedLibraries, AreLoadedByAProgramThatSearchesItsOwnDirectory) {
  // The counterpart of the tests below: it shows that a planted library
  // would be noticed.
  const std::string dir = PlantedDirectory("planted-control");
  CopyFile(FixtureDir() + "/load_library.exe", dir + "/load_library.exe");
  for (const char* planted : kPlantedNames) {
    SCOPED_TRACE(planted);
    const RunResult r =
        RunWine(dir + "/load_library.exe", {.args = {planted}, .env = kPreferPlanted});
    EXPECT_EQ(r.out, "loaded\r\n");
    EXPECT_EQ(Markers(dir), std::vector<std::string>{std::string(planted) + ".loaded"});
    for (const std::string& marker : Markers(dir)) fs::remove(dir + "/" + marker);
  }
}

TEST(PlantedLibraries, TheProgramsNeverLoadThem) {
  const struct {
    const char* program;
    const char* arg;
    const char* said;  // in what it prints, whatever it decides
  } programs[] = {
      {"SETUP.EXE", "/Q", "Orvane Quillon 2 software installation\r\n"},
      {"QLN2STAT.EXE", "/JSON", "{\"schema\":1,"},
  };
  for (const auto& p : programs) {
    SCOPED_TRACE(p.program);
    const std::string dir = PlantedDirectory(std::string("planted-") + p.program);
    CopyFile(PackageDir() + "/" + p.program, dir + "/" + p.program);
    const RunResult r = RunWine(dir + "/" + p.program, {.args = {p.arg}, .env = kPreferPlanted});
    // It ran to its end.
    EXPECT_NE(r.exit_code, -1);
    EXPECT_NE(r.out.find(p.said), std::string::npos) << r.out;
    EXPECT_EQ(Markers(dir), std::vector<std::string>{});
  }
}

TEST(PlantedLibraries, DetectionUsesTheSystemLibraries) {
  const std::string dir = PlantedDirectory("planted-detect");
  CopyFile(FixtureDir() + "/detect_run.exe", dir + "/detect_run.exe");
  // Both ways of loading: System32 alone, and by full path where
  // SetDefaultDllDirectories does not exist.
  for (const char* loading : {"system32", "fullpath"}) {
    SCOPED_TRACE(loading);
    const RunResult r =
        RunWine(dir + "/detect_run.exe",
                {.args = {"/D", "oslog", "hid", "scan", loading}, .env = kPreferPlanted});
    EXPECT_EQ(r.exit_code, 0);
    // Wine's own HID devices were opened and device ids read, through the
    // real libraries.
    EXPECT_NE(r.out.find("\r\nattributes 845E:0001\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FindExistingDevice - Device ID "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("SetupDiGetClassDevs failed"), std::string::npos) << r.out;
    EXPECT_EQ(Markers(dir), std::vector<std::string>{});
  }
}

TEST(SystemLibraries, TheScanRunsWithoutHid) {
  // hid.dll cannot be loaded: the HID probe finds nothing, the scan still
  // reads every device's ids through SetupAPI.
  const RunResult r =
      RunWine(FixtureDir() + "/detect_run.exe",
              {.args = {"/D", "hid", "scan"},
               .env = {{"WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=;hid="}}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(r.out.starts_with("FindHidDevice = 0\r\n")) << r.out;
  EXPECT_NE(r.out.find("FindExistingDevice - Device ID "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("SetupDiGetClassDevs failed"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace qsetup::e2e
