// QLN2STAT.EXE under Wine on the machine of the device tests: a fresh
// server, a forced installation, older software, a restart owed by a run
// ended midway, an adapter on the scan route, a run in progress, and package
// directories beyond ASCII. Each report is made twice (/JSON, read by
// Python's json module, and the text for a person) and neither may change the
// registry or the system directory; where SETUP.EXE can run next, it must
// decide as the report said it would.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/devices/machine.h"
#include "e2e/wine_runner.h"
#include "support/json_parse.h"

namespace qsetup::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kVersion = QSETUP_PRODUCT_VERSION_TEXT;
const char* const kInstalledFiles[] = {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"};

// A value as the parser writes it: a JSON string.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The system directory as the program under test names it.
std::string SystemDirectory() {
  return Arch() == "x86" ? "C:\\windows\\syswow64" : "C:\\windows\\system32";
}

// What a report may not change: the registry below HKEY_LOCAL_MACHINE, as
// reg exports it, and every entry of the system directories with its size
// and time. Read in the environment `env` of the report's run: Wine itself
// records a change of locale in the registry.
std::string MachineState(const std::map<std::string, std::string>& env = {}) {
  const std::string file = FreshWorkDir("registry") + "/hklm.reg";
  const RunResult exported =
      RunWine("reg", {.args = {"export", "HKLM", WindowsPath(file), "/y"}, .env = env});
  EXPECT_EQ(exported.exit_code, 0) << exported.out << exported.err;
  // HKLM\Hardware is Wine's own, volatile: it is made again whenever Wine's
  // server starts, some of it only once a program loads the display driver.
  const std::string exported_text = ReadFile(file);
  std::u16string text(exported_text.size() / 2, u'\0');
  std::memcpy(text.data(), exported_text.data(), text.size() * 2);
  std::string state;
  bool hardware = false;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find(u'\n', at);
    end = end == std::u16string::npos ? text.size() : end + 1;
    const std::u16string_view line(text.data() + at, end - at);
    if (line.starts_with(u"[")) hardware = line.starts_with(u"[HKEY_LOCAL_MACHINE\\Hardware");
    if (!hardware) state.append(reinterpret_cast<const char*>(line.data()), line.size() * 2);
    at = end;
  }
  for (const char* dir : {"system32", "syswow64"}) {
    for (const auto& entry :
         fs::recursive_directory_iterator(WinePrefix() + "/drive_c/windows/" + dir)) {
      state += entry.path().string();
      if (entry.is_regular_file()) {
        state += " " + std::to_string(entry.file_size()) + " " +
                 std::to_string(entry.last_write_time().time_since_epoch().count());
      }
      state += "\n";
    }
  }
  return state;
}

struct Report {
  int exit_code = -1;
  std::map<std::string, std::string> json;
  std::string text;
};

class StatusProgram : public ::testing::Test {
 protected:
  void SetUp() override { CleanMachine(); }
  void TearDown() override { CleanMachine(); }

  // QLN2STAT.EXE of the package in `dir` with `args`, with /JSON and
  // without: both give the same exit code, and neither changes the machine.
  static Report Status(std::vector<std::string> args = {}, const std::string& dir = PackageDir()) {
    const std::string before = MachineState();
    std::vector<std::string> json_args = {"/JSON"};
    json_args.insert(json_args.end(), args.begin(), args.end());
    const RunResult json = RunWine(dir + "/QLN2STAT.EXE", {.args = json_args});
    const RunResult text = RunWine(dir + "/QLN2STAT.EXE", {.args = args});
    EXPECT_TRUE(MachineState() == before) << "the report changed the machine";
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(text.exit_code, json.exit_code);
    Report report{json.exit_code, testing::ParseJson(json.out), text.out};
    EXPECT_EQ(report.json.count("error"), 0u) << json.out;
    EXPECT_EQ(report.json["exitCode"], std::to_string(json.exit_code));
    EXPECT_EQ(report.json["faults"], "[]");
    return report;
  }

  static RunResult Setup(const std::vector<std::string>& args) {
    return RunWine(PackageDir() + "/SETUP.EXE", {.args = args});
  }

  // The record of SETUP.EXE's last run, which ended with `exit_code`.
  static void ExpectLastRun(const Report& r, int exit_code) {
    EXPECT_EQ(r.json.at("lastRun/exitCode"), std::to_string(exit_code));
    EXPECT_EQ(r.json.at("lastRun/eventId"), std::to_string(exit_code));
    EXPECT_EQ(r.json.at("lastRun/version"), Quoted(kVersion));
    const std::string time = r.json.at("lastRun/time");
    EXPECT_TRUE(time.size() == 22 && time[5] == '-' && time[11] == 'T' && time[20] == 'Z') << time;
    EXPECT_NE(r.text.find("\r\nLast run          " + time.substr(1, 20) + ", SETUP.EXE " +
                          kVersion + ": exit code " + std::to_string(exit_code)),
              std::string::npos)
        << r.text;
  }

  static void ExpectCurrent(const Report& r, bool restart_owed) {
    EXPECT_EQ(r.exit_code, restart_owed ? 1 : 0);
    for (const char* file : kInstalledFiles) {
      EXPECT_EQ(r.json.at(std::string("installed/") + file), Quoted(kVersion)) << file;
    }
    EXPECT_EQ(r.json.at("staged/version"), Quoted(kVersion));
    EXPECT_EQ(r.json.at("service/registered"), "true");
    EXPECT_EQ(r.json.at("service/runsSystemTool"), "true");
    EXPECT_EQ(r.json.at("service/imagePath"),
              Quoted("\"" + SystemDirectory() + "\\TELMXSVC.EXE\" -service"));
    EXPECT_EQ(r.json.at("restartOwed"), restart_owed ? "true" : "false");
    EXPECT_EQ(r.json.at("current"), "true");
  }
};

TEST_F(StatusProgram, FreshServerWithoutAdapter) {
  const Report r = Status();
  EXPECT_EQ(r.exit_code, 3);
  const std::map<std::string, std::string> expected = {
      {"schema", "1"},
      {"package/directory", Quoted(WindowsPath(PackageDir()))},
      {"package/version", Quoted(kVersion)},
      {"package/files/SETUP.EXE", Quoted(kVersion)},
      {"package/files/TELMXW.DLL", Quoted(kVersion)},
      {"package/files/TELMXREM.EXE", Quoted(kVersion)},
      {"package/files/TELMXSVC.EXE", Quoted(kVersion)},
      {"package/files/ENGLISH.NLS", Quoted(kVersion)},
      {"package/files/JAPANESE.NLS", Quoted(kVersion)},
      {"package/files/QLN2STAT.EXE", Quoted(kVersion)},
      {"package/unusable", "null"},
      {"adapter/route", "\"hardware-id scan\""},
      {"adapter/hidProbe", "false"},
      {"adapter/scan", "false"},
      {"adapter/setupExitCode", "8"},
      {"systemDirectory", Quoted(SystemDirectory())},
      {"installed/TELMXW.DLL", "null"},
      {"installed/TELMXREM.EXE", "null"},
      {"installed/TELMXSVC.EXE", "null"},
      {"staged/directory", Quoted(SystemDirectory() + "\\drivers\\qln2")},
      {"staged/version", "null"},
      {"staged/files/SETUP.EXE", "null"},
      {"staged/files/TELMXW.DLL", "null"},
      {"staged/files/TELMXREM.EXE", "null"},
      {"staged/files/TELMXSVC.EXE", "null"},
      {"staged/files/ENGLISH.NLS", "null"},
      {"staged/files/JAPANESE.NLS", "null"},
      {"service/name", "\"QLN2Svc\""},
      {"service/registered", "false"},
      {"service/state", "null"},
      {"service/imagePath", "null"},
      {"service/runsSystemTool", "false"},
      {"legacy/tool", "false"},
      {"legacy/serviceKeys", "0"},
      {"legacy/keptServiceKeys", "0"},
      {"restartOwed", "false"},
      {"waitingForRestart", "[]"},
      {"runInProgress", "false"},
      // Under Wine every program runs with the Administrators enabled.
      {"elevated", "true"},
      {"lastRun", "null"},
      {"current", "false"},
      {"exitCode", "3"},
      {"faults", "[]"},
  };
  // Keys may be added within the schema: those of schema 1, with their values.
  for (const auto& [key, value] : expected) {
    const auto found = r.json.find(key);
    ASSERT_NE(found, r.json.end()) << key;
    EXPECT_EQ(found->second, value) << key;
  }
  EXPECT_EQ(r.text,
            "QLN2STAT.EXE " + kVersion +
                ": Orvane Quillon 2 software on this server\r\n"
                "\r\n"
                "Package           " +
                WindowsPath(PackageDir()) + ", version " + kVersion +
                "\r\n"
                "Adapter           not found (hardware-id scan); SETUP.EXE would end with "
                "8\r\n"
                "Installed         " +
                SystemDirectory() +
                "\r\n"
                "  TELMXW.DLL      none\r\n"
                "  TELMXREM.EXE    none\r\n"
                "  TELMXSVC.EXE    none\r\n"
                "Staged            " +
                SystemDirectory() +
                "\\drivers\\qln2: none\r\n"
                "Service QLN2Svc   not registered\r\n"
                "Older software    legacy tool none, legacy service keys: 0\r\n"
                "Restart owed      no\r\n"
                "Run in progress   no\r\n"
                "Last run          none recorded\r\n"
                "Current           no: not installed, older or incomplete (exit code 3)\r\n");

  // /H leaves the probe out; the scan decides as before.
  const Report scan_only = Status({"/H"});
  EXPECT_EQ(scan_only.json.at("adapter/hidProbe"), "null");
  EXPECT_EQ(scan_only.json.at("adapter/setupExitCode"), "8");

  // As the report said, SETUP.EXE finds no adapter.
  EXPECT_EQ(Setup({"/Q"}).exit_code, 8);
  ExpectLastRun(Status(), 8);
}

TEST_F(StatusProgram, ForcedInstallationIsCurrent) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  const Report r = Status();
  ExpectCurrent(r, /*restart_owed=*/false);
  ExpectLastRun(r, 0);
  EXPECT_EQ(r.json.at("service/state"), "\"stopped\"");
  // The adapter is still not there: a run without -FU would end with 8.
  EXPECT_EQ(r.json.at("adapter/setupExitCode"), "8");
  EXPECT_NE(r.text.find("\r\nCurrent           yes (exit code 0)\r\n"), std::string::npos)
      << r.text;
}

TEST_F(StatusProgram, OlderSoftwareAndTheRestartItsRemovalOwes) {
  InstallLegacySoftware();
  Report r = Status();
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.json.at("legacy/tool"), "true");
  EXPECT_EQ(r.json.at("legacy/serviceKeys"), "2");  // vanwdgsv and vanwdgex_helper

  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 1);
  r = Status();
  EXPECT_EQ(r.json.at("legacy/serviceKeys"), "0");
  ExpectCurrent(r, RestartRecorded());
  ExpectLastRun(r, 1);

  // A run that is ended before its end (here while it waits for another
  // run) leaves the record of the last one, and the restart record.
  {
    const Held other_run("hold_mutex", {"run"});
    EXPECT_EQ(RunWine(PackageDir() + "/SETUP.EXE", {.args = {"-FU", "/Q"}, .timeout_seconds = 5})
                  .exit_code,
              -1);
  }
  const Report after = Status();
  ExpectLastRun(after, 1);
  EXPECT_EQ(after.json.at("lastRun/time"), r.json.at("lastRun/time"));
  EXPECT_EQ(after.json.at("restartOwed"), r.json.at("restartOwed"));
}

// Keys that the purge cannot delete (one too deep for its two levels, one
// whose DACL denies everyone) are not counted as removable, and SETUP.EXE
// leaves them, as the report said.
TEST_F(StatusProgram, OlderKeysThatThePurgeLeaves) {
  const RunResult made = RunWine(Fixture("service_keys"),
                                 {.args = {"create", "vanwdgex_deep\\A\\B\\C", "vanwdgsv_denied"}});
  ASSERT_EQ(made.exit_code, 0) << made.out;
  ASSERT_EQ(RunWine(Fixture("service_keys"), {.args = {"deny", "vanwdgsv_denied"}}).exit_code, 0);
  const Report r = Status();
  EXPECT_EQ(r.json.at("legacy/serviceKeys"), "0");
  EXPECT_EQ(r.json.at("legacy/keptServiceKeys"), "2");

  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  EXPECT_EQ(RunWine(Fixture("service_keys"), {.args = {"exists", "vanwdgex_deep\\A\\B\\C"}}).out,
            "vanwdgex_deep\\A\\B\\C yes\r\n");
  ExpectCurrent(Status(), /*restart_owed=*/false);
}

// The status playbook's table (examples/ansible/qln2-status.yml) from
// reports that QLN2STAT.EXE printed here: a fresh server, one installed over
// older software, which owes a restart, and one with a file of another
// version.
TEST_F(StatusProgram, TheStatusPlaybooksTableFromItsReports) {
  const std::string dir = FreshWorkDir("status-table");
  const auto report = [&dir](const char* host) {
    WriteFile(dir + "/" + host, RunWine(PackageDir() + "/QLN2STAT.EXE", {.args = {"/JSON"}}).out);
  };
  report("fresh");
  InstallLegacySoftware();
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 1);
  report("current");
  WriteFile(SystemFile("TELMXREM.EXE"), "!@#$2.0.9$#@! an older build");
  report("mixed");
  std::string table;
  ASSERT_EQ(
      RunCommand({"bash", std::string(QSETUP_E2E_EXAMPLES) + "/../tools/status-table.sh", dir},
                 &table),
      0)
      << table;
  EXPECT_EQ(table,
            "host                           adapter route     installed  current  restart owed\n"
            "current                        hardware-id scan  " +
                kVersion +
                "      True     True\n"
                "fresh                          hardware-id scan  none       False    False\n"
                "mixed                          hardware-id scan  mixed      False    True\n");
}

// A file of the service that cannot be replaced now. One in use (a library
// held open, the service tool running from its file) waits for the next
// start of Windows: SETUP.EXE ends with 1, the report says current, the
// restart owed and the file it completes, and after the restart the file is
// the package's and nothing is owed. One that no restart can take (a
// directory in its place) ends the run with 2 before anything is removed.
TEST_F(StatusProgram, FilesThatCannotBeReplacedNow) {
  enum class Kind { kHeld, kRunning, kDirectory };
  const struct {
    const char* file;
    Kind kind;
  } rows[] = {
      {"TELMXW.DLL", Kind::kHeld},
      {"TELMXSVC.EXE", Kind::kRunning},
      {"TELMXREM.EXE", Kind::kDirectory},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    CleanMachine();
    ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
    const std::string target = SystemFile(row.file);
    std::unique_ptr<HeldFile> held;
    std::future<RunResult> running;
    switch (row.kind) {
      case Kind::kHeld:
        WriteFile(target, "!@#$2.0.9$#@! an older build");
        held = std::make_unique<HeldFile>(SystemDirectory() + "\\" + row.file, /*readers=*/true);
        break;
      case Kind::kRunning:
        CopyFile(Fixture("tool_standin"), target);
        WriteFile(target + ".stay", "");
        // Started by its Windows path: Wine starts no program below system32
        // by a Unix one.
        running = std::async(std::launch::async, [file = row.file] {
          return RunWine(Fixture("launch"), {.args = {SystemDirectory() + "\\" + file, "stay"},
                                             .timeout_seconds = 120});
        });
        // Running once it has written its line.
        for (int i = 0; i < 100; ++i) {
          const std::string log = SystemFile("qsetup-tools.log");
          if (FileExists(log) && ReadFile(log).find(" stay") != std::string::npos) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        break;
      case Kind::kDirectory:
        fs::remove(target);
        fs::create_directory(target);
        InstallLegacySoftware(/*with_tool=*/false);
        break;
    }
    const std::string before = row.kind == Kind::kDirectory ? "" : ReadFile(target);

    const RunResult run = Setup({"-FU", "/Q"});
    if (row.kind == Kind::kDirectory) {
      EXPECT_EQ(run.exit_code, 2) << run.out;
      // No tool ran, no key went, no file changed.
      EXPECT_EQ(run.out.find("\r\n\r\n\r\n"), std::string::npos) << run.out;
      EXPECT_EQ(RunWine(Fixture("service_keys"), {.args = {"exists", "vanwdgsv\\Parameters"}}).out,
                "vanwdgsv\\Parameters yes\r\n");
      EXPECT_TRUE(fs::is_directory(target));
      EXPECT_EQ(PendingRenames().find("qln2"), std::string::npos);
      RestartWindows();
      // Not current, and the report cannot read what stands in the file's place.
      EXPECT_EQ(RunWine(PackageDir() + "/QLN2STAT.EXE", {.args = {"/JSON"}}).exit_code, 3);
      continue;
    }
    EXPECT_EQ(run.exit_code, 1) << run.out;
    // Left for the start by the path where the file lies, SysWOW64 for the
    // 32-bit program.
    std::string pending = PendingRenames();
    std::transform(pending.begin(), pending.end(), pending.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    std::string lower_dir = SystemDirectory();
    std::transform(lower_dir.begin(), lower_dir.end(), lower_dir.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    EXPECT_NE(
        pending.find(lower_dir + "\\" +
                     (row.kind == Kind::kHeld ? "telmxw.dll.~qln2next" : "telmxsvc.exe.~qln2old.")),
        std::string::npos)
        << pending;
    // Current by the file that the restart puts in place.
    Report r = Status();
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.json.at("current"), "true");
    EXPECT_EQ(r.json.at("restartOwed"), "true");
    // The held file waits; the running one was replaced at once.
    if (row.kind == Kind::kHeld) {
      EXPECT_EQ(r.json["waitingForRestart/0"], Quoted(row.file));
      EXPECT_EQ(r.json.count("waitingForRestart/1"), 0u);
    } else {
      EXPECT_EQ(r.json.at("waitingForRestart"), "[]");
    }

    held.reset();
    RestartWindows();
    if (running.valid()) running.get();
    fs::remove(target + ".stay");
    EXPECT_EQ(ReadFile(target), ReadFile(PackageDir() + "/" + row.file));
    EXPECT_EQ(PendingCopies(target), std::vector<std::string>{});
    r = Status();
    ExpectCurrent(r, /*restart_owed=*/false);
    EXPECT_EQ(r.json.at("waitingForRestart"), "[]");
  }
}

TEST_F(StatusProgram, RestartOwedAfterARunEndedMidway) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  // What a run leaves that was ended once it had recorded the restart.
  ASSERT_EQ(RunWine(Fixture("restart_record"), {.args = {"make"}}).exit_code, 0);
  ExpectCurrent(Status(), /*restart_owed=*/true);
  // The clock was set ahead since (a correction, a machine restored from a
  // saved state), as the time that an earlier version wrote into the record
  // shows: Windows has not started again, and the restart is still owed, to
  // SETUP.EXE as to the report.
  ASSERT_EQ(RunWine(Fixture("restart_record"), {.args = {"stepped"}}).exit_code, 0);
  ExpectCurrent(Status(), /*restart_owed=*/true);
  EXPECT_EQ(Setup({"/Q", "-FU"}).exit_code, 1);
  EXPECT_TRUE(RestartRecorded());
  // Only a start of Windows takes it away.
  RestartWindows();
  EXPECT_FALSE(RestartRecorded());
  ExpectCurrent(Status(), /*restart_owed=*/false);
}

TEST_F(StatusProgram, AdapterOnTheScanRoute) {
  // As the USB hub driver of current Windows spells it.
  const RegisteredDevice adapter(InstanceId("STATUS"), {"USB\\VID_7A5C&PID_4001&REV_0100"});
  ASSERT_TRUE(adapter.registered());
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"/H"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Report r = Status(args);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.json.at("adapter/route"), "\"hardware-id scan\"");
    EXPECT_EQ(r.json.at("adapter/scan"), "true");
    EXPECT_EQ(r.json.at("adapter/setupExitCode"), "16");
  }
  // As the report said, SETUP.EXE takes the scan route and installs.
  ASSERT_EQ(Setup({"/Q"}).exit_code, 16);
  const Report installed = Status();
  ExpectCurrent(installed, RestartRecorded());
  ExpectLastRun(installed, 16);

  // Copied alone into a folder, as detection scripts are, the program sets
  // the server against its own version.
  const std::string alone = FreshWorkDir("status-alone");
  fs::copy_file(PackageDir() + "/QLN2STAT.EXE", alone + "/QLN2STAT.EXE");
  const Report r = Status({}, alone);
  EXPECT_EQ(r.exit_code, installed.exit_code);
  EXPECT_EQ(r.json.at("current"), "true");
  EXPECT_EQ(r.json.at("package/none"), "true");
  EXPECT_EQ(r.json.at("package/lacks"), "null");
  EXPECT_NE(r.text.find("no package here: current means this program's version, " + kVersion),
            std::string::npos)
      << r.text;

  // Beside a package without TELMXW.DLL, SETUP.EXE stops at staging, as
  // the report says it would.
  const std::string broken = FreshWorkDir("status-broken") + "/pkg";
  fs::copy(PackageDir(), broken, fs::copy_options::recursive);
  fs::remove(broken + "/TELMXW.DLL");
  const Report b = Status({}, broken);
  EXPECT_EQ(b.exit_code, installed.exit_code);
  EXPECT_EQ(b.json.at("package/lacks"), "\"TELMXW.DLL\"");
  EXPECT_EQ(b.json.at("adapter/setupExitCode"), "2");
  EXPECT_NE(b.text.find("SETUP.EXE would end with 2: the package lacks TELMXW.DLL"),
            std::string::npos)
      << b.text;
  EXPECT_EQ(RunWine(broken + "/SETUP.EXE", {.args = {"/Q"}}).exit_code, 2);
  ExpectLastRun(Status(), 2);
}

TEST_F(StatusProgram, ARunInProgressIsSeenWithoutWaitingForIt) {
  {
    const Held other_run("hold_mutex", {"run"});
    const Report r = Status();
    EXPECT_EQ(r.json.at("runInProgress"), "true");
    EXPECT_NE(r.text.find("\r\nRun in progress   yes\r\n"), std::string::npos) << r.text;
  }
  {
    // An object of the lock's name that an ordinary user made is no run's.
    const Held squatter("hold_mutex", {"squat"});
    EXPECT_EQ(Status().json.at("runInProgress"), "false");
  }
  EXPECT_EQ(Status().json.at("runInProgress"), "false");
}

// A package directory is reported as Windows names it, in UTF-8, and read
// where SETUP.EXE reads it: by its short name where the ANSI code page cannot
// name it (Wine gives every directory one), so that the installed server is
// current against it.
TEST_F(StatusProgram, PackageDirectoriesBeyondAscii) {
  ASSERT_EQ(Setup({"-FU", "/Q"}).exit_code, 0);
  // Wine reads Unix file names in the locale's character set: UTF-8 here.
  // C.UTF-8 is in every glibc and gives code page 1252; a Japanese locale,
  // which gives 932, is made for the test, since the machine need not have it.
  const std::string locales = FreshWorkDir("status-locales");
  const std::string japanese = locales + "/ja_JP.UTF-8";
  std::string made;
  ASSERT_EQ(RunCommand({"localedef", "-i", "ja_JP", "-f", "UTF-8", japanese}, &made), 0) << made;
  const struct {
    const char* name;
    std::map<std::string, std::string> env;
  } cases[] = {
      {"pkg-\xc3\xa9t\xc3\xa9", {{"LC_ALL", "C.UTF-8"}}},  // in code page 1252
      // Not in it: Пакет\Quillon.
      {"\xd0\x9f\xd0\xb0\xd0\xba\xd0\xb5\xd1\x82/Quillon", {{"LC_ALL", "C.UTF-8"}}},
      // Not in 932: Société\pkg.
      {"Soci\xc3\xa9t\xc3\xa9/pkg", {{"LC_ALL", "ja_JP.UTF-8"}, {"LOCPATH", locales}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = FreshWorkDir("status-package") + "/" + c.name;
    fs::create_directories(dir);
    fs::copy(PackageDir(), dir, fs::copy_options::recursive);
    const std::string before = MachineState(c.env);
    const RunResult run = RunWine(dir + "/QLN2STAT.EXE", {.args = {"/JSON"}, .env = c.env});
    EXPECT_TRUE(MachineState(c.env) == before);
    std::map<std::string, std::string> json = testing::ParseJson(run.out);
    EXPECT_EQ(json["package/directory"], Quoted(WindowsPath(dir)));
    EXPECT_EQ(json["package/version"], Quoted(kVersion));
    EXPECT_EQ(json["package/unusable"], "null");
    EXPECT_EQ(json["faults"], "[]");
    EXPECT_EQ(json["current"], "true");
    EXPECT_EQ(run.exit_code, 0);
  }
}

}  // namespace
}  // namespace qsetup::e2e
