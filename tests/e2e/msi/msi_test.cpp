// The MSI package of each architecture under Wine's msiexec (of the same
// architecture): what msiexec returns, what SETUP.EXE wrote into the MSI
// log, the product that the installer registers, the installed folder, and
// what SETUP.EXE did to the machine. Each test leaves nothing installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/devices/machine.h"
#include "e2e/wine_runner.h"
#include "support/written_messages.h"

namespace qsetup::e2e {
namespace {

using namespace written;

namespace fs = std::filesystem;

constexpr char kUpgradeCode[] = "{" QSETUP_MSI_UPGRADE_CODE "}";
constexpr char kProductName[] = "Orvane Quillon 2 management software";
constexpr char kForced[] = "Skipping hardware detection - forcing Taskel.\r\n";

std::string MsiPath() {
  return std::string(QSETUP_E2E_MSI_ROOT) + "/qsetup-" + QSETUP_PRODUCT_VERSION_TEXT + "-" +
         Arch() + ".msi";
}

// The package of a higher version, built for these tests.
std::string UpgradeMsiPath() {
  return FixtureDir() + "/qsetup-" + QSETUP_MSI_UPGRADE_VERSION + "-" + Arch() + ".msi";
}

std::string ProgramFiles() {
  return Arch() == "x86" ? "Program Files (x86)" : "Program Files";
}

std::string InstallFolder() {
  return WinePrefix() + "/drive_c/" + ProgramFiles() + "/Orvane Quillon 2";
}

struct MsiRun {
  int exit_code = -1;
  std::string log;
};

// Runs msiexec with `arguments`, without a user interface and without a
// restart, logging verbosely into a fresh file named after `step`.
MsiRun Msiexec(const std::string& arguments, const std::string& step) {
  const std::string log = FreshWorkDir(step) + "/msiexec.log";
  const std::string command =
      "msiexec " + arguments + " /qn /norestart /l*v \"" + WindowsPath(log) + "\"";
  const RunResult r = RunWine(Fixture("exit_code"), {.args = {command}, .timeout_seconds = 110});
  MsiRun run;
  const std::string prefix = "exit code ";
  // The fixture ends with 0 once msiexec has ended; -1 when it timed out.
  if (r.exit_code != 0 || r.out.rfind(prefix, 0) != 0) {
    ADD_FAILURE() << command << ": " << r.out << r.err;
    return run;
  }
  run.exit_code = std::stoi(r.out.substr(prefix.size()));
  run.log = FileExists(log) ? ReadFile(log) : "";
  return run;
}

MsiRun Install(const std::string& properties = "") {
  return Msiexec("/i \"" + WindowsPath(MsiPath()) + "\" " + properties, "install");
}

// The products of the upgrade code, as the msi_products fixture lists them.
std::string Products() {
  return RunWine(Fixture("msi_products"), {.args = {kUpgradeCode}}).out;
}

std::string ProductLine(const std::string& version) {
  return " " + version + ", entry \"" + kProductName + "\" " + version + "\r\n";
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && line.front() == '\r') line.remove_prefix(1);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
  }
  return lines;
}

// The log lines of the run of SETUP.EXE: from the command line to the exit
// code. A tool run's progress dots are left out: how many there are is up
// to the machine.
std::vector<std::string> SetupRun(const std::string& log) {
  std::vector<std::string> run;
  for (const std::string& line : Lines(log)) {
    if (run.empty() && line.rfind("Running ", 0) != 0) continue;
    const std::string_view dots = "SETUP.EXE: .";
    if (line.rfind(dots, 0) == 0 && line.find_first_not_of('.', dots.size()) == std::string::npos) {
      continue;
    }
    run.push_back(line);
    if (line.rfind("SETUP.EXE exit code ", 0) == 0) break;
  }
  return run;
}

// What the run of SETUP.EXE with `switches` from `folder` logs when it
// writes `written` and ends with `outcome`: each line that holds more than
// line ends.
std::vector<std::string> ExpectedRun(const std::string& switches, const std::string& written,
                                     const std::string& outcome,
                                     const std::string& folder = "C:\\" + ProgramFiles() +
                                                                 "\\Orvane Quillon 2\\") {
  std::vector<std::string> run = {"Running \"" + folder + "SETUP.EXE\" " + switches};
  for (const std::string& line : Lines(written)) {
    if (!line.empty()) run.push_back("SETUP.EXE: " + line);
  }
  run.push_back(outcome);
  return run;
}

void ExpectPackageInstalled() {
  for (const auto& entry : fs::recursive_directory_iterator(PackageDir())) {
    if (entry.is_directory()) continue;
    const fs::path relative = fs::relative(entry.path(), PackageDir());
    const std::string installed = (fs::path(InstallFolder()) / relative).string();
    ASSERT_TRUE(FileExists(installed)) << relative;
    EXPECT_EQ(ReadFile(installed), ReadFile(entry.path().string())) << relative;
  }
}

class Msi : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }

  // Uninstalls what a test left installed, then takes away what SETUP.EXE
  // did.
  static void Clean() {
    for (const std::string& line : Lines(Products())) {
      if (!line.empty()) Msiexec("/x " + line.substr(0, line.find(',')), "clean");
    }
    CleanMachine();
  }
};

TEST_F(Msi, NoAdapterFailsAndTheInstallationIsRolledBack) {
  const MsiRun run = Install();
  EXPECT_EQ(run.exit_code, 1603);
  EXPECT_EQ(SetupRun(run.log),
            ExpectedRun("/Q", std::string(kBanner) + kNotFound + kFailed,
                        "SETUP.EXE exit code 8: no adapter was found; SETUP.EXE changed nothing."))
      << run.log;
  EXPECT_EQ(Products(), "");
  EXPECT_FALSE(FileExists(InstallFolder()));
  EXPECT_FALSE(FileExists(StagingDir()));
  EXPECT_FALSE(ServiceRegistered());
}

TEST_F(Msi, AdapterWithoutWorkingDriverIsInstalledAndUninstalled) {
  const RegisteredDevice adapter(InstanceId("MSI"), {"USB\\Vid_7a5c&Pid_4001&Rev_0100"});
  ASSERT_TRUE(adapter.registered());
  const MsiRun run = Install();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(SetupRun(run.log), ExpectedRun("/Q", std::string(kBanner) + kNotWorking + kComplete,
                                           "SETUP.EXE exit code 16: installed; the adapter has no "
                                           "working USB driver (see the notice above)."))
      << run.log;
  const std::string products = Products();
  ASSERT_EQ(products.size(), 38 + ProductLine(QSETUP_PRODUCT_VERSION_TEXT).size()) << products;
  EXPECT_EQ(products.substr(38), ProductLine(QSETUP_PRODUCT_VERSION_TEXT));
  ExpectPackageInstalled();
  EXPECT_TRUE(ServiceRegistered());

  // By the product code, as fleet tools uninstall.
  const MsiRun removal = Msiexec("/x " + products.substr(0, 38), "uninstall");
  EXPECT_EQ(removal.exit_code, 0);
  EXPECT_NE(removal.log.find("TELMXSVC.EXE -remove exit code 0."), std::string::npos)
      << removal.log;
  EXPECT_EQ(Products(), "");
  EXPECT_FALSE(ServiceRegistered());
  EXPECT_FALSE(FileExists(InstallFolder()));
  // What SETUP.EXE copied stays.
  EXPECT_TRUE(FileExists(SystemFile("TELMXSVC.EXE")));
  EXPECT_TRUE(FileExists(StagingDir() + "/SETUP.EXE"));
}

TEST_F(Msi, RemovedLegacyServiceKeysAskForARestart) {
  InstallLegacySoftware(/*with_tool=*/false);
  // In a folder of the administrator's choice, whose brackets the MSI log
  // must not take for a property.
  const MsiRun run = Install("INSTALLFOLDER=\"C:\\Quillon [2]\" SETUPSWITCHES=\"/Q -FU\"");
  EXPECT_EQ(run.exit_code, 3010);
  EXPECT_EQ(SetupRun(run.log),
            ExpectedRun("/Q -FU", std::string(kForced) + kBanner + kComplete + kReboot,
                        "SETUP.EXE exit code 1: installed; older service registrations were "
                        "removed, restart the machine.",
                        "C:\\Quillon [2]\\"))
      << run.log;
  const RunResult keys = RunWine(
      Fixture("service_keys"), {.args = {"exists", "vanwdgsv", "vanwdgex_helper", "qsetup_other"}});
  EXPECT_EQ(keys.out, "vanwdgsv no\r\nvanwdgex_helper no\r\nqsetup_other yes\r\n");
  EXPECT_NE(Products().find(ProductLine(QSETUP_PRODUCT_VERSION_TEXT)), std::string::npos);

  // The request is not left behind for the next installation.
  ASSERT_EQ(Msiexec("/x \"" + WindowsPath(MsiPath()) + "\"", "uninstall").exit_code, 0);
  EXPECT_EQ(Install("SETUPSWITCHES=\"/Q -FU\"").exit_code, 0);
}

// Run with /D, SETUP.EXE traces every copy, and never waits for a key:
// under the MSI it has no console.
TEST_F(Msi, FailedCopyRollsBackAndTheLogNamesIt) {
  CopyFile(PackageDir() + "/TELMXREM.EXE", SystemFile("TELMXREM.EXE"));
  const HeldFile in_use("C:\\windows\\system32\\TELMXREM.EXE");
  const MsiRun run = Install("SETUPSWITCHES=\"/Q /D -FU\"");
  EXPECT_EQ(run.exit_code, 1603);
  const std::vector<std::string> lines = SetupRun(run.log);
  const std::vector<std::string> expected_end = {
      "SETUP.EXE: CopyFile error on source file = >C:\\windows\\system32\\drivers\\qln2\\"
      "TELMXREM.EXE<",
      "SETUP.EXE: CopyFile source = >C:\\windows\\system32\\drivers\\qln2\\TELMXSVC.EXE<",
      "SETUP.EXE: CopyFile dest = >C:\\windows\\system32\\TELMXSVC.EXE<",
      "SETUP.EXE: Installation failed",
      "SETUP.EXE exit code 2: a file could not be copied, or the system directory is unusable; "
      "SETUPSWITCHES=\"/Q /D\" traces every copy into this log."};
  ASSERT_GE(lines.size(), expected_end.size()) << run.log;
  EXPECT_EQ(std::vector<std::string>(lines.end() - expected_end.size(), lines.end()), expected_end)
      << run.log;
  EXPECT_EQ(Products(), "");
  EXPECT_FALSE(FileExists(InstallFolder()));
}

TEST_F(Msi, NewerPackageReplacesTheOlder) {
  ASSERT_EQ(Install("SETUPSWITCHES=\"/Q -FU\"").exit_code, 0);
  const MsiRun run =
      Msiexec("/i \"" + WindowsPath(UpgradeMsiPath()) + "\" SETUPSWITCHES=\"/Q -FU\"", "upgrade");
  EXPECT_EQ(run.exit_code, 0);
  const std::string products = Products();
  EXPECT_EQ(products.size(), 38 + ProductLine(QSETUP_MSI_UPGRADE_VERSION).size()) << products;
  EXPECT_NE(products.find(ProductLine(QSETUP_MSI_UPGRADE_VERSION)), std::string::npos) << products;
  // The older package's removal took the service away; SETUP.EXE of the
  // newer one put it back.
  EXPECT_TRUE(ServiceRegistered());
  ExpectPackageInstalled();
}

}  // namespace
}  // namespace qsetup::e2e
