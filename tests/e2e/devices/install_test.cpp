// The whole installer under Wine: SETUP.EXE from the package directory on a
// machine that the test sets up (registered adapter devices, a legacy tool
// and its service keys), checked by its output, exit code, files and
// registry keys. These tests change the system directory and the services,
// so they share the device tests' prefix and run one at a time; each leaves
// the machine as it found it.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/devices/machine.h"
#include "e2e/wine_runner.h"
#include "support/written_messages.h"

namespace qsetup::e2e {
namespace {

using namespace written;

namespace fs = std::filesystem;

constexpr char kSystemDir[] = "C:\\windows\\system32";

const char* const kPackageFiles[] = {"SETUP.EXE",    "TELMXW.DLL",  "TELMXREM.EXE",
                                     "TELMXSVC.EXE", "ENGLISH.NLS", "JAPANESE.NLS"};
const char* const kInstalledFiles[] = {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"};

class Installer : public ::testing::Test {
 protected:
  void SetUp() override { CleanMachine(); }
  void TearDown() override { CleanMachine(); }

  static RunResult Setup(std::vector<std::string> args, const std::string& package = PackageDir(),
                         int timeout_seconds = 60) {
    return RunWine(package + "/SETUP.EXE",
                   {.args = std::move(args), .timeout_seconds = timeout_seconds});
  }

  static void ExpectInstalled(const std::string& package = PackageDir()) {
    for (const char* file : kInstalledFiles) {
      EXPECT_EQ(ReadFile(SystemFile(file)), ReadFile(package + "/" + file)) << file;
    }
    EXPECT_TRUE(ServiceRegistered());
  }

  static void ExpectStaged(const std::string& package = PackageDir()) {
    for (const char* file : kPackageFiles) {
      const std::string staged = StagingDir() + "/" + file;
      ASSERT_TRUE(FileExists(staged)) << file;
      EXPECT_EQ(ReadFile(staged), ReadFile(package + "/" + file)) << file;
    }
  }

  static void ExpectUntouched() {
    EXPECT_FALSE(FileExists(StagingDir()));
    for (const char* file : kInstalledFiles) {
      EXPECT_FALSE(FileExists(SystemFile(file))) << file;
    }
    EXPECT_FALSE(ServiceRegistered());
  }

  // A copy of the package without `missing`.
  static std::string PackageWithout(const std::string& missing) {
    const std::string dir = FreshWorkDir("package-without-" + missing);
    CopyPackage(dir, missing);
    return dir;
  }

  // Copies the package tree into `dir`, leaving out `missing`.
  static void CopyPackage(const fs::path& dir, const std::string& missing = "") {
    for (const auto& entry : fs::recursive_directory_iterator(PackageDir())) {
      const fs::path relative = fs::relative(entry.path(), PackageDir());
      if (relative == missing) continue;
      if (entry.is_directory()) {
        fs::create_directories(dir / relative);
      } else {
        CopyFile(entry.path().string(), (dir / relative).string());
      }
    }
  }
};

TEST_F(Installer, NoAdapterChangesNothing) {
  const RunResult r = Setup({"/Q"});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_EQ(r.out, std::string(kBanner) + kNotFound + kFailed);
  ExpectUntouched();
}

TEST_F(Installer, ForcedWithSkipHidRunsTheFullScan) {
  const RunResult r = Setup({"-FU", "/H"});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_EQ(r.out, std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner +
                       kNotFound + kFailed);
  ExpectUntouched();
}

TEST_F(Installer, AdapterWithoutWorkingDriverIsInstalledWithANotice) {
  // As the USB hub driver of current Windows spells it.
  const RegisteredDevice adapter(InstanceId("INSTALL"), {"USB\\VID_7A5C&PID_4001&REV_0100"});
  ASSERT_TRUE(adapter.registered());
  const RunResult r = Setup({"/Q"});
  EXPECT_EQ(r.exit_code, 16);
  EXPECT_EQ(NormalizeDots(r.out), std::string(kBanner) + kToolRun + kNotWorking + kComplete);
  ExpectStaged();
  ExpectInstalled();
}

TEST_F(Installer, TaskelWithModuleIsInstalledToo) {
  const RegisteredDevice module(InstanceId("MODULE"), {"USB\\Vid_7a5c&Pid_4004"});
  const RegisteredDevice taskel(InstanceId("TASKEL"), {"PCI\\VEN_1002&DEV_5159&SUBSYS_029A1F7D"});
  const RunResult r = Setup({"/H"});
  EXPECT_EQ(r.exit_code, 16);
  ExpectInstalled();
}

TEST_F(Installer, AdapterWithManagementModuleOnlyIsNotFound) {
  const RegisteredDevice adapter(InstanceId("ALT"), {"USB\\Vid_7a5c&Pid_4003"});
  const RegisteredDevice module(InstanceId("KZ"), {"USB\\VID_7A5C&PID_4004&REV_0100"});
  const RunResult r = Setup({"/Q"});
  EXPECT_EQ(r.exit_code, 8);
  EXPECT_EQ(r.out, std::string(kBanner) + kNotFound + kFailed);
  ExpectUntouched();
}

TEST_F(Installer, ForcedHidRouteReplacesLegacySoftwareAndAsksForARestart) {
  InstallLegacySoftware();
  const RunResult r = Setup({"-fu", "/q"});
  EXPECT_EQ(r.exit_code, 1);
  // The legacy tool's removal, the service tool's removal (refreshed into the
  // system directory after the first), and the installation.
  EXPECT_EQ(NormalizeDots(r.out), std::string("Skipping hardware detection - forcing Taskel.\r\n") +
                                      kBanner + kToolRun + kToolRun + kToolRun + kComplete +
                                      kReboot);
  EXPECT_EQ(ReadFile(SystemFile("qsetup-tools.log")),
            std::string("\"") + kSystemDir + "\\vanwdgsv.exe\" -remove | flags 1 show 0 | dir " +
                kSystemDir + "\r\n");
  const RunResult keys = RunWine(
      Fixture("service_keys"), {.args = {"exists", "vanwdgsv", "vanwdgex_helper", "qsetup_other"}});
  EXPECT_EQ(keys.out, "vanwdgsv no\r\nvanwdgex_helper no\r\nqsetup_other yes\r\n");
  ExpectStaged();
  ExpectInstalled();

  // A second run finds everything in place: same versions, nothing to purge,
  // and the restart still owed.
  const RunResult again = Setup({"-FU", "/Q"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(NormalizeDots(again.out),
            std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner + kToolRun +
                kToolRun + kToolRun + kComplete + kReboot);
  ExpectInstalled();
}

TEST_F(Installer, MissingPackageFileFailsBeforeTheOlderSoftwareIsRemoved) {
  // A server with older software and an older package staged: without the
  // library, the run would remove the older software and then install the
  // older staged one.
  InstallLegacySoftware();
  fs::create_directories(StagingDir());
  for (const char* file : kPackageFiles) {
    WriteFile(StagingDir() + "/" + file, std::string("!@#$1.0$#@! older ") + file);
  }
  const std::string package = PackageWithout("TELMXW.DLL");
  const RunResult r = Setup({"-FU", "/Q"}, package);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out,
            std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner + kFailed);
  // No tool ran, no key went, nothing reached the system directory.
  EXPECT_FALSE(FileExists(SystemFile("qsetup-tools.log")));
  const RunResult keys =
      RunWine(Fixture("service_keys"), {.args = {"exists", "vanwdgsv", "vanwdgex_helper"}});
  EXPECT_EQ(keys.out, "vanwdgsv yes\r\nvanwdgex_helper yes\r\n");
  EXPECT_FALSE(RestartRecorded());
  for (const char* file : kInstalledFiles) {
    EXPECT_FALSE(FileExists(SystemFile(file))) << file;
  }
  EXPECT_EQ(ReadFile(StagingDir() + "/TELMXW.DLL"), "!@#$1.0$#@! older TELMXW.DLL");
}

TEST_F(Installer, ScanRouteCopyFailureFailsWithCode2) {
  const RegisteredDevice adapter(InstanceId("FAIL"), {"USB\\Vid_7a5c&Pid_4003"});
  const std::string package = PackageWithout("TELMXREM.EXE");
  const RunResult r = Setup({"/Q"}, package);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, std::string(kBanner) + kFailed);
}

TEST_F(Installer, PackageDirectoryThatTheCodePageCannotNameInstallsByItsShortName) {
  // Run by its full path, whose Cyrillic letters the ANSI code page turns
  // into "?": 1252, as in an English locale, whose file names Wine reads in
  // UTF-8 (en_US.UTF-8 need not be installed; C.UTF-8 always is).
  const std::string package = FreshWorkDir("cyrillic") + "/\u041f\u0430\u043a\u0435\u0442/Quillon";
  CopyPackage(package);
  const RunResult r =
      RunWine(package + "/SETUP.EXE", {.args = {"-FU", "/Q"}, .env = {{"LC_ALL", "C.UTF-8"}}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(NormalizeDots(r.out), std::string("Skipping hardware detection - forcing Taskel.\r\n") +
                                      kBanner + kToolRun + kComplete);
  ExpectStaged(package);
  ExpectInstalled(package);
}

TEST_F(Installer, LongestSourceDirectoryInstallsAndALongerOneChangesNothing) {
  const std::string forced = "Skipping hardware detection - forcing Taskel.\r\n";
  // Its files' paths are longer than MAX_PATH.
  const PackageInLongDirectory longest("long-source", 254);
  ASSERT_EQ(longest.windows_dir().size(), 254u);
  const RunResult r = longest.Run({"-FU", "/Q"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(NormalizeDots(r.out), forced + kBanner + kToolRun + kComplete);
  ExpectStaged(longest.dir());
  ExpectInstalled(longest.dir());
  CleanMachine();

  const PackageInLongDirectory longer("longer-source", 256);
  ASSERT_EQ(longer.windows_dir().size(), 256u);
  const RunResult failed = longer.Run({"-FU", "/Q"});
  EXPECT_EQ(failed.exit_code, 2) << failed.err;
  EXPECT_EQ(failed.out, forced + kBanner + kFailed);
  ExpectUntouched();
}

TEST_F(Installer, TargetInUseWaitsForTheNextStart) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  const std::string installed = ReadFile(SystemFile("TELMXW.DLL"));
  // A package whose support library differs, at the same version.
  const std::string package = PackageWithout("");
  WriteFile(package + "/TELMXW.DLL", installed + "another build");
  const HeldFile held(std::string(kSystemDir) + "\\TELMXW.DLL");
  const RunResult r = Setup({"-FU", "/Q"}, package);
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  EXPECT_EQ(NormalizeDots(r.out), std::string("Skipping hardware detection - forcing Taskel.\r\n") +
                                      kBanner + kToolRun + kToolRun + kComplete + kReboot);
  EXPECT_EQ(ReadFile(SystemFile("TELMXW.DLL")), installed);
  EXPECT_EQ(ReadFile(SystemFile("TELMXW.DLL.~qln2next")), installed + "another build");
  for (const char* file : kPackageFiles) {
    EXPECT_EQ(PendingCopies(StagingDir() + "/" + file), std::vector<std::string>{}) << file;
  }
}

TEST_F(Installer, UnusableStagingDirectoryFailsAndChangesNothingElse) {
  // A file where the staging directory should be.
  WriteFile(StagingDir(), "not a directory");
  const RunResult r = Setup({"-FU", "/Q"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out,
            std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner + kFailed);
  EXPECT_EQ(ReadFile(StagingDir()), "not a directory");
  for (const char* file : kInstalledFiles) {
    EXPECT_FALSE(FileExists(SystemFile(file))) << file;
    EXPECT_EQ(PendingCopies(SystemFile(file)), std::vector<std::string>{}) << file;
  }
  EXPECT_FALSE(ServiceRegistered());
}

TEST_F(Installer, TwoRunsAtOnceBothInstall) {
  // A fleet tool that starts the installer again while the first run still
  // waits for a tool: the second run waits for the first, then installs.
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    auto first = std::async(std::launch::async, [] { return Setup({"-FU", "/Q"}); });
    const RunResult second = Setup({"-FU", "/Q"});
    const RunResult one = first.get();
    // The service tool's removal runs once it is in the system directory;
    // on the fresh machine of the first round, only for the second of the two.
    const std::string start =
        std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner + kToolRun;
    const std::string fresh = start + kComplete;
    const std::string again = start + kToolRun + kComplete;
    EXPECT_EQ(one.exit_code, 0) << one.out;
    EXPECT_EQ(second.exit_code, 0) << second.out;
    const std::string outs[] = {NormalizeDots(one.out), NormalizeDots(second.out)};
    if (round == 0) {
      EXPECT_TRUE((outs[0] == fresh && outs[1] == again) || (outs[0] == again && outs[1] == fresh))
          << outs[0] << outs[1];
    } else {
      EXPECT_EQ(outs[0], again);
      EXPECT_EQ(outs[1], again);
    }
    for (const char* file : kPackageFiles) {
      const std::string staged = StagingDir() + "/" + file;
      EXPECT_EQ(ReadFile(staged), ReadFile(PackageDir() + "/" + file)) << file;
      EXPECT_EQ(PendingCopies(staged), std::vector<std::string>{}) << file;
    }
    for (const char* file : kInstalledFiles) {
      EXPECT_EQ(ReadFile(SystemFile(file)), ReadFile(PackageDir() + "/" + file)) << file;
      EXPECT_EQ(PendingCopies(SystemFile(file)), std::vector<std::string>{}) << file;
    }
  }
}

TEST_F(Installer, RunLockThatIsNotLetGoNeverHangsARun) {
  const std::string forced = "Skipping hardware detection - forcing Taskel.\r\n";
  {
    // An ordinary user's program that made and holds an object of the lock's
    // name is not another run: the run goes on as if there were no lock.
    const Held squatter("hold_mutex", {"squat"});
    const RunResult r = Setup({"-FU", "/Q"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(NormalizeDots(r.out), forced + kBanner + kToolRun + kComplete);
    ExpectInstalled();
  }
  CleanMachine();
  {
    // Another run that never lets go: a test build of SETUP.EXE that waits
    // 3 seconds gives up, fails and changes nothing.
    const Held other_run("hold_mutex", {"run"});
    const std::string package = FreshWorkDir("quick-lock");
    CopyPackage(package);
    CopyFile(Fixture("setup_quick_lock"), package + "/SETUP.EXE");
    const RunResult r = Setup({"-FU", "/Q", "/D"}, package);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, forced + kBanner + "Main - waiting for another run of setup to end.\r\n" +
                         "Main - the other run did not end in time; giving up.\r\n" + kFailed);
    ExpectUntouched();
  }
}

// An ordinary user's object of the lock's name does not let two runs change
// the machine at once: the second waits for the first, here in vain.
TEST_F(Installer, RunsTakeTurnsWhenTheLocksNameIsTaken) {
  const Held squatter("hold_mutex", {"squat"});
  // The first run waits for its service tool's installation while the
  // marker is there.
  const std::string first = FreshWorkDir("first-run");
  CopyPackage(first);
  CopyFile(Fixture("tool_standin"), first + "/TELMXSVC.EXE");
  const std::string marker = UnixSystemDir() + "/telmxsvc.exe.keep";
  WriteFile(marker, "");
  auto first_run = std::async(std::launch::async, [&] { return Setup({"-FU", "/Q"}, first, 90); });
  for (int i = 0; i < 600; ++i) {
    const std::string log = SystemFile("qsetup-tools.log");
    if (FileExists(log) && ReadFile(log).find("-install") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const std::string second = FreshWorkDir("second-run");
  CopyPackage(second);
  CopyFile(Fixture("setup_quick_lock"), second + "/SETUP.EXE");
  const RunResult r = Setup({"-FU", "/Q", "/D"}, second);
  fs::remove(marker);
  EXPECT_EQ(r.exit_code, 2) << r.out;
  EXPECT_NE(r.out.find("Main - the other run did not end in time; giving up.\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(first_run.get().exit_code, 0);
}

TEST_F(Installer, ARunEndedAfterThePurgeLeavesItsRestartToTheNext) {
  const std::string forced = "Skipping hardware detection - forcing Taskel.\r\n";
  InstallLegacySoftware(/*with_tool=*/false);
  // A package whose service tool keeps running while its marker is there:
  // the run is ended, as a fleet tool's time limit ends it, while it waits
  // for that tool's removal, after the purge.
  const std::string package = FreshWorkDir("waiting-service-tool");
  CopyPackage(package);
  CopyFile(Fixture("tool_standin"), package + "/TELMXSVC.EXE");
  const std::string marker = UnixSystemDir() + "/telmxsvc.exe.keep";
  WriteFile(marker, "");
  const RunResult ended = Setup({"-FU", "/Q"}, package, /*timeout_seconds=*/10);
  fs::remove(marker);
  EXPECT_EQ(ended.exit_code, -1) << ended.out;
  const RunResult keys = RunWine(Fixture("service_keys"), {.args = {"exists", "vanwdgsv"}});
  EXPECT_EQ(keys.out, "vanwdgsv no\r\n");
  EXPECT_TRUE(RestartRecorded());
  // Windows takes the record away at its next start: the key is volatile.
  EXPECT_EQ(RunWine(Fixture("restart_record"), {.args = {"volatile"}}).out, "volatile\r\n");

  // The next run removes nothing itself and reports the restart, and so
  // does every run until the machine restarts.
  for (const char* run : {"next", "third"}) {
    SCOPED_TRACE(run);
    const RunResult next = Setup({"-FU", "/Q"});
    EXPECT_EQ(next.exit_code, 1);
    EXPECT_EQ(NormalizeDots(next.out),
              forced + kBanner + kToolRun + kToolRun + kComplete + kReboot);
    EXPECT_TRUE(RestartRecorded());
  }
  ExpectInstalled();
  for (const char* file : kInstalledFiles) {
    EXPECT_EQ(PendingCopies(SystemFile(file)), std::vector<std::string>{}) << file;
  }
}

TEST_F(Installer, ARunThatNobodySeesNeverWaits) {
  // Started by a service without /Q, as a fleet agent starts it: its console
  // lies on a window station that nobody sees. A newer file in the system
  // directory would put the overwrite question, and /D pauses.
  WriteFile(SystemFile("TELMXREM.EXE"), "!@#$9.9$#@! newer");
  const RunResult r = RunWine(
      Fixture("as_service"),
      {.args = {WindowsPath(PackageDir() + "/SETUP.EXE"), "-FU", "/D"}, .timeout_seconds = 200});
  EXPECT_EQ(r.out, "station visible 0\r\nexit code 0\r\n");
  EXPECT_EQ(r.exit_code, 0);
  ExpectStaged();
  ExpectInstalled();
}

// A launcher that names SETUP.EXE as the program to start, with a bare
// command path and another current directory that holds a marked package:
// the package comes from the program's own directory.
TEST_F(Installer, ThePackageIsTheProgramsOwnWhateverTheCommandPathNames) {
  const std::string other = FreshWorkDir("other-package");
  CopyPackage(other);
  for (const char* file : kInstalledFiles) WriteFile(other + "/" + file, "!@#$9.9$#@! marked");
  const RunResult r =
      RunWine(Fixture("launch"), {.args = {"-a", WindowsPath(PackageDir() + "/SETUP.EXE"), "-d",
                                           WindowsPath(other), "SETUP.EXE", "-FU", "/Q"}});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  ExpectStaged();
  ExpectInstalled();
}

TEST_F(Installer, RunFromTheStagingDirectoryStagesNothing) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  // Started the way a script on the server would start it: by its Windows
  // path in other letters, which stages nothing, or by a name relative to
  // the current directory, which stages each file onto itself.
  const std::string system_dir = kSystemDir;
  const struct {
    std::vector<std::string> launch;
    const char* staging_trace;  // the staging copy of SETUP.EXE as traced; none: no staging
  } starts[] = {
      {{"C:\\WINDOWS\\SYSTEM32\\DRIVERS\\QLN2\\SETUP.EXE"}, nullptr},
      {{"-d", system_dir + "\\drivers\\qln2", "SETUP.EXE"}, "CopyFile source = >.\\SETUP.EXE<"},
      {{"-d", system_dir + "\\DRIVERS", "qln2\\setup.exe"},
       "CopyFile source = >qln2\\\\SETUP.EXE<"},
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.launch.back());
    // Mark the staged catalog: a run that copied would put the package's back.
    WriteFile(StagingDir() + "/JAPANESE.NLS", "!@#$9.9$#@! marked");
    std::vector<std::string> args = start.launch;
    args.insert(args.end(), {"-FU", "/Q", "/D"});
    const RunResult r = RunWine(Fixture("launch"), {.args = args});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("Found USB SP.\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("CopyFile source = >C:\\WINDOWS\\SYSTEM32\\DRIVERS\\QLN2\\\\"),
              std::string::npos)
        << r.out;
    if (start.staging_trace != nullptr) {
      EXPECT_NE(r.out.find(start.staging_trace), std::string::npos) << r.out;
    }
    EXPECT_EQ(ReadFile(StagingDir() + "/JAPANESE.NLS"), "!@#$9.9$#@! marked");
    ExpectInstalled();
  }
}

TEST_F(Installer, DriveRelativeStartUsesThePackageNotTheRootOfTheDrive) {
  // The package on drive C:, and a catalog that anyone could have planted at
  // the root of that drive.
  const fs::path drive_c = fs::path(WinePrefix()) / "drive_c";
  const fs::path package = drive_c / ("qsetup-pkg-" + Arch());
  const fs::path planted = drive_c / "nls";
  struct Cleanup {
    std::vector<fs::path> paths;
    ~Cleanup() {
      for (const fs::path& p : paths) fs::remove_all(p);
    }
  } cleanup{{package, planted}};
  fs::remove_all(package);
  CopyPackage(package);
  std::string catalog(1, 81);
  for (int i = 0; i < 81; ++i)
    catalog.append(i == 8 ? "planted banner\n" : "planted").append(1, '\0');
  WriteFile((planted / "english.nls").string(), catalog);

  // A script or shortcut that names the program by drive and name only.
  const RunResult r =
      RunWine(Fixture("launch"), {.args = {"C:setup.exe", "-FU", "/Q"}, .cwd = package.string()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(NormalizeDots(r.out), std::string("Skipping hardware detection - forcing Taskel.\r\n") +
                                      kBanner + kToolRun + kComplete);
  ExpectStaged(package.string());
  ExpectInstalled(package.string());
}

TEST_F(Installer, VerboseTranscriptOfTheScanRoute) {
  const RegisteredDevice adapter(InstanceId("VERBOSE"), {"USB\\Vid_7a5c&Pid_4001"});
  ASSERT_TRUE(adapter.registered());
  // The scan traces every id of every device that Wine shows; take them from
  // the scan on its own.
  const RunResult scan = RunWine(Fixture("detect_run"), {.args = {"/D", "scan"}});
  const std::string last = "FindExistingDevice = 1, flags 1000, last error 259\r\n";
  ASSERT_GE(scan.out.size(), last.size());
  ASSERT_EQ(scan.out.substr(scan.out.size() - last.size()), last) << scan.out;
  const std::string scan_traces = scan.out.substr(0, scan.out.size() - last.size());

  const RunResult r = Setup({"/D", "/Q"});
  EXPECT_EQ(r.exit_code, 16);
  const std::string source = WindowsPath(PackageDir()) + "\\\\";
  const std::string staging = std::string(kSystemDir) + "\\drivers\\qln2\\";
  std::string expected = std::string(kBanner) + scan_traces +
                         "Found Taskel but NO DRIVER.\r\nPress ENTER to continue\r\n";
  for (const char* file : kPackageFiles) {
    expected +=
        "CopyFile source = >" + source + file + "<\r\nCopyFile dest = >" + staging + file + "<\r\n";
  }
  expected += "lpBuffer = >" + staging + "<\r\nlpBuffr2 = >" + kSystemDir + "\\<\r\n";
  for (const char* file : kInstalledFiles) {
    expected += "CopyFile source = >" + staging + file + "<\r\nCopyFile dest = >" + kSystemDir +
                "\\" + file + "<\r\n";
  }
  expected += std::string(kToolRun) + kNotWorking + kComplete;
  EXPECT_EQ(NormalizeDots(r.out), expected);
}

TEST_F(Installer, NewerFileInTheSystemDirectoryIsKeptWhenTheAnswerIsNo) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  const std::string newer = "!@#$99.0$#@! a newer companion tool";
  WriteFile(SystemFile("TELMXREM.EXE"), newer);
  // Staging brings the package's TELMXREM.EXE again; the copy into the
  // system directory meets the newer one and asks.
  const RunResult r = RunWine(PackageDir() + "/SETUP.EXE", {.args = {"-FU"}, .stdin_data = "n\n"});
  EXPECT_EQ(r.exit_code, 0);
  const std::string notice = "\r\n" + std::string(kSystemDir) + "\\drivers\\qln2\\TELMXREM.EXE" +
                             " is older than " + kSystemDir +
                             "\\TELMXREM.EXE.\r\nDo you want to copy anyway? (y/n):\r\n";
  EXPECT_NE(r.out.find(notice), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(SystemFile("TELMXREM.EXE")), newer);
}

TEST_F(Installer, OverwriteQuestionTakesTheAnswerWordsOfTheSystemLanguage) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  const std::string newer = "!@#$99.0$#@! a newer companion tool";
  const struct {
    const char* locale;
    const char* yes;
  } languages[] = {
      {"fr_FR.UTF-8", "o"}, {"de_DE.UTF-8", "J"}, {"es_ES.UTF-8", "si"}, {"ja_JP.UTF-8", "y"}};
  for (const auto& language : languages) {
    SCOPED_TRACE(language.locale);
    // The question comes twice: when the tools are refreshed after the
    // service tool's removal, and when the service's files are copied.
    WriteFile(SystemFile("TELMXREM.EXE"), newer);
    const RunResult no =
        RunWine(PackageDir() + "/SETUP.EXE",
                {.args = {"-FU"}, .stdin_data = "n\nn\n", .env = {{"LC_ALL", language.locale}}});
    EXPECT_EQ(no.exit_code, 0);
    EXPECT_EQ(ReadFile(SystemFile("TELMXREM.EXE")), newer);

    const std::string yes = std::string(language.yes) + "\n";
    const RunResult r =
        RunWine(PackageDir() + "/SETUP.EXE",
                {.args = {"-FU"}, .stdin_data = yes + yes, .env = {{"LC_ALL", language.locale}}});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(ReadFile(SystemFile("TELMXREM.EXE")), ReadFile(PackageDir() + "/TELMXREM.EXE"));
  }
}

}  // namespace
}  // namespace qsetup::e2e
