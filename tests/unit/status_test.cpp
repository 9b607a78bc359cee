// QLN2STAT.EXE on a machine of fakes: what it reports, set against what
// SETUP.EXE then does on the same machine, and that it changes nothing.
#include "status/status.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driver/setup.h"
#include "fakes/fake_machine.h"
#include "status/json_writer.h"
#include "support/json_parse.h"

namespace qsetup {
namespace {

using testing::FakeKey;
using testing::ParseJson;
using testing::ParseJsonDocuments;

constexpr char kSystem[] = "C:\\WINDOWS\\system32\\";
constexpr char kStaging[] = "C:\\WINDOWS\\system32\\drivers\\qln2\\";
constexpr char kServices[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr char kRecord[] = "SOFTWARE\\Orvane\\Quillon 2 Setup\\RebootRequired";
constexpr char kProduct[] = "SOFTWARE\\Orvane\\Quillon 2 Setup";
constexpr char kVersion[] = "2.1.0";
const char* const kPackageFiles[] = {"SETUP.EXE",   "TELMXW.DLL",   "TELMXREM.EXE", "TELMXSVC.EXE",
                                     "ENGLISH.NLS", "JAPANESE.NLS", "QLN2STAT.EXE"};
const char* const kInstalledFiles[] = {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"};
constexpr std::uint64_t kMinute = 60 * 10'000'000;
constexpr std::uint64_t kStarted = 133'000'000'000'000'000;  // the system's start, as a FILETIME
// C:\Пакет\QLN2STAT.EXE, whose letters code page 1252 lacks.
constexpr char16_t kCyrillicStatus[] = u"C:\\\u041F\u0430\u043A\u0435\u0442\\QLN2STAT.EXE";

std::string Stamped(const std::string& version, const std::string& body) {
  return "!@#$" + version + "$#@!" + body;
}

// Every key below `key`, with its values, as lines.
void DumpKeys(const FakeKey& key, const std::string& path, std::set<std::string>& out) {
  for (const auto& sub : key.subkeys) {
    const std::string sub_path = path + "\\" + sub->name;
    out.insert(sub_path + (sub->volatile_key ? " (volatile)" : ""));
    for (const auto& [name, value] : sub->values) {
      out.insert(sub_path + " " + name + "=" + value.text + "/" + std::to_string(value.number));
    }
    DumpKeys(*sub, sub_path, out);
  }
}

// The machine: every subsystem's fake, shared by SETUP.EXE and the report.
// The package lies in C:\Pkg; the service tool, once installed, registers
// QLN2Svc as the package's tool does.
struct Machine : testing::FakeMachine {
  Machine() {
    deploy.AddDirectory("C:\\Pkg");
    for (const char* file : kPackageFiles) {
      deploy.AddFile(std::string("C:\\Pkg\\") + file, Stamped(kVersion, file));
    }
    replace.AddKey(std::string(kServices) + "Tcpip");
    replace.AddKey("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application");
    replace.AddKey("SOFTWARE\\Microsoft");
    replace.tools[std::string(kSystem) + "telmxsvc.exe"].effect = [this](const std::string& line) {
      const std::string program = line.substr(0, line.find(' '));
      if (line.ends_with(" -install -QLN2")) {
        RegisterService(program + " -service");
      } else if (line.ends_with(" -remove")) {
        std::erase_if(replace.FindKey(kServices)->subkeys,
                      [](const auto& key) { return key->name == "QLN2Svc"; });
        status.services.erase("QLN2Svc");
      }
    };
  }

  void RegisterService(const std::string& image_path) {
    replace.AddKey(std::string(kServices) + "QLN2Svc").values["imagepath"] = {
        RegistryValue::Type::kExpandString, image_path};
    status.services["QLN2Svc"] = {ServiceState::kStopped, kErrorSuccess};
  }
  void AddDevice(const std::string& id) { detect.devices.push_back({testing::MultiSz({id}), 0}); }
  void AddLegacyKeys() {
    for (const char* key : {"vanwdgsv\\Enum", "vanwdgex_helper"}) {
      replace.AddKey(kServices + std::string(key));
    }
  }
  // What an ended run leaves: a record, which holds the system's start as
  // an earlier version took it from the clock, `age` minutes before the
  // start as the clock tells it now (positive: the clock was set ahead).
  void RecordRestart(int age = -1) {
    FakeKey& record = replace.AddKey(kRecord);
    record.volatile_key = true;
    record.values["systemstarttime"] = {RegistryValue::Type::kQword, {}, kStarted - kMinute * age};
  }
  // The package installed, as SETUP.EXE leaves it.
  void Install(const std::string& version = kVersion) {
    deploy.AddDirectory(kStaging);
    for (const char* file : kPackageFiles) {
      if (std::string(file) != "QLN2STAT.EXE") {
        deploy.AddFile(std::string(kStaging) + file, Stamped(version, file));
      }
    }
    for (const char* file : kInstalledFiles) {
      deploy.AddFile(std::string(kSystem) + file, Stamped(version, file));
    }
    RegisterService("\"C:\\WINDOWS\\system32\\telmxsvc.exe\" -service");
  }

  // Where both programs are started from: the directory of their command
  // paths, which the ANSI code page gives them.
  std::string package_dir = "C:\\Pkg\\";

  StatusReport Survey(bool skip_hid = false) {
    return SurveyMachine(report, (package_dir + "QLN2STAT.EXE").c_str(), skip_hid);
  }

  int Status(std::vector<std::string> args) { return Run(args, "QLN2STAT.EXE", true); }
  int Setup(std::vector<std::string> args) { return Run(args, "SETUP.EXE", false); }

  // What the report must leave as it was.
  struct State {
    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    std::set<std::string> keys;
  };
  State Snapshot() const {
    State state;
    for (const auto& [key, file] : deploy.files) state.files[key] = file.data;
    state.directories = deploy.directories;
    DumpKeys(replace.local_machine, "HKLM", state.keys);
    return state;
  }
  // The report wrote nothing, started nothing and left nothing open.
  void ExpectUntouched(const State& before) const {
    const State after = Snapshot();
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.directories, before.directories);
    EXPECT_EQ(after.keys, before.keys);
    EXPECT_EQ(replace.writes, std::vector<std::string>{}) << "the registry was asked to change";
    for (const std::string& event : replace.events) {
      EXPECT_FALSE(event.starts_with("start ")) << event;
    }
    EXPECT_EQ(event_log.events.size(), 0u);
    EXPECT_EQ(driver.locks_held, 0);
    EXPECT_EQ(console.out, "");  // detection traced nothing
    EXPECT_EQ(console.open_calls, 0);
    EXPECT_EQ(replace.open_keys, 0);
    EXPECT_EQ(status.open_files, 0);
    EXPECT_EQ(detect.live_objects, 0);
  }

 private:
  int Run(std::vector<std::string> args, const char* program, bool report_program) {
    args.insert(args.begin(), package_dir + program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    const int argc = static_cast<int>(argv.size());
    return report_program ? StatusMain(argc, argv.data(), report)
                          : SetupMain(argc, argv.data(), setup);
  }
};

// Each row of the decision: what the report says that SETUP.EXE would do,
// then what SETUP.EXE does on the same machine; and after an installation,
// that the report finds it current.
TEST(StatusDecision, EachRowIsReportedAsSetupDecidesIt) {
  struct Row {
    const char* name;
    std::function<void(Machine&)> prepare;
    bool skip_hid;
    Route route;
    int setup_exit_code;
    WinError package_error = kErrorSuccess;  // why SETUP.EXE cannot use the package directory
    const char* lacks = nullptr;             // the package file that staging lacks
  };
  const Row rows[] = {
      {"no adapter", [](Machine&) {}, false, Route::kHardwareIdScan, 8},
      {"no adapter, /H", [](Machine&) {}, true, Route::kHardwareIdScan, 8},
      {"adapter over HID", [](Machine& m) { m.AttachHidAdapter(); }, false, Route::kHidProbe, 0},
      {"adapter over HID, legacy service keys",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.AddLegacyKeys();
       },
       false, Route::kHidProbe, 1},
      {"adapter over HID, a legacy key too deep for the purge",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.replace.AddKey(std::string(kServices) + "vanwdgex_deep\\A\\B\\C");
       },
       false, Route::kHidProbe, 0},
      {"adapter over HID, a key name too long to read, then legacy keys",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.replace.AddKey(kServices + std::string(512, 'n'));
         m.AddLegacyKeys();
       },
       false, Route::kHidProbe, 1},
      {"adapter over HID, restart owed by an ended run",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.RecordRestart();
       },
       false, Route::kHidProbe, 1},
      // A clock set an hour ahead (a time correction, a virtual machine
      // restored from a saved state): only a start of Windows ends the record.
      {"adapter over HID, record from before a clock step",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.RecordRestart(60);
       },
       false, Route::kHidProbe, 1},
      // As this version makes it: owed, with nothing to fault.
      {"adapter over HID, record without a time",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.replace.AddKey(kRecord).volatile_key = true;
       },
       false, Route::kHidProbe, 1},
      // Whatever it holds.
      {"adapter over HID, record whose time is no QWORD",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.RecordRestart(60);
         m.replace.FindKey(kRecord)->values["systemstarttime"].type = RegistryValue::Type::kDword;
       },
       false, Route::kHidProbe, 1},
      {"adapter over HID, /H", [](Machine& m) { m.AttachHidAdapter(); }, true,
       Route::kHardwareIdScan, 8},
      {"adapter over HID and its id, /H",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.AddDevice("USB\\Vid_7a5c&Pid_4001&Rev_0100");
       },
       true, Route::kHardwareIdScan, 16},
      {"adapter without a working driver",
       [](Machine& m) { m.AddDevice("USB\\Vid_7a5c&Pid_4001&Rev_0100"); }, false,
       Route::kHardwareIdScan, 16},
      {"its other id, legacy service keys",
       [](Machine& m) {
         m.AddDevice("USB\\Vid_7a5c&Pid_4003");
         m.AddLegacyKeys();
       },
       false, Route::kHardwareIdScan, 16},
      {"adapter and management module",
       [](Machine& m) {
         m.AddDevice("USB\\Vid_7a5c&Pid_4001");
         m.AddDevice("USB\\Vid_7a5c&Pid_4004");
       },
       false, Route::kHardwareIdScan, 8},
      {"Taskel with the management module",
       [](Machine& m) {
         m.AddDevice("PCI\\VEN_1002&DEV_5159&SUBSYS_029A1F7D&REV_00");
         m.AddDevice("USB\\Vid_7a5c&Pid_4004");
       },
       false, Route::kHardwareIdScan, 16},
      {"unusable system directory",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.system.Set(std::string(260, 's'));
       },
       false, Route::kNone, 2},
      // SETUP.EXE ends before detection; the report still tells of the
      // adapter.
      {"package directory that the code page cannot name, without a short name",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.package_dir = "C:\\?????\\";
         m.source_dir.module = {kCyrillicStatus, false, ""};
       },
       false, Route::kHidProbe, 2, kErrorNoUnicodeTranslation},
      // Staging stops the run before anything is removed.
      {"package without TELMXW.DLL",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.deploy.files.erase(m.deploy.Key("C:\\Pkg\\TELMXW.DLL"));
       },
       false, Route::kHidProbe, 2, kErrorSuccess, "TELMXW.DLL"},
      {"package without its catalogs, no adapter",
       [](Machine& m) {
         m.deploy.files.erase(m.deploy.Key("C:\\Pkg\\ENGLISH.NLS"));
         m.deploy.files.erase(m.deploy.Key("C:\\Pkg\\JAPANESE.NLS"));
       },
       false, Route::kHardwareIdScan, 8, kErrorSuccess, "ENGLISH.NLS"},
      {"package directory longer than 255 characters",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.package_dir = "C:\\" + std::string(252, 'p') + "\\";
       },
       false, Route::kHidProbe, 2, kErrorFilenameExcedRange},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Machine m;
    row.prepare(m);
    const Machine::State before = m.Snapshot();
    const StatusReport report = m.Survey(row.skip_hid);
    m.ExpectUntouched(before);
    EXPECT_EQ(report.route, row.route);
    EXPECT_EQ(report.setup_exit_code, row.setup_exit_code);
    EXPECT_EQ(report.package_error, row.package_error);
    EXPECT_STREQ(report.package_lacks, row.lacks);
    // Only an unusable system directory is a failure to read here.
    EXPECT_EQ(report.faults.size(), row.route == Route::kNone ? 1u : 0u);
    EXPECT_EQ(report.hid_found.has_value(), !row.skip_hid && row.route != Route::kNone);
    EXPECT_EQ(report.scan_found.has_value(), row.route == Route::kHardwareIdScan);
    EXPECT_FALSE(report.current);
    EXPECT_EQ(report.exit_code, kStatusNotCurrent);

    const int setup_exit_code = m.Setup(row.skip_hid ? std::vector<std::string>{"/Q", "/H"}
                                                     : std::vector<std::string>{"/Q"});
    EXPECT_EQ(setup_exit_code, report.setup_exit_code) << "SETUP.EXE decided otherwise";
    // The run's record, where the run took the machine: its outcome is its
    // event's id.
    const StatusReport recorded = m.Survey(row.skip_hid);
    const std::string* run = recorded.last_run.fields;
    const bool held = row.route != Route::kNone && row.package_error == kErrorSuccess;
    EXPECT_EQ(run[kLastRunExitCode], held ? std::to_string(setup_exit_code) : "");
    EXPECT_EQ(run[kLastRunEventId], held ? std::to_string(setup_exit_code) : "");
    EXPECT_EQ(run[kLastRunTime], held ? "2026-12-08T10:24:29Z" : "");
    EXPECT_EQ(run[kLastRunVersion], held ? kVersion : "");
    if (setup_exit_code == 0 || setup_exit_code == 1 || setup_exit_code == 16) {
      m.replace.writes.clear();
      m.replace.events.clear();
      m.console.out.clear();
      m.event_log.events.clear();
      const Machine::State installed = m.Snapshot();
      const StatusReport after = m.Survey(row.skip_hid);
      m.ExpectUntouched(installed);
      EXPECT_TRUE(after.current);
      const bool owed = m.replace.FindKey(kRecord) != nullptr;
      EXPECT_EQ(after.restart_owed, owed);
      EXPECT_EQ(after.exit_code, owed ? kStatusCurrentRestartOwed : kStatusCurrent);
      for (const StampedFile& file : after.installed.files) {
        EXPECT_EQ(file.version, kVersion) << file.name;
      }
    }
  }
}

// The installed files and the service against the package, and the exit
// code that follows.
TEST(StatusReport, CurrentOnlyWithThePackagesFilesAndService) {
  struct Row {
    const char* name;
    std::function<void(Machine&)> change;  // of an installed machine
    bool current;
    int exit_code;
  };
  const auto install = [](const char* file, const std::string& data) {
    return [file, data](Machine& m) { m.deploy.AddFile(std::string(kSystem) + file, data); };
  };
  const Row rows[] = {
      {"installed", [](Machine&) {}, true, kStatusCurrent},
      {"installed, restart owed", [](Machine& m) { m.RecordRestart(); }, true,
       kStatusCurrentRestartOwed},
      {"installed, record from before a clock step", [](Machine& m) { m.RecordRestart(60); }, true,
       kStatusCurrentRestartOwed},
      // The installer's comparison: the value of the stamp's digits.
      {"the same value, written otherwise", install("TELMXW.DLL", Stamped("2.1.0.", "x")), true,
       kStatusCurrent},
      {"an older file", install("TELMXREM.EXE", Stamped("2.0.9", "x")), false, kStatusNotCurrent},
      {"a newer file", install("TELMXSVC.EXE", Stamped("2.2.0", "x")), false, kStatusNotCurrent},
      {"a file without a stamp", install("TELMXW.DLL", "no stamp"), false, kStatusNotCurrent},
      {"a file missing",
       [](Machine& m) { m.deploy.files.erase(m.deploy.Key(std::string(kSystem) + "TELMXW.DLL")); },
       false, kStatusNotCurrent},
      {"a file that cannot be read",
       [](Machine& m) {
         m.deploy.unreadable.insert(m.deploy.Key(std::string(kSystem) + "TELMXREM.EXE"));
       },
       false, kStatusNotCurrent},
      {"no service",
       [](Machine& m) {
         std::erase_if(m.replace.FindKey(kServices)->subkeys,
                       [](const auto& key) { return key->name == "QLN2Svc"; });
       },
       false, kStatusNotCurrent},
      {"the service runs another program",
       [](Machine& m) { m.RegisterService("\"C:\\Program Files\\Other\\telmxsvc.exe\" -service"); },
       false, kStatusNotCurrent},
      {"the service runs a program of a longer name",
       [](Machine& m) { m.RegisterService("C:\\WINDOWS\\system32\\telmxsvc.exe.old -service"); },
       false, kStatusNotCurrent},
      {"the service runs the tool, unquoted and in other letter case",
       [](Machine& m) { m.RegisterService("c:\\windows\\SYSTEM32\\TELMXSVC.EXE -service"); }, true,
       kStatusCurrent},
      {"the package's own files differ, the installed ones are its",
       [](Machine& m) { m.deploy.AddFile("C:\\Pkg\\TELMXW.DLL", Stamped("2.1.1", "x")); }, false,
       kStatusNotCurrent},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Machine m;
    m.Install();
    row.change(m);
    const Machine::State before = m.Snapshot();
    const int exit_code = m.Status({"/JSON"});
    m.ExpectUntouched(before);
    EXPECT_EQ(exit_code, row.exit_code);
    const StatusReport report = m.Survey();
    EXPECT_EQ(report.current, row.current);
    EXPECT_EQ(report.exit_code, row.exit_code);
  }
}

// The 32-bit program on 64-bit Windows: its files lie in SysWOW64, and the
// service must run the tool there.
TEST(StatusReport, TheThirtyTwoBitProgramOnSixtyFourBitWindows) {
  struct Row {
    const char* image_path;
    bool current;
  };
  const Row rows[] = {
      {"\"C:\\WINDOWS\\SysWOW64\\TELMXSVC.EXE\" -service", true},
      {"\"C:\\WINDOWS\\system32\\telmxsvc.exe\" -service", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.image_path);
    Machine m;
    m.system.wow64 = "C:\\WINDOWS\\SysWOW64";
    m.Install();
    m.RegisterService(row.image_path);
    const StatusReport report = m.Survey();
    EXPECT_EQ(report.system_dir, "C:\\WINDOWS\\SysWOW64");
    EXPECT_EQ(report.installed.directory, "C:\\WINDOWS\\SysWOW64");
    EXPECT_EQ(report.staged.directory, "C:\\WINDOWS\\SysWOW64\\drivers\\qln2");
    EXPECT_EQ(report.service_runs_system_tool, row.current);
    EXPECT_EQ(report.current, row.current);
  }
}

// Files in use: SETUP.EXE leaves them for the next start of Windows, and
// until then the report calls the server current, with the restart owed and
// the files that it completes; after it, current and owing nothing.
TEST(StatusReport, FilesInUseWaitForTheRestart) {
  // A program's image steps aside for the new file, which nothing then
  // waits for: only the old file's deletion does.
  const struct {
    const char* file;
    bool running;  // a program runs from it, rather than holding it open
    const char* line;
    const char* restart;
    const char* waiting;              // what the run's record says the restart completes
    const char* also_held = nullptr;  // a second file held open
  } cases[] = {
      {"TELMXW.DLL", false, "  TELMXW.DLL      2.0, and 2.1.0 at the next start of Windows\r\n",
       "Restart owed      yes: the next start of Windows completes TELMXW.DLL\r\n", "TELMXW.DLL"},
      {"TELMXSVC.EXE", true, "  TELMXSVC.EXE    2.1.0 (the package's)\r\n",
       "Restart owed      yes\r\n", "TELMXSVC.EXE"},
      {"TELMXREM.EXE", false, "  TELMXREM.EXE    2.0, and 2.1.0 at the next start of Windows\r\n",
       "Restart owed      yes: the next start of Windows completes TELMXW.DLL, TELMXREM.EXE\r\n",
       "TELMXW.DLL TELMXREM.EXE", "TELMXW.DLL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Machine m;
    m.AttachHidAdapter();
    m.Install("2.0");
    const std::string target = m.deploy.Key(std::string(kSystem) + c.file);
    (c.running ? m.deploy.running_images : m.deploy.locked).insert(target);
    if (c.also_held != nullptr) {
      m.deploy.locked.insert(m.deploy.Key(std::string(kSystem) + c.also_held));
    }
    ASSERT_EQ(m.Setup({"/Q"}), 1);
    m.console.out.clear();
    m.replace.writes.clear();
    ASSERT_EQ(m.Status({}), kStatusCurrentRestartOwed);
    EXPECT_NE(m.status.out.find(c.line), std::string::npos) << m.status.out;
    EXPECT_NE(m.status.out.find(c.restart), std::string::npos) << m.status.out;
    // The run's record names what waits.
    std::string waiting_text;
    for (std::string_view rest = c.waiting, file; !(file = NextWord(rest)).empty();) {
      waiting_text.append(waiting_text.empty() ? "" : ", ").append(file);
    }
    const std::string last_run = std::string("Last run          2026-12-08T10:24:29Z, SETUP.EXE ") +
                                 kVersion +
                                 ": exit code 1, event 1; the next start of Windows "
                                 "completes " +
                                 waiting_text + "\r\n";
    EXPECT_NE(m.status.out.find(last_run), std::string::npos) << m.status.out;

    // A second run before the restart, from a newer package: the newer file
    // is the one that the restart puts in place.
    for (const char* file : kPackageFiles) {
      m.deploy.AddFile(std::string("C:\\Pkg\\") + file, Stamped("2.2.0", file));
    }
    ASSERT_EQ(m.Setup({"/Q"}), 1);
    m.deploy.Restart();
    m.replace.Restart();
    for (const char* file : kInstalledFiles) {
      EXPECT_EQ(m.deploy.File(std::string(kSystem) + file).data, Stamped("2.2.0", file)) << file;
    }
    // The second run's record outlives the restart.
    const StatusReport restarted = m.Survey();
    EXPECT_EQ(restarted.last_run.fields[kLastRunExitCode], "1");
    // Back to the report's own package.
    for (const char* file : kPackageFiles) {
      m.deploy.AddFile(std::string("C:\\Pkg\\") + file, Stamped(kVersion, file));
    }
    ASSERT_EQ(m.Setup({"/Q"}), 0);
    const StatusReport after = m.Survey();
    EXPECT_TRUE(after.current);
    for (const StampedFile& file : after.installed.files)
      EXPECT_FALSE(file.at_restart) << file.name;
    EXPECT_EQ(after.last_run.fields[kLastRunExitCode], "0");
    EXPECT_EQ(after.last_run.fields[kLastRunAtRestart], "");
    EXPECT_EQ(after.exit_code, kStatusCurrent);
  }
}

// A program copied without its package, or beside one that lacks files:
// the server is set against the program's own version, and SETUP.EXE,
// where it is there, ends as staging's rule says.
TEST(StatusReport, AloneOrBesideABrokenPackage) {
  const auto without = [](std::vector<const char*> files) {
    return [files](Machine& m) {
      for (const char* file : files)
        m.deploy.files.erase(m.deploy.Key(std::string("C:\\Pkg\\") + file));
    };
  };
  const struct {
    const char* name;
    std::function<void(Machine&)> change;  // of an installed machine with the adapter
    std::string installed;                 // the version installed
    int exit_code;
    bool none;
    const char* lacks;
    int setup_exit_code;
    std::size_t faults;
  } rows[] = {
      {"alone",
       without({"SETUP.EXE", "TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE", "ENGLISH.NLS",
                "JAPANESE.NLS"}),
       kVersion, kStatusCurrent, true, nullptr, 0, 0},
      {"alone, older software installed",
       without({"SETUP.EXE", "TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE", "ENGLISH.NLS",
                "JAPANESE.NLS"}),
       "2.0.0", kStatusNotCurrent, true, nullptr, 0, 0},
      {"beside a package without TELMXW.DLL", without({"TELMXW.DLL"}), kVersion, kStatusCurrent,
       false, "TELMXW.DLL", 2, 0},
      {"beside a package whose TELMXW.DLL cannot be read",
       [](Machine& m) { m.deploy.unreadable.insert(m.deploy.Key("C:\\Pkg\\TELMXW.DLL")); },
       kVersion, kStatusCurrent, false, "TELMXW.DLL", 2, 1},
      {"beside a package without JAPANESE.NLS", without({"JAPANESE.NLS"}), kVersion, kStatusCurrent,
       false, "JAPANESE.NLS", 2, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Machine m;
    m.Install(row.installed);
    m.AttachHidAdapter();
    row.change(m);
    const StatusReport report = m.Survey();
    EXPECT_EQ(report.exit_code, row.exit_code);
    EXPECT_EQ(report.package_none, row.none);
    EXPECT_STREQ(report.package_lacks, row.lacks);
    EXPECT_EQ(report.setup_exit_code, row.setup_exit_code);
    EXPECT_EQ(report.faults.size(), row.faults);
    const std::string text = ReportText(report);
    EXPECT_EQ(text.find("no package here: current means this program's version, 2.1.0") !=
                  std::string::npos,
              row.none);
    if (row.lacks != nullptr) {
      EXPECT_NE(text.find("SETUP.EXE would end with 2: the package lacks " +
                          std::string(row.lacks) + ", or it cannot be read"),
                std::string::npos)
          << text;
      EXPECT_EQ(m.Setup({"/Q"}), 2) << "SETUP.EXE decided otherwise";
    }
  }
}

// The older software by the purge's own rule, and the run lock.
TEST(StatusReport, OlderSoftwareAndTheRunLock) {
  Machine m;
  m.deploy.AddFile(std::string(kSystem) + "vanwdgsv.exe", "the legacy tool");
  for (const char* key :
       {"vanwdgsv", "x_vanwdgex_y\\Enum", "VANWDGSV", "vanwdg", "vanwdgex_deep\\A\\B\\C"}) {
    m.replace.AddKey(kServices + std::string(key));
  }
  m.replace.AddKey(std::string(kServices) + "vanwdgsv_denied").openable = false;
  StatusReport report = m.Survey();
  EXPECT_EQ(report.legacy_tool, true);
  EXPECT_EQ(report.legacy_service_keys, 2);       // names in this letter case only
  EXPECT_EQ(report.legacy_service_keys_kept, 2);  // too deep, and no rights

  const struct {
    RunLockPresence presence;
    std::optional<bool> in_progress;
    std::size_t faults;
  } locks[] = {
      {RunLockPresence::kNone, false, 0},
      {RunLockPresence::kRun, true, 0},
      {RunLockPresence::kForeign, false, 0},  // not a run's lock: SETUP.EXE ignores it too
      {RunLockPresence::kUnknown, std::nullopt, 1},
  };
  for (const auto& lock : locks) {
    SCOPED_TRACE(static_cast<int>(lock.presence));
    m.status.run_lock = {lock.presence, kErrorAccessDenied};
    report = m.Survey();
    EXPECT_EQ(report.run_in_progress, lock.in_progress);
    EXPECT_EQ(report.faults.size(), lock.faults);
  }
}

// From a console that is not elevated, Administrators is a group for denial
// only: the keys refuse the report what they give SETUP.EXE. Each key's fate
// that rests on that is unknown, and so is an exit code that rests on it;
// SETUP.EXE, elevated, then decides as the elevated report foretold.
TEST(StatusReport, NotElevatedItForetellsOnlyWhatItCanKnow) {
  struct Row {
    const char* name;
    std::function<void(Machine&)> prepare;
    std::optional<int> setup_exit_code;  // as the report foretells it without elevation
    std::size_t unknown_keys;
  };
  const Row rows[] = {
      {"legacy keys",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.AddLegacyKeys();
       },
       std::nullopt, 2},
      {"no legacy keys", [](Machine& m) { m.AttachHidAdapter(); }, 0, 0},
      {"legacy keys, a restart owed",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.AddLegacyKeys();
         m.RecordRestart();
       },
       1, 2},
      {"legacy keys on the scan route",
       [](Machine& m) {
         m.AddDevice("USB\\Vid_7a5c&Pid_4001");
         m.AddLegacyKeys();
       },
       16, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Machine m;
    row.prepare(m);
    m.replace.filtered_token = true;
    const StatusReport report = m.Survey();
    EXPECT_EQ(report.elevated, false);
    EXPECT_EQ(report.setup_exit_code, row.setup_exit_code);
    EXPECT_EQ(report.legacy_service_keys, 0);
    ASSERT_EQ(report.faults.size(), row.unknown_keys);
    for (const StatusFault& fault : report.faults) {
      EXPECT_STREQ(fault.operation,
                   "tell without elevation whether SETUP.EXE can delete the registry key");
      EXPECT_EQ(fault.error, kErrorElevationRequired);
    }
    m.Status({});
    EXPECT_EQ(m.status.out.find("SETUP.EXE would end with") == std::string::npos,
              !row.setup_exit_code)
        << m.status.out;
    m.status.out.clear();
    m.Status({"/JSON"});
    EXPECT_EQ(ParseJson(m.status.out).at("elevated"), "false");

    m.replace.filtered_token = false;
    const StatusReport elevated = m.Survey();
    ASSERT_TRUE(elevated.setup_exit_code);
    if (row.setup_exit_code) {
      EXPECT_EQ(elevated.setup_exit_code, row.setup_exit_code);
    }
    EXPECT_EQ(m.Setup({"/Q"}), *elevated.setup_exit_code);
  }
}

// The package directory as Windows names it, and the package where
// SETUP.EXE would find it: by the short name of a directory that the ANSI
// code page cannot name, nowhere when it has none.
TEST(StatusReport, ThePackageWhereSetupFindsIt) {
  const std::string cyrillic = "C:\\\xd0\x9f\xd0\xb0\xd0\xba\xd0\xb5\xd1\x82";  // UTF-8
  const struct {
    const char* name;
    const char* command_dir;  // what the code page made of it
    ModulePath module;
    std::string directory;
    bool read;  // the package's files were read
    const char* fault;
  } cases[] = {
      // Its short name, under which the fake's files lie.
      {"a directory that the code page names by its short name",
       "C:\\?????\\",
       {kCyrillicStatus, false, "C:\\Pkg\\QLN2STAT.EXE"},
       cyrillic,
       true,
       nullptr},
      {"one that has none", "C:\\?????\\", {kCyrillicStatus, false, ""}, cyrillic, false, nullptr},
      // The command path names it still.
      {"the program's path unread",
       "C:\\Pkg\\",
       {{}, false, {}, kErrorAccessDenied},
       "",
       true,
       "find the program's directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.Install();
    m.package_dir = c.command_dir;
    m.source_dir.module = c.module;
    const StatusReport report = m.Survey();
    EXPECT_EQ(report.package.directory, c.directory);
    EXPECT_EQ(report.package.version, c.read ? std::optional<std::string>(kVersion) : std::nullopt);
    // Files that cannot be read are set against the program's own version.
    EXPECT_TRUE(report.current);
    ASSERT_EQ(report.faults.size(), c.fault != nullptr ? 1u : 0u);
    if (c.fault != nullptr) {
      EXPECT_STREQ(report.faults[0].operation, c.fault);
    }
  }
}

TEST(StatusMain, SwitchesAndWhatCannotBeReported) {
  struct Row {
    std::vector<std::string> args;
    int exit_code;
    bool json;
    bool probe;
    std::string err;
  };
  const Row rows[] = {
      {{}, kStatusNotCurrent, false, true, ""},
      {{"/JSON"}, kStatusNotCurrent, true, true, ""},
      {{"-json", "/h"}, kStatusNotCurrent, true, false, ""},
      {{"-H"}, kStatusNotCurrent, false, false, ""},
      {{"/JSON", "/Q"},
       kStatusNoReport,
       false,
       false,
       "QLN2STAT.EXE: unknown argument \"/Q\"; the arguments are /JSON and /H.\r\n"},
      {{"/JSONX"},
       kStatusNoReport,
       false,
       false,
       "QLN2STAT.EXE: unknown argument \"/JSONX\"; the arguments are /JSON and /H.\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    Machine m;
    EXPECT_EQ(m.Status(row.args), row.exit_code);
    EXPECT_EQ(m.status.err, row.err);
    EXPECT_EQ(m.detect.hid_sets_opened, row.probe ? 1 : 0);
    if (row.exit_code == kStatusNoReport) {
      EXPECT_EQ(m.status.out, "");
      EXPECT_EQ(m.detect.device_sets_opened, 0);  // nothing was looked at
    } else {
      EXPECT_EQ(m.status.out.starts_with("{\"schema\":1,"), row.json) << m.status.out;
      EXPECT_TRUE(m.status.out.ends_with("\r\n"));
    }
  }

  // Standard output that cannot be written: no report, and standard error
  // says so.
  Machine m;
  m.status.out_broken = true;
  EXPECT_EQ(m.Status({"/JSON"}), kStatusNoReport);
  EXPECT_EQ(m.status.err, "QLN2STAT.EXE: the report could not be written to standard output.\r\n");
}

// The report for a person, byte for byte, on a machine with something of
// everything.
TEST(StatusReport, TextForAPerson) {
  Machine m;
  m.Install();
  m.deploy.AddFile(std::string(kSystem) + "TELMXW.DLL", "");  // empty: no stamp, no fault
  m.deploy.unreadable.insert(m.deploy.Key(std::string(kSystem) + "TELMXREM.EXE"));
  m.deploy.files.erase(m.deploy.Key(std::string(kSystem) + "TELMXSVC.EXE"));
  // Staged files of mixed versions share none.
  m.deploy.AddFile(std::string(kStaging) + "TELMXW.DLL", Stamped("2.2.0", "x"));
  m.deploy.AddFile(std::string(kStaging) + "TELMXREM.EXE", Stamped("2.0.9", "x"));
  m.deploy.AddFile(std::string(kSystem) + "vanwdgsv.exe", "the legacy tool");
  m.AddLegacyKeys();
  m.RecordRestart();
  m.AddDevice("USB\\Vid_7a5c&Pid_4001&Rev_0100");
  m.status.run_lock = {RunLockPresence::kUnknown, kErrorAccessDenied};
  m.status.services["QLN2Svc"] = {ServiceState::kRunning, kErrorSuccess};
  m.replace.AddKey(kProduct).values["lastrun"] = {RegistryValue::Type::kString,
                                                  "1 1 2026-12-08T10:24:29Z 2.1.0 TELMXW.DLL"};
  EXPECT_EQ(m.Status({}), kStatusNotCurrent);
  EXPECT_EQ(m.status.out,
            "QLN2STAT.EXE 2.1.0: Orvane Quillon 2 software on this server\r\n"
            "\r\n"
            "Package           C:\\Pkg, version 2.1.0\r\n"
            "Adapter           found by the hardware-id scan, without a working USB driver; "
            "SETUP.EXE would end with 16\r\n"
            "Installed         C:\\WINDOWS\\system32\r\n"
            "  TELMXW.DLL      no version stamp\r\n"
            "  TELMXREM.EXE    could not be read\r\n"
            "  TELMXSVC.EXE    none\r\n"
            "Staged            C:\\WINDOWS\\system32\\drivers\\qln2\r\n"
            "  SETUP.EXE       2.1.0 (the package's)\r\n"
            "  TELMXW.DLL      2.2.0 (newer than the package's 2.1.0)\r\n"
            "  TELMXREM.EXE    2.0.9 (older than the package's 2.1.0)\r\n"
            "  TELMXSVC.EXE    2.1.0 (the package's)\r\n"
            "  ENGLISH.NLS     2.1.0 (the package's)\r\n"
            "  JAPANESE.NLS    2.1.0 (the package's)\r\n"
            "Service QLN2Svc   registered, running, runs \"C:\\WINDOWS\\system32\\telmxsvc.exe\" "
            "-service\r\n"
            "Older software    legacy tool present, legacy service keys: 2\r\n"
            "Restart owed      yes\r\n"
            "Run in progress   unknown\r\n"
            "Last run          2026-12-08T10:24:29Z, SETUP.EXE 2.1.0: exit code 1, event 1; the "
            "next start of Windows completes TELMXW.DLL\r\n"
            "Current           no: not installed, older or incomplete (exit code 3)\r\n"
            "\r\n"
            "Could not open C:\\WINDOWS\\system32\\TELMXREM.EXE: Windows error 5.\r\n"
            "Could not look for the run lock: Windows error 5.\r\n");

  // Neither the system directory nor the package directory can be used.
  Machine broken;
  broken.system.Set(std::string(300, 's'));
  broken.package_dir = "C:\\?????\\";
  broken.source_dir.module = {kCyrillicStatus, false, ""};
  EXPECT_EQ(broken.Status({}), kStatusNotCurrent);
  EXPECT_EQ(broken.status.out,
            "QLN2STAT.EXE 2.1.0: Orvane Quillon 2 software on this server\r\n"
            "\r\n"
            "Package           C:\\\xd0\x9f\xd0\xb0\xd0\xba\xd0\xb5\xd1\x82\r\n"
            "  SETUP.EXE       could not be read\r\n"
            "  TELMXW.DLL      could not be read\r\n"
            "  TELMXREM.EXE    could not be read\r\n"
            "  TELMXSVC.EXE    could not be read\r\n"
            "  ENGLISH.NLS     could not be read\r\n"
            "  JAPANESE.NLS    could not be read\r\n"
            "  QLN2STAT.EXE    could not be read\r\n"
            "Adapter           not looked for: the system directory is unusable; SETUP.EXE would "
            "end with 2: the package directory has no short name in the ANSI code page\r\n"
            "Installed         unknown: the system directory is unusable\r\n"
            "  TELMXW.DLL      could not be read\r\n"
            "  TELMXREM.EXE    could not be read\r\n"
            "  TELMXSVC.EXE    could not be read\r\n"
            "Staged            unknown\r\n"
            "  SETUP.EXE       could not be read\r\n"
            "  TELMXW.DLL      could not be read\r\n"
            "  TELMXREM.EXE    could not be read\r\n"
            "  TELMXSVC.EXE    could not be read\r\n"
            "  ENGLISH.NLS     could not be read\r\n"
            "  JAPANESE.NLS    could not be read\r\n"
            "Service QLN2Svc   not registered\r\n"
            "Older software    legacy tool unknown, legacy service keys: 0\r\n"
            "Restart owed      no\r\n"
            "Run in progress   no\r\n"
            "Last run          none recorded\r\n"
            "Current           no: not installed, older or incomplete (exit code 3)\r\n"
            "\r\n"
            "Could not read the system directory.\r\n");
}

// The JSON form, read by a real parser: every key of its schema and its
// value. Keys may be added within a schema, so others are not checked.
TEST(StatusReport, JsonForScripts) {
  Machine m;
  m.Install();
  m.deploy.AddFile(std::string(kSystem) + "TELMXREM.EXE", Stamped("2.0.9", "x"));
  m.AddLegacyKeys();
  m.AttachHidAdapter();
  m.status.run_lock = {RunLockPresence::kRun};
  // A directory in the ANSI code page, reported in UTF-8.
  m.package_dir = "C:\\Pakete\\\xe9t\xe9\\";
  m.source_dir.module = {u"C:\\Pakete\\\u00e9t\u00e9\\QLN2STAT.EXE", true, ""};
  for (const char* file : kPackageFiles) {
    m.deploy.AddFile(std::string("C:\\Pakete\\\xe9t\xe9\\") + file, Stamped(kVersion, file));
  }
  m.deploy.AddFile("C:\\Pakete\\\xe9t\xe9\\JAPANESE.NLS", "no stamp");
  m.deploy.unreadable.insert(m.deploy.Key(std::string(kStaging) + "ENGLISH.NLS"));
  m.replace.AddKey(kProduct).values["lastrun"] = {
      RegistryValue::Type::kString, "16 16 2026-12-08T10:24:29Z 2.1.0 TELMXW.DLL TELMXSVC.EXE"};
  EXPECT_EQ(m.Status({"/JSON"}), kStatusNotCurrent);
  for (const char c : m.status.out) {
    EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << "JSON beyond ASCII";
  }
  EXPECT_EQ(std::count(m.status.out.begin(), m.status.out.end(), '\n'), 1);
  const std::map<std::string, std::string> expected = {
      {"schema", "1"},
      {"package/directory", "\"C:\\\\Pakete\\\\\xc3\xa9t\xc3\xa9\""},
      {"package/version", "null"},
      {"package/files/SETUP.EXE", "\"2.1.0\""},
      {"package/files/TELMXW.DLL", "\"2.1.0\""},
      {"package/files/TELMXREM.EXE", "\"2.1.0\""},
      {"package/files/TELMXSVC.EXE", "\"2.1.0\""},
      {"package/files/ENGLISH.NLS", "\"2.1.0\""},
      {"package/files/JAPANESE.NLS", "null"},
      {"package/files/QLN2STAT.EXE", "\"2.1.0\""},
      {"package/unusable", "null"},
      {"package/none", "false"},
      {"package/lacks", "null"},
      {"adapter/route", "\"HID probe\""},
      {"adapter/hidProbe", "true"},
      {"adapter/scan", "null"},
      {"adapter/setupExitCode", "1"},
      {"systemDirectory", "\"C:\\\\WINDOWS\\\\system32\""},
      {"installed/TELMXW.DLL", "\"2.1.0\""},
      {"installed/TELMXREM.EXE", "\"2.0.9\""},
      {"installed/TELMXSVC.EXE", "\"2.1.0\""},
      {"staged/directory", "\"C:\\\\WINDOWS\\\\system32\\\\drivers\\\\qln2\""},
      {"staged/version", "null"},
      {"staged/files/SETUP.EXE", "\"2.1.0\""},
      {"staged/files/TELMXW.DLL", "\"2.1.0\""},
      {"staged/files/TELMXREM.EXE", "\"2.1.0\""},
      {"staged/files/TELMXSVC.EXE", "\"2.1.0\""},
      {"staged/files/ENGLISH.NLS", "null"},
      {"staged/files/JAPANESE.NLS", "\"2.1.0\""},
      {"service/name", "\"QLN2Svc\""},
      {"service/registered", "true"},
      {"service/state", "\"stopped\""},
      {"service/imagePath", "\"\\\"C:\\\\WINDOWS\\\\system32\\\\telmxsvc.exe\\\" -service\""},
      {"service/runsSystemTool", "true"},
      {"legacy/tool", "false"},
      {"legacy/serviceKeys", "2"},
      {"legacy/keptServiceKeys", "0"},
      {"waitingForRestart", "[]"},
      {"restartOwed", "false"},
      {"runInProgress", "true"},
      {"elevated", "true"},
      {"lastRun/exitCode", "16"},
      {"lastRun/eventId", "16"},
      {"lastRun/time", "\"2026-12-08T10:24:29Z\""},
      {"lastRun/version", "\"2.1.0\""},
      {"lastRun/waitingForRestart/0", "\"TELMXW.DLL\""},
      {"lastRun/waitingForRestart/1", "\"TELMXSVC.EXE\""},
      {"current", "false"},
      {"exitCode", "3"},
      {"faults/0/operation", "\"open\""},
      {"faults/0/subject", "\"C:\\\\WINDOWS\\\\system32\\\\drivers\\\\qln2\\\\ENGLISH.NLS\""},
      {"faults/0/windowsError", "5"},
  };
  const std::map<std::string, std::string> parsed = ParseJson(m.status.out);
  for (const auto& [key, value] : expected) {
    const auto found = parsed.find(key);
    ASSERT_NE(found, parsed.end()) << key << " is missing: " << m.status.out;
    EXPECT_EQ(found->second, value) << key;
  }
}

// The last run's record as the report reads it: SETUP.EXE's form, or a
// fault and nothing shown.
TEST(StatusReport, TheLastRunsRecord) {
  const struct {
    std::optional<RegistryValue> value;
    std::vector<std::string> fields;  // empty: none shown
    WinError error;
    const char* json;  // the member lastRun
  } rows[] = {
      {std::nullopt, {}, kErrorSuccess, "null"},
      {RegistryValue{RegistryValue::Type::kString, "0 0 2026-12-08T10:24:29Z 2.1.0"},
       {"0", "0", "2026-12-08T10:24:29Z", "2.1.0", ""},
       kErrorSuccess,
       "{\"exitCode\":0,\"eventId\":0,\"time\":\"2026-12-08T10:24:29Z\",\"version\":\"2.1.0\","
       "\"waitingForRestart\":[]}"},
      {RegistryValue{RegistryValue::Type::kString, " 1  1 T 2.1.0  A.DLL   B.EXE  "},
       {"1", "1", "T", "2.1.0", "A.DLL   B.EXE"},
       kErrorSuccess,
       "{\"exitCode\":1,\"eventId\":1,\"time\":\"T\",\"version\":\"2.1.0\","
       "\"waitingForRestart\":[\"A.DLL\",\"B.EXE\"]}"},
      {RegistryValue{RegistryValue::Type::kString, "1 1 T"}, {}, kErrorInvalidData, "null"},
      {RegistryValue{RegistryValue::Type::kString, "1x 1 T 2.1.0"}, {}, kErrorInvalidData, "null"},
      {RegistryValue{RegistryValue::Type::kString, "1 -1 T 2.1.0"}, {}, kErrorInvalidData, "null"},
      {RegistryValue{RegistryValue::Type::kString, ""}, {}, kErrorInvalidData, "null"},
      {RegistryValue{RegistryValue::Type::kDword, {}, 1}, {}, kErrorInvalidData, "null"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value ? row.value->text : "none");
    Machine m;
    if (row.value) m.replace.AddKey(kProduct).values["lastrun"] = *row.value;
    const StatusReport report = m.Survey();
    for (int i = 0; i < kLastRunFields; ++i) {
      EXPECT_EQ(report.last_run.fields[i], row.fields.empty() ? "" : row.fields[i]) << i;
    }
    ASSERT_EQ(report.faults.size(), row.error != kErrorSuccess ? 1u : 0u);
    if (row.error != kErrorSuccess) {
      EXPECT_STREQ(report.faults[0].operation, "read the last run's record");
      EXPECT_EQ(report.faults[0].error, row.error);
    }
    const std::string json = ReportJson(report);
    EXPECT_NE(json.find(std::string("\"lastRun\":") + row.json + ",\"current\""), std::string::npos)
        << json;
  }
}

// `text` as the JSON writer writes a string, alone.
std::string JsonString(std::string_view text) {
  std::string out;
  JsonOut(out).String(nullptr, text);
  return out;
}

// Strings in JSON: escaped so that any parser reads the text back, in ASCII.
TEST(StatusJson, StringsAreReadBackAsTheyWere) {
  const struct {
    std::string text;
    // What the parser read, as Python's json.dumps writes it again (UTF-8,
    // quotes, backslashes and control characters but DEL escaped).
    std::string read_back;
  } rows[] = {
      {"", "\"\""},
      {"C:\\Pkg \"x\"", "\"C:\\\\Pkg \\\"x\\\"\""},
      {std::string("\x01\b\f\n\r\t\x1f\x7f", 8), "\"\\u0001\\b\\f\\n\\r\\t\\u001f\x7f\""},
      {std::string("a\0b", 3), "\"a\\u0000b\""},
      {"\xc3\xa9t\xc3\xa9", "\"\xc3\xa9t\xc3\xa9\""},                // two bytes
      {"\xe6\x97\xa5\xe6\x9c\xac", "\"\xe6\x97\xa5\xe6\x9c\xac\""},  // three
      {"\xf0\x9f\x93\x81 dir", "\"\xf0\x9f\x93\x81 dir\""},          // four: a surrogate pair
      {"\xef\xbf\xbf\xf4\x8f\xbf\xbf", "\"\xef\xbf\xbf\xf4\x8f\xbf\xbf\""},  // U+FFFF, U+10FFFF
      // Not UTF-8: each byte that begins no well-formed sequence is U+FFFD.
      {"a\xe9z", "\"a\xef\xbf\xbdz\""},
      {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                  // overlong
      {"\xe0\x80\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // overlong, in three
      {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // a surrogate
      {"\xf4\x90\x80\x80",
       "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // beyond U+10FFFF
      {"\xe6\x97", "\"\xef\xbf\xbd\xef\xbf\xbd\""},              // cut short
      {"\xe6\x97x", "\"\xef\xbf\xbd\xef\xbf\xbdx\""},
  };
  // Beyond U+FFFF: a surrogate pair, as JSON writes one.
  EXPECT_EQ(JsonString("\xf0\x90\x80\x80"), "\"\\ud800\\udc00\"");
  std::vector<std::string> documents;
  for (const auto& row : rows) {
    const std::string quoted = JsonString(row.text);
    for (const char c : quoted) EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << quoted;
    documents.push_back("{\"s\":" + quoted + "}");
  }
  const auto parsed = ParseJsonDocuments(documents);
  ASSERT_EQ(parsed.size(), std::size(rows));
  for (std::size_t i = 0; i < parsed.size(); ++i) {
    SCOPED_TRACE(documents[i]);
    EXPECT_EQ(parsed[i], (std::map<std::string, std::string>{{"s", rows[i].read_back}}));
  }
}

}  // namespace
}  // namespace qsetup
