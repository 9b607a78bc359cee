// The MSI package of each architecture under Wine's msiexec (of the same
// architecture), through its whole life: installation, a second one,
// upgrade, repair, uninstall, the other architecture. What msiexec returns,
// what the custom actions and SETUP.EXE wrote into the MSI log, the products
// that the installer holds, the installed folder, and what SETUP.EXE and the
// uninstall did to the machine. Each test leaves nothing installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
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
// Below the Services key, as the service_keys fixture names keys.
constexpr char kEventSource[] = "EventLog\\Application\\Orvane Quillon 2 Setup";
// The event source's message file, which SETUP.EXE puts into its staging
// directory.
const std::string kMessageFile = "QLN2MSG-" QSETUP_PRODUCT_VERSION_TEXT ".DLL";

std::string MsiPath(const std::string& arch = Arch()) {
  return std::string(QSETUP_E2E_MSI_ROOT) + "/qsetup-" + QSETUP_PRODUCT_VERSION_TEXT + "-" + arch +
         ".msi";
}

// The package of a higher version, built for these tests.
std::string UpgradeMsiPath() {
  return FixtureDir() + "/qsetup-" + QSETUP_MSI_UPGRADE_VERSION + "-" + Arch() + ".msi";
}

// The package with a test build of the custom action, whose bounds count
// minutes of half a second: it lets SETUP.EXE run for 22.5 seconds and the
// service tool's removal for 2.5.
std::string QuickBoundsMsiPath() {
  return FixtureDir() + "/qsetup-" + QSETUP_PRODUCT_VERSION_TEXT + "-" + Arch() +
         "-quick-bounds.msi";
}

std::string ProgramFiles() {
  return Arch() == "x86" ? "Program Files (x86)" : "Program Files";
}

std::string InstallFolder() {
  return WinePrefix() + "/drive_c/" + ProgramFiles() + "/Orvane Quillon 2";
}

std::string WindowsInstallFolder() {
  return "C:\\" + ProgramFiles() + "\\Orvane Quillon 2\\";
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
  // In a locale that every system has, so that Wine reads the UTF-8 of a
  // command line as UTF-8.
  const RunResult r =
      RunWine(Fixture("exit_code"),
              {.args = {command}, .env = {{"LC_ALL", "C.UTF-8"}}, .timeout_seconds = 110});
  MsiRun run;
  const std::string prefix = "exit code ";
  // The fixture ends with 0 once msiexec has ended; -1 when it timed out.
  run.log = FileExists(log) ? ReadFile(log) : "";
  if (r.exit_code != 0 || r.out.rfind(prefix, 0) != 0) {
    ADD_FAILURE() << command << ": "
                  << (r.exit_code == -1 ? std::string("did not end in time")
                                        : "exit_code ended with " + std::to_string(r.exit_code))
                  << "\n"
                  << r.out << r.err << "msiexec's log so far:\n"
                  << run.log;
    return run;
  }
  run.exit_code = std::stoi(r.out.substr(prefix.size()));
  return run;
}

MsiRun Install(const std::string& properties = "", const std::string& package = MsiPath()) {
  return Msiexec("/i \"" + WindowsPath(package) + "\" " + properties, "install");
}

// The products of the upgrade code, as the msi_products fixture lists them.
std::string Products() {
  const RunResult r = RunWine(Fixture("msi_products"), {.args = {kUpgradeCode}});
  EXPECT_EQ(r.exit_code, 0) << "msi_products did not run: " << r.err;
  return r.out;
}

std::string ProductLine(const std::string& version) {
  return " " + version + ", entry \"" + kProductName + "\" " + version + "\r\n";
}

// The product code of the one product installed of `version`; empty, with a
// failure, unless that is all that the installer holds.
std::string InstalledProduct(const std::string& version = QSETUP_PRODUCT_VERSION_TEXT) {
  const std::string products = Products();
  if (products.size() != 38 + ProductLine(version).size() ||
      products.compare(38, std::string::npos, ProductLine(version)) != 0) {
    ADD_FAILURE() << "not one product of " << version << ": " << products;
    return "";
  }
  return products.substr(0, 38);
}

bool EventSourceRegistered() {
  return RunWine(Fixture("service_keys"), {.args = {"exists", kEventSource}}).out ==
         std::string(kEventSource) + " yes\r\n";
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

// The log lines of the run of SETUP.EXE: from the command line to the
// action's line of its end. A tool run's progress dots are left out: how
// many there are is up to the machine.
std::vector<std::string> SetupRun(const std::string& log) {
  std::vector<std::string> run;
  for (const std::string& line : Lines(log)) {
    if (run.empty() && line.rfind("Running ", 0) != 0) continue;
    const std::string_view dots = "SETUP.EXE: .";
    if (line.rfind(dots, 0) == 0 && line.find_first_not_of('.', dots.size()) == std::string::npos) {
      continue;
    }
    run.push_back(line);
    if (line.rfind("SETUP.EXE ", 0) == 0) break;
  }
  return run;
}

// The lines that the custom action `action` wrote into the log when it ran
// (the log names each action once as it is scheduled, then as it runs).
std::vector<std::string> ActionRun(const std::string& log, const std::string& action) {
  std::vector<std::string> run;
  bool in_action = false;
  for (const std::string& line : Lines(log)) {
    if (line.rfind("Action start ", 0) == 0) {
      in_action =
          line.size() > action.size() + 2 &&
          line.compare(line.size() - action.size() - 1, std::string::npos, action + ".") == 0;
      if (in_action) run.clear();
    } else if (line.rfind("Action ended ", 0) == 0) {
      in_action = false;
    } else if (in_action) {
      run.push_back(line);
    }
  }
  return run;
}

// What ProtectFolder logs for `folder`.
std::vector<std::string> Protected(const std::string& folder = WindowsInstallFolder()) {
  return {"INSTALLFOLDER " + folder +
          " has permissions of its own, "
          "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU): owner Administrators; "
          "SYSTEM and Administrators full control, Users read and execute; nothing inherited "
          "from its parent."};
}

// What the run of SETUP.EXE with `switches` from `folder` logs when it
// writes `written` and ends with `outcome`: each line that holds more than
// line ends.
std::vector<std::string> ExpectedRun(const std::string& switches, const std::string& written,
                                     const std::string& outcome,
                                     const std::string& folder = WindowsInstallFolder()) {
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
      if (!line.empty()) Msiexec("/x " + line.substr(0, line.find(' ')), "clean");
    }
    CleanMachine();
    RunWine(Fixture("service_keys"), {.args = {"remove", kEventSource}});
  }
};

TEST_F(Msi, SetupThatFailsOrDoesNotEndRollsTheInstallationBack) {
  const struct {
    const char* what;
    std::string package;
    std::string properties;
    bool lock_held;  // by another run that never lets go
    std::vector<std::string> run;
  } cases[] = {
      {"no adapter", MsiPath(), "", false,
       ExpectedRun("/Q", std::string(kBanner) + kNotFound + kFailed,
                   "SETUP.EXE exit code 8: no adapter was found; SETUP.EXE changed nothing.")},
      // Still waiting for the lock (for twenty minutes) when the test build's
      // bound of SETUP.EXE has passed: it is ended.
      {"does not end", QuickBoundsMsiPath(), "SETUPSWITCHES=\"/Q -FU\"", true,
       ExpectedRun("/Q -FU", std::string(kForced) + kBanner,
                   "SETUP.EXE did not end within 45 minutes; ended.")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<Held> other_run;
    if (c.lock_held) other_run.emplace("hold_mutex", std::vector<std::string>{"run"});
    const MsiRun run = Install(c.properties, c.package);
    EXPECT_EQ(run.exit_code, 1603);
    EXPECT_EQ(SetupRun(run.log), c.run) << run.log;
    EXPECT_EQ(Products(), "");
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(FileExists(StagingDir()));
    EXPECT_FALSE(ServiceRegistered());
  }
}

// SETUP.EXE would exit with 0 without installing: the MSI refuses to run it.
TEST_F(Msi, InvalidForceCodeIsRefusedBeforeSetupRuns) {
  const struct {
    const char* switches;
    const char* refused;
  } cases[] = {{"/Q -Force", "-Force"}, {"-fu -f /Q", "-f"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.switches);
    const MsiRun run = Install("SETUPSWITCHES=\"" + std::string(c.switches) + "\"");
    EXPECT_EQ(run.exit_code, 1603);
    EXPECT_EQ(ActionRun(run.log, "RunSetup"),
              std::vector<std::string>{"SETUPSWITCHES holds the invalid force code " +
                                       std::string(c.refused) +
                                       " (only -FU forces): SETUP.EXE would install nothing and "
                                       "exit with 0, so it was not run."})
        << run.log;
    EXPECT_EQ(Products(), "");
    EXPECT_FALSE(FileExists(InstallFolder()));
  }
}

TEST_F(Msi, AdapterWithoutWorkingDriverIsInstalledAndUninstalled) {
  const RegisteredDevice adapter(InstanceId("MSI"), {"USB\\Vid_7a5c&Pid_4001&Rev_0100"});
  ASSERT_TRUE(adapter.registered());
  const MsiRun run = Install();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ActionRun(run.log, "ProtectFolder"), Protected()) << run.log;
  EXPECT_EQ(SetupRun(run.log), ExpectedRun("/Q", std::string(kBanner) + kNotWorking + kComplete,
                                           "SETUP.EXE exit code 16: installed; the adapter has no "
                                           "working USB driver (see the notice above)."))
      << run.log;
  EXPECT_EQ(ActionRun(run.log, "RequestRestart"), std::vector<std::string>{"No restart is owed."})
      << run.log;
  const std::string product = InstalledProduct();
  ExpectPackageInstalled();
  EXPECT_TRUE(ServiceRegistered());
  // The status report of the installed folder, as detection scripts run it:
  // current, no restart owed.
  const RunResult status = RunWine(InstallFolder() + "/QLN2STAT.EXE", {});
  EXPECT_EQ(status.exit_code, 0) << status.out;
  EXPECT_NE(status.out.find("Package           " +
                            WindowsInstallFolder().substr(0, WindowsInstallFolder().size() - 1) +
                            ", version "),
            std::string::npos)
      << status.out;

  // The installed product installed again: nothing to do, SETUP.EXE does not
  // run.
  const MsiRun again = Install();
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_EQ(SetupRun(again.log), std::vector<std::string>{}) << again.log;
  EXPECT_EQ(InstalledProduct(), product);

  // By the product code, as fleet tools uninstall; the event source that
  // SETUP.EXE registered goes with the service, and its message file too.
  ASSERT_TRUE(EventSourceRegistered());
  const MsiRun removal = Msiexec("/x " + product, "uninstall");
  EXPECT_EQ(removal.exit_code, 0);
  EXPECT_EQ(ActionRun(removal.log, "RemoveService"),
            (std::vector<std::string>{
                "Running \"C:\\windows\\system32\\telmxsvc.exe\" -remove",
                "telmxsvc.exe -remove exit code 0.",
                "QLN2Svc is not registered.",
                "Event source \"Orvane Quillon 2 Setup\" removed.",
                "C:\\windows\\system32\\drivers\\qln2\\" + kMessageFile + " removed.",
            }))
      << removal.log;
  EXPECT_EQ(Products(), "");
  EXPECT_FALSE(ServiceRegistered());
  EXPECT_FALSE(EventSourceRegistered());
  EXPECT_FALSE(FileExists(StagingDir() + "/" + kMessageFile));
  EXPECT_FALSE(FileExists(InstallFolder()));
  // What SETUP.EXE copied stays.
  EXPECT_TRUE(FileExists(SystemFile("TELMXSVC.EXE")));
  EXPECT_TRUE(FileExists(StagingDir() + "/SETUP.EXE"));
}

// The uninstall leaves no service, whichever copy of the service tool is
// left to remove it and whether it ends, and forgets the installation's
// switches.
TEST_F(Msi, UninstallRemovesTheServiceWithoutAWorkingTool) {
  const std::string system_tool = "C:\\windows\\system32\\telmxsvc.exe";
  const std::string installed_tool = WindowsInstallFolder() + "telmxsvc.exe";
  const std::string deleted =
      "QLN2Svc was still registered: deleted through the service control manager (stopped first "
      "if it ran).";
  enum class Tools { kInstalledOnly, kNone, kSystemNeverEnds };
  const std::string message_file = "C:\\windows\\system32\\drivers\\qln2\\" + kMessageFile;
  const struct {
    Tools tools;
    std::string package;
    std::vector<std::string> removal;
    bool viewer = false;  // holds the message file loaded, as Event Viewer can
  } cases[] = {
      {Tools::kInstalledOnly,
       MsiPath(),
       {system_tool + " is not there.", "Running \"" + installed_tool + "\" -remove",
        "telmxsvc.exe -remove exit code 0.", "QLN2Svc is not registered."},
       true},
      {Tools::kNone,
       MsiPath(),
       {system_tool + " is not there.", installed_tool + " is not there.", deleted}},
      // A tool that removes nothing, never ends and leaves behind a program
      // that holds the action's pipe: the test build's bound ends the tool
      // and what it started.
      {Tools::kSystemNeverEnds,
       QuickBoundsMsiPath(),
       {"Running \"" + system_tool + "\" -remove",
        "telmxsvc.exe -remove did not end within 5 minutes; ended.", deleted}},
  };
  const std::string keep = UnixSystemDir() + "/telmxsvc.exe.keep";
  const std::string child = UnixSystemDir() + "/telmxsvc.exe.child";
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.tools));
    ASSERT_EQ(Install("SETUPSWITCHES=\"/Q -FU\"", c.package).exit_code, 0);
    ASSERT_TRUE(ServiceRegistered());
    std::filesystem::remove(SystemFile("TELMXSVC.EXE"));
    if (c.tools == Tools::kNone) std::filesystem::remove(InstallFolder() + "/TELMXSVC.EXE");
    if (c.tools == Tools::kSystemNeverEnds) {
      CopyFile(Fixture("tool_standin"), SystemFile("TELMXSVC.EXE"));
      WriteFile(keep, "");
      WriteFile(child, "");
    }
    std::optional<HeldFile> viewer;
    if (c.viewer) viewer.emplace(message_file, true);
    const MsiRun removal = Msiexec("/x \"" + WindowsPath(c.package) + "\"", "uninstall");
    viewer.reset();
    if (c.tools == Tools::kSystemNeverEnds) {
      // The program that the tool left behind ran too, and no longer runs:
      // nothing holds its marker, which it kept running.
      EXPECT_NE(ReadFile(SystemFile("qsetup-tools.log")).find("\" child | "), std::string::npos);
      EXPECT_EQ(RunWine(Fixture("hold_file"), {.args = {WindowsPath(child)}}).out, "held\n");
    }
    std::filesystem::remove(keep);
    std::filesystem::remove(child);
    EXPECT_EQ(removal.exit_code, 0);
    std::vector<std::string> expected = c.removal;
    expected.push_back("Event source \"Orvane Quillon 2 Setup\" removed.");
    expected.push_back(c.viewer ? message_file +
                                      " is in use (Windows error 32): it is removed at the next "
                                      "start of Windows."
                                : message_file + " removed.");
    EXPECT_EQ(ActionRun(removal.log, "RemoveService"), expected) << removal.log;
    EXPECT_FALSE(ServiceRegistered());
    EXPECT_EQ(Products(), "");
  }
  // A new installation does not find the removed one's switches.
  const MsiRun fresh = Install();
  EXPECT_EQ(fresh.exit_code, 1603);
  ASSERT_FALSE(SetupRun(fresh.log).empty()) << fresh.log;
  EXPECT_EQ(SetupRun(fresh.log).front(), ExpectedRun("/Q", "", "").front());
}

TEST_F(Msi, RemovedLegacyServiceKeysAskForARestart) {
  InstallLegacySoftware(/*with_tool=*/false);
  // In a folder of the administrator's choice below the root, which gets
  // permissions of its own, and whose brackets the MSI log must not take for
  // a property.
  const MsiRun run = Install("INSTALLFOLDER=\"C:\\Quillon [2]\" SETUPSWITCHES=\"/Q -FU\"");
  EXPECT_EQ(run.exit_code, 3010);
  EXPECT_EQ(ActionRun(run.log, "ProtectFolder"), Protected("C:\\Quillon [2]\\")) << run.log;
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

  EXPECT_EQ(ActionRun(run.log, "RequestRestart"),
            std::vector<std::string>{"A restart is owed (HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\"
                                     "Quillon 2 Setup\\RebootRequired is there until Windows "
                                     "starts again): the installation asks for it."})
      << run.log;

  // The restart is owed until Windows starts again: the next installation
  // before it asks for it too.
  ASSERT_EQ(Msiexec("/x \"" + WindowsPath(MsiPath()) + "\"", "uninstall").exit_code, 0);
  EXPECT_EQ(Install("SETUPSWITCHES=\"/Q -FU\"").exit_code, 3010);

  // On the scan route SETUP.EXE ends with 16, which does not tell of the
  // restart; its record does.
  ASSERT_EQ(Msiexec("/x \"" + WindowsPath(MsiPath()) + "\"", "uninstall").exit_code, 0);
  const RegisteredDevice adapter(InstanceId("MSI"), {"USB\\Vid_7a5c&Pid_4001&Rev_0100"});
  ASSERT_TRUE(adapter.registered());
  const MsiRun scan = Install();
  EXPECT_EQ(scan.exit_code, 3010);
  EXPECT_EQ(SetupRun(scan.log).back(),
            "SETUP.EXE exit code 16: installed; the adapter has no working USB driver (see the "
            "notice above).")
      << scan.log;
}

// Run with /D, SETUP.EXE traces every copy, and never waits for a key:
// under the MSI it has no console. Its paths are in the ANSI code page, its
// texts in the OEM one: the log shows both as they are.
TEST_F(Msi, FailedCopyRollsBackAndTheLogNamesIt) {
  // A directory where TELMXREM.EXE belongs: no restart can put the file
  // there, and the run ends before it changes anything.
  std::filesystem::create_directory(SystemFile("TELMXREM.EXE"));
  const MsiRun run =
      Install("INSTALLFOLDER=\"C:\\Soci\xc3\xa9t\xc3\xa9\" SETUPSWITCHES=\"/Q /D -FU\"");
  EXPECT_EQ(run.exit_code, 1603);
  const std::vector<std::string> lines = SetupRun(run.log);
  // The log is written in the ANSI code page too.
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "SETUP.EXE: CopyFile source = >C:\\Soci\xe9t\xe9\\\\TELMXSVC.EXE<"),
            lines.end())
      << run.log;
  const std::vector<std::string> expected_end = {
      "SETUP.EXE: CopyFile source = >C:\\Soci\xe9t\xe9\\\\JAPANESE.NLS<",
      "SETUP.EXE: CopyFile dest = >C:\\windows\\system32\\drivers\\qln2\\JAPANESE.NLS<",
      "SETUP.EXE: Found USB SP.",
      "SETUP.EXE: Press ENTER to continue",
      "SETUP.EXE: Installation failed",
      "SETUP.EXE exit code 2: a file could not be copied, or the system directory is unusable; "
      "SETUPSWITCHES=\"/Q /D\" traces every copy into this log."};
  ASSERT_GE(lines.size(), expected_end.size()) << run.log;
  EXPECT_EQ(std::vector<std::string>(lines.end() - expected_end.size(), lines.end()), expected_end)
      << run.log;
  EXPECT_EQ(Products(), "");
  EXPECT_FALSE(FileExists(WinePrefix() + "/drive_c/Soci\xc3\xa9t\xc3\xa9"));
}

// A Group Policy upgrade passes no switches; one that fails leaves the older
// version installed and its service, as they were.
TEST_F(Msi, FailedUpgradeKeepsTheOlderVersion) {
  ASSERT_EQ(Install("SETUPSWITCHES=\"/Q -FU\"").exit_code, 0);
  const std::string older = InstalledProduct();
  // The command line's switches win over the remembered ones.
  const MsiRun run =
      Msiexec("/i \"" + WindowsPath(UpgradeMsiPath()) + "\" SETUPSWITCHES=\"/Q\"", "upgrade");
  EXPECT_EQ(run.exit_code, 1603);
  EXPECT_EQ(SetupRun(run.log),
            ExpectedRun("/Q", std::string(kBanner) + kNotFound + kFailed,
                        "SETUP.EXE exit code 8: no adapter was found; SETUP.EXE changed nothing."))
      << run.log;
  EXPECT_EQ(InstalledProduct(), older);
  EXPECT_TRUE(ServiceRegistered());
  // Windows also puts back the folder's files that the newer package shared
  // with the older one; Wine's rollback takes them away.
}

// One product of the upgrade code per machine: the newer replaces the older
// once it has installed, keeping the older's switches and the service; the
// other architecture of the installed version is refused.
TEST_F(Msi, NewerPackageReplacesTheOlder) {
  ASSERT_EQ(Install("SETUPSWITCHES=\"/Q -FU\"").exit_code, 0);
  const std::string older = InstalledProduct();
  const std::string other_arch = Arch() == "x64" ? "x86" : "x64";
  const MsiRun refused = Msiexec("/i \"" + WindowsPath(MsiPath(other_arch)) + "\"", "other");
  EXPECT_EQ(refused.exit_code, 1603);
  // Wine's installer logs no launch condition's message; Windows logs
  // "... is already installed for the other architecture ...".
  EXPECT_NE(refused.log.find("Property(S): SAMEVERSIONDETECTED = " + older + "\n"),
            std::string::npos)
      << refused.log;
  EXPECT_EQ(InstalledProduct(), older);

  const MsiRun run = Msiexec("/i \"" + WindowsPath(UpgradeMsiPath()) + "\"", "upgrade");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(SetupRun(run.log), ExpectedRun("/Q -FU", std::string(kForced) + kBanner + kComplete,
                                           "SETUP.EXE exit code 0: installed."))
      << run.log;
  const std::string newer = InstalledProduct(QSETUP_MSI_UPGRADE_VERSION);
  // The older package's removal left the service and the files to the newer.
  EXPECT_TRUE(ServiceRegistered());
  ExpectPackageInstalled();

  // A repair (msiexec /fa on Windows; Wine's msiexec repairs only by these
  // properties) runs SETUP.EXE with the remembered switches.
  const MsiRun repair = Msiexec("/i " + newer + " REINSTALL=ALL REINSTALLMODE=a", "repair");
  EXPECT_EQ(repair.exit_code, 0);
  // The folder that the installation made passes, and so does everything
  // in it, each entry's security set again.
  EXPECT_EQ(ActionRun(repair.log, "ProtectFolder"), Protected()) << repair.log;
  EXPECT_EQ(SetupRun(repair.log), SetupRun(run.log)) << repair.log;
}

}  // namespace
}  // namespace qsetup::e2e
