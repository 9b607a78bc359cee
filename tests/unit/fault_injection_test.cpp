// The whole installer on a machine of fakes whose operating system fails:
// each scenario runs once to record its operations, then once more for each
// of them with that one operation failing, and once for each of the
// program's own allocations with that allocation failing. After every run the
// machine must be in a state that an administrator can live with.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "catalog/messages.h"
#include "driver/setup.h"
#include "fakes/fake_machine.h"
#include "fakes/fault_plan.h"
#include "status/status.h"
#include "support/json_parse.h"

namespace {

// The program's own allocations are the ones that can fail without ending
// it: they ask for memory with std::nothrow. While armed, these replacements
// count them and fail the chosen one.
struct AllocationFaults {
  bool armed = false;
  std::size_t count = 0;
  std::size_t fail_at = 0;

  bool Fail() { return armed && ++count == fail_at; }
} g_allocations;

// Larger requests can only fail, and under AddressSanitizer the throwing
// operator new ends the program on them instead of throwing.
constexpr std::size_t kLargestAllocation = std::size_t{1} << 40;

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_allocations.Fail() || size > kLargestAllocation) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (g_allocations.Fail() || size > kLargestAllocation) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace qsetup {
namespace {

using testing::FaultPlan;

constexpr char kSystem[] = "C:\\WINDOWS\\system32\\";
constexpr char kStaging[] = "C:\\WINDOWS\\system32\\drivers\\qln2\\";
constexpr char kPackage[] = "C:\\Pkg\\";
constexpr char kServices[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr char kApplicationLog[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr char kEventSource[] = "Orvane Quillon 2 Setup";
constexpr char kProduct[] = "SOFTWARE\\Orvane\\Quillon 2 Setup";
constexpr char kEarlierRun[] = "2 2 2026-12-01T08:00:00Z 2.0";
const char* const kPackageFiles[] = {"SETUP.EXE",   "TELMXW.DLL",   "TELMXREM.EXE",  "TELMXSVC.EXE",
                                     "ENGLISH.NLS", "JAPANESE.NLS", kMessageFileName};
// An earlier version's message file in the staging directory.
const std::string kOlderMessages = std::string(kStaging) + "QLN2MSG-2.0.0.DLL";
const char* const kInstalledFiles[] = {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"};
const int kExitCodes[] = {0, 1, 2, 8, 16};
constexpr std::uint64_t kOneHour = 60ull * 60 * 10'000'000;  // in FILETIME units

std::string Stamped(const std::string& version, const std::string& body) {
  return "!@#$" + version + "$#@!" + body;
}

// The machine: every subsystem's fake, all failing as one plan says.
struct Machine : testing::FakeMachine {
  FaultPlan plan;

  Machine() {
    FailAsPlanned(plan);
    deploy.AddDirectory("C:\\Pkg");
    for (const char* file : kPackageFiles) {
      deploy.AddFile(std::string(kPackage) + file, Stamped("2.1", file));
    }
    deploy.AddFile(std::string(kPackage) + "QLN2STAT.EXE", Stamped("2.1", "QLN2STAT.EXE"));
    // The package's catalog of the system language, as the build makes it.
    std::string english(1, static_cast<char>(kMessageCount));
    for (int i = 0; i < kMessageCount; ++i) english.append(BuiltinMessages()[i]).push_back('\0');
    catalog.files.files["C:\\Pkg\\\\nls\\english.nls"].data = english;
    for (const char* service : {"Tcpip\\Parameters", "W32Time", "QLN2Svc"}) {
      replace.AddKey(kServices + std::string(service));
    }
    replace.AddKey("SOFTWARE\\Microsoft");
    replace.AddKey(kApplicationLog);
    // An earlier run's record, which a run replaces only at its end.
    replace.AddKey(kProduct).values["lastrun"] = {RegistryValue::Type::kString, kEarlierRun};
    // A device and a HID interface that are not the adapter.
    detect.devices.push_back({testing::MultiSz({"PCI\\VEN_8086&DEV_1234", "PCI\\CC_0600"}), 0});
    detect.hid_interfaces.push_back({"\\\\?\\hid#vid_046d&pid_c077", {0x046D, 0xC077}});
  }

  // The event source, registered with `file`.
  void RegisterMessageFile(const std::string& file) {
    replace.AddKey(std::string(kApplicationLog) + "\\" + kEventSource).values = {
        {"eventmessagefile", {RegistryValue::Type::kExpandString, file}},
        {"typessupported", {RegistryValue::Type::kDword, {}, 7}}};
  }

  // The service tool as a program in the system directory.
  void AddServiceTool() { replace.tools[std::string(kSystem) + "telmxsvc.exe"] = {}; }
};

struct Scenario {
  const char* name;
  std::vector<std::string> args;
  std::string command = "C:\\Pkg\\setup.exe";
  std::function<void(Machine&)> prepare;
  int clean_exit_code;
  // Installed files that may keep their newer content: the question about
  // them can end as no when its input fails.
  std::set<std::string> may_keep_newer = {};
  // Every run fails before it changes anything: a target that no restart can
  // take is found before the first removal.
  bool changes_nothing = false;
};

std::vector<Scenario> Scenarios() {
  return {
      {"HID route, fresh machine",
       {"/Q"},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) { m.AttachHidAdapter(); },
       0},
      {"HID route, older software and service keys",
       {"/Q"},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.deploy.AddFile(std::string(kSystem) + "vanwdgsv.exe", "the legacy tool");
         m.deploy.AddFile(std::string(kSystem) + "TELMXSVC.EXE", Stamped("1.0", "old tool"));
         m.deploy.AddFile(std::string(kSystem) + "TELMXW.DLL", Stamped("1.0", "old library"),
                          kAttributeReadOnly);
         m.replace.tools[std::string(kSystem) + "vanwdgsv.exe"] = {.running_polls = 2};
         m.AddServiceTool();
         m.deploy.AddDirectory(kStaging);
         m.deploy.AddFile(kOlderMessages, Stamped("2.0", "messages"));
         m.RegisterMessageFile(kOlderMessages);
         for (const char* key : {"vanwdgsv\\Enum", "vanwdgsv\\Security", "vanwdgex_helper"}) {
           m.replace.AddKey(kServices + std::string(key));
         }
       },
       1},
      {"scan route, adapter found",
       {"/Q"},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) {
         m.AttachUnconfiguredAdapter();
         m.replace.AddKey(kServices + std::string("vanwdgex\\Enum"));
         // The 32-bit package on 64-bit Windows, after the 64-bit one: the
         // event source is registered with the other staged copy.
         m.system.wow64 = "C:\\WINDOWS\\SysWOW64";
         m.RegisterMessageFile(std::string(kStaging) + "SETUP.EXE");
       },
       16},
      {"scan route, nothing found", {"/Q"}, "C:\\Pkg\\setup.exe", [](Machine&) {}, 8},
      {"forced run from the staging directory",
       {"-FU", "/Q"},
       "C:\\WINDOWS\\system32\\drivers\\qln2\\SETUP.EXE",
       [](Machine& m) {
         m.deploy.AddDirectory(kStaging);
         for (const char* file : kPackageFiles) {
           m.deploy.AddFile(std::string(kStaging) + file, Stamped("2.1", file));
         }
         m.catalog.files.files.clear();  // no catalog there: the built-in texts
         m.AddServiceTool();
       },
       0},
      // A library that a program holds open, and the service tool running
      // from its file: the next start of Windows completes both.
      {"files in use",
       {"/Q"},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) {
         m.AttachHidAdapter();
         for (const char* file : kInstalledFiles) {
           m.deploy.AddFile(std::string(kSystem) + file, Stamped("2.0", file));
         }
         m.deploy.locked.insert(m.deploy.Key(std::string(kSystem) + "TELMXW.DLL"));
         m.deploy.running_images.insert(m.deploy.Key(std::string(kSystem) + "TELMXSVC.EXE"));
         m.AddServiceTool();
         // The earlier version's message file, which a viewer holds loaded.
         m.deploy.AddDirectory(kStaging);
         m.deploy.AddFile(kOlderMessages, Stamped("2.0", "messages"));
         m.deploy.locked.insert(m.deploy.Key(kOlderMessages));
         m.RegisterMessageFile(kOlderMessages);
       },
       1},
      // Held with all sharing flags: a scanner lets go of the library after
      // one refused rename, a backup agent holds the remover until the
      // restart, an event viewer has the staged installer loaded; and the
      // staged service tool is held open, so that its new copy waits in the
      // staging directory, from where it is installed. Windows holds the
      // adapter's HID collection for itself.
      {"files held with all sharing flags",
       {"/Q"},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.detect.hid_interfaces.back().exclusive = true;
         for (const char* file : kInstalledFiles) {
           m.deploy.AddFile(std::string(kSystem) + file, Stamped("2.0", file));
         }
         m.deploy.AddDirectory(kStaging);
         for (const char* file : {"SETUP.EXE", "TELMXSVC.EXE"}) {
           m.deploy.AddFile(std::string(kStaging) + file, Stamped("2.0", file));
         }
         constexpr int kForever = testing::FakeDeployOs::kHeldUntilRestart;
         m.deploy.held[m.deploy.Key(std::string(kSystem) + "TELMXW.DLL")] = 1;
         m.deploy.held[m.deploy.Key(std::string(kSystem) + "TELMXREM.EXE")] = kForever;
         m.deploy.held[m.deploy.Key(std::string(kStaging) + "SETUP.EXE")] = kForever;
         m.deploy.locked.insert(m.deploy.Key(std::string(kStaging) + "TELMXSVC.EXE"));
         m.AddServiceTool();
       },
       1},
      // No restart can put a file where a directory stands: nothing is
      // removed.
      {"a directory in a target's place",
       {"/Q"},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.deploy.AddFile(std::string(kSystem) + "TELMXSVC.EXE", Stamped("2.0", "old tool"));
         m.deploy.AddDirectory(std::string(kSystem) + "TELMXREM.EXE");
         m.replace.tools[std::string(kSystem) + "vanwdgsv.exe"] = {};
         m.AddServiceTool();
         m.replace.AddKey(kServices + std::string("vanwdgsv\\Enum"));
       },
       2,
       {},
       true},
      {"overwrite question answered yes",
       {},
       "C:\\Pkg\\setup.exe",
       [](Machine& m) {
         m.AttachHidAdapter();
         m.deploy.AddFile(std::string(kSystem) + "TELMXREM.EXE", Stamped("9.0", "newer"));
         m.AddServiceTool();
         // Asked when the tools are refreshed and again when they are copied.
         m.console.in = "y\r\nyes\r\n";
         m.console.PressChar(' ');
       },
       0,
       std::set<std::string>{"TELMXREM.EXE"}},
  };
}

int RunSetup(Machine& m, const Scenario& s) {
  std::vector<std::string> args = s.args;
  args.insert(args.begin(), s.command);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return SetupMain(static_cast<int>(argv.size()), argv.data(), m.setup);
}

// Every key below `key`, as paths from HKEY_LOCAL_MACHINE.
void CollectKeys(const testing::FakeKey& key, const std::string& path, std::set<std::string>& out) {
  for (const auto& sub : key.subkeys) {
    const std::string sub_path = path.empty() ? sub->name : path + "\\" + sub->name;
    out.insert(sub_path);
    CollectKeys(*sub, sub_path, out);
  }
}

constexpr char kRestartRecord[] = "SOFTWARE\\Orvane\\Quillon 2 Setup\\RebootRequired";

bool RecordPresent(const Machine& m) {
  return const_cast<testing::FakeReplaceOs&>(m.replace).FindKey(kRestartRecord) != nullptr;
}

// True when the operation that failed worked on the restart record, whose
// failures may lose it or keep it longer than needed, and change nothing
// else.
bool RecordOperationFailed(const FaultPlan& plan) {
  const std::string& subject = plan.failed_subject();
  return subject == "SOFTWARE" || subject.find("Orvane\\Quillon 2 Setup") != std::string::npos ||
         subject == "RebootRequired";
}

// The last run's record as it is stored; empty when there is none.
std::string LastRunRecord(const Machine& m) {
  const testing::FakeKey* product =
      const_cast<testing::FakeReplaceOs&>(m.replace).FindKey(kProduct);
  if (product == nullptr || product->values.count("lastrun") == 0) return {};
  return product->values.at("lastrun").text;
}

// True when the operation that failed wrote the last run's record, which
// is then lost and changes nothing else.
bool LastRunOperationFailed(const FaultPlan& plan) {
  return plan.failed_subject() == "LastRun";
}

// True when the operation that failed wrote the run's event or registered
// its source, which may then be lost and change nothing else.
bool EventLogOperationFailed(const FaultPlan& plan) {
  const std::string& subject = plan.failed_subject();
  return subject == kApplicationLog || subject == kEventSource || subject == "EventMessageFile" ||
         subject.find(kMessageFilePrefix) != std::string::npos || subject == "TypesSupported" ||
         plan.failed_operation() == "ReportEvent" || plan.failed_operation() == "ErrorText" ||
         plan.failed_operation() == "ReadWow64Directory";
}

bool IsLegacyService(const std::string& path) {
  const std::string services(kServices);
  if (path.rfind(services, 0) != 0) return false;
  const std::string rest = path.substr(services.size());
  return rest.find('\\') == std::string::npos &&
         (rest.find("vanwdgsv") != std::string::npos || rest.find("vanwdgex") != std::string::npos);
}

bool IsBelowLegacyService(const std::string& path) {
  const std::string services(kServices);
  if (path.rfind(services, 0) != 0) return false;
  const std::string rest = path.substr(services.size());
  const std::size_t slash = rest.find('\\');
  return slash != std::string::npos && IsLegacyService(services + rest.substr(0, slash));
}

// What the machine looked like before a run.
struct Before {
  std::map<std::string, std::string> files;  // by FakeDeployOs::Key
  std::set<std::string> keys;
  std::set<std::string> directories;
  bool record = false;       // the restart record
  std::string message_file;  // that the event source names
};

// The message file that the event source names; empty when none.
std::string RegisteredMessageFile(const Machine& m) {
  const testing::FakeKey* source = const_cast<testing::FakeReplaceOs&>(m.replace).FindKey(
      std::string(kApplicationLog) + "\\" + kEventSource);
  if (source == nullptr) return {};
  const auto file = source->values.find("eventmessagefile");
  return file == source->values.end() ? std::string() : file->second.text;
}

Before Snapshot(const Machine& m) {
  Before before;
  before.record = RecordPresent(m);
  before.message_file = RegisteredMessageFile(m);
  for (const auto& [key, file] : m.deploy.files) before.files[key] = file.data;
  CollectKeys(m.replace.local_machine, "", before.keys);
  before.directories = m.deploy.directories;
  return before;
}

std::string FileName(const std::string& key) {
  return key.substr(key.rfind('\\') + 1);
}

// The files as the next start of Windows leaves them: what was left for it
// done, what fails of it dropped.
std::map<std::string, std::string> FilesAfterRestart(const Machine& m) {
  std::map<std::string, std::string> files;
  for (const auto& [key, file] : m.deploy.files) files[key] = file.data;
  for (const auto& [from, to] : m.deploy.at_restart) {
    const auto it = files.find(from);
    if (it == files.end()) continue;
    if (!to.empty()) files[to] = it->second;
    files.erase(from);
  }
  return files;
}

// True when the run started none of the tools.
bool NoToolStarted(const Machine& m) {
  return std::none_of(m.replace.events.begin(), m.replace.events.end(),
                      [](const std::string& event) { return event.rfind("start ", 0) == 0; });
}

// The invariants after a run that had one operation or allocation fail.
void CheckMachine(const Machine& m, const Scenario& s, const Before& before, int exit_code) {
  using testing::FakeDeployOs;
  EXPECT_NE(std::find(std::begin(kExitCodes), std::end(kExitCodes), exit_code),
            std::end(kExitCodes))
      << "exit code " << exit_code;

  // Nothing is left open.
  EXPECT_EQ(m.detect.live_objects, 0) << "device sets, devices or blocks";
  EXPECT_EQ(m.replace.open_keys, 0) << "registry keys";
  EXPECT_EQ(m.replace.open_tools, 0) << "tool processes";
  EXPECT_EQ(m.deploy.open_files, 0) << "files";
  EXPECT_EQ(m.catalog.files.open_files, 0) << "catalog files";
  EXPECT_EQ(m.driver.locks_held, 0) << "the run lock";
  EXPECT_EQ(m.deploy.unflushed_renames, 0) << "a copy took its target's name before it was on disk";

  // Every file is whole: its old content or, for what the run copies, the
  // new one; nothing that was there is gone; no pending copy is left, unless
  // the failure was the removal of that very copy.
  const std::string staging = m.deploy.Key(kStaging);
  const std::string system = m.deploy.Key(kSystem);
  const std::string source =
      EqualsIgnoringAsciiCase(s.command.substr(0, s.command.rfind('\\') + 1), kStaging)
          ? staging
          : m.deploy.Key(kPackage);
  const std::string failed_subject = m.deploy.Key(m.plan.failed_subject());
  // Left for the next start of Windows: a copy that waits for it, and a
  // program's image that the copy's file took the place of.
  std::set<std::string> left_for_restart;
  for (const auto& [from, to] : m.deploy.at_restart) left_for_restart.insert(from);
  for (const auto& [key, file] : m.deploy.files) {
    SCOPED_TRACE(key);
    if (key.find(".~qln2") != std::string::npos) {
      if (left_for_restart.count(key) != 0) continue;
      EXPECT_TRUE(key == failed_subject && (m.plan.failed_operation() == "RemoveFile" ||
                                            m.plan.failed_operation() == "SetAttributes"))
          << "a pending copy was left";
      continue;
    }
    const std::string folder = key.substr(0, key.rfind('\\'));
    const std::string name = FileName(key);
    std::set<std::string> allowed;
    if (const auto old = before.files.find(key); old != before.files.end()) {
      allowed.insert(old->second);
    }
    if (folder == staging || folder == system) {
      const auto fresh = before.files.find(source + "\\" + name);
      if (fresh != before.files.end()) allowed.insert(fresh->second);
    }
    EXPECT_EQ(allowed.count(file.data), 1u) << "content " << file.data;
  }
  // Only another version's message file may go, and only once the event
  // source names this version's, which is then in place; a file that the
  // source names is never replaced or removed. (The source names the staged
  // files by the path of 64-bit programs, the fake stages them in system32.)
  const std::string message_file = RegisteredMessageFile(m);
  const std::string own_messages = m.deploy.Key(std::string(kStaging) + kMessageFileName);
  const bool names_own =
      !message_file.empty() && FileName(m.deploy.Key(message_file)) == FileName(own_messages);
  if (message_file != before.message_file && !before.message_file.empty()) {
    EXPECT_TRUE(names_own) << message_file;
    const auto placed = m.deploy.files.find(own_messages);
    EXPECT_TRUE(placed != m.deploy.files.end() &&
                placed->second.data == before.files.at(source + "\\" + FileName(own_messages)))
        << "the event source was given a message file that is not in place";
  }
  if (message_file == before.message_file && !message_file.empty()) {
    const auto old = before.files.find(m.deploy.Key(message_file));
    if (old != before.files.end()) {
      EXPECT_EQ(m.deploy.files.count(old->first), 1u) << "the registered message file is gone";
      if (m.deploy.files.count(old->first) != 0) {
        EXPECT_EQ(m.deploy.files.at(old->first).data, old->second) << "the registered message file";
      }
    }
  }
  const std::string messages_prefix = m.deploy.Key(std::string(kStaging) + kMessageFilePrefix);
  for (const auto& [key, data] : before.files) {
    if (names_own && key.rfind(messages_prefix, 0) == 0 && key != own_messages) continue;
    EXPECT_EQ(m.deploy.files.count(key), 1u) << key << " is gone";
  }

  // A run that reports the software as installed has put every file of the
  // service in place, now or for the next start of Windows, which it then
  // reports as owed: nothing is left for that start without the record.
  const bool installed = exit_code == 0 || exit_code == 1 || exit_code == 16;
  const std::map<std::string, std::string> restarted = FilesAfterRestart(m);
  if (installed) {
    for (const char* name : kInstalledFiles) {
      SCOPED_TRACE(name);
      const std::string key = m.deploy.Key(std::string(kSystem) + name);
      const auto placed = restarted.find(key);
      ASSERT_NE(placed, restarted.end()) << "reported installed, but missing";
      const std::string fresh = before.files.at(source + "\\" + m.deploy.Key(name));
      if (placed->second != fresh) {
        EXPECT_EQ(s.may_keep_newer.count(name), 1u) << "reported installed, but not copied";
      }
    }
  }
  if (!m.deploy.at_restart.empty() && !RecordOperationFailed(m.plan)) {
    EXPECT_TRUE(RecordPresent(m)) << "files wait for a restart that is not recorded";
    EXPECT_NE(exit_code, 0) << "files wait for a restart, exit code 0";
  }

  // A run that failed before it started a tool (its staging or the check of
  // the targets failed) has removed nothing and replaced no file of the
  // system directory.
  if (s.changes_nothing) {
    EXPECT_TRUE(exit_code == 2 || exit_code == 8) << "exit code " << exit_code;
    EXPECT_TRUE(NoToolStarted(m)) << "a tool ran before the run knew that its files fit";
  }
  if (exit_code == 2 && NoToolStarted(m)) {
    for (const auto& [key, data] : before.files) {
      if (key.rfind(system + "\\", 0) == 0 &&
          key.find('\\', system.size() + 1) == std::string::npos) {
        const auto now = m.deploy.files.find(key);
        EXPECT_TRUE(now != m.deploy.files.end() && now->second.data == data)
            << key << " changed before the run could know that its files fit";
      }
    }
    // Only the staging may have left its own files for it.
    for (const auto& [from, to] : m.deploy.at_restart) {
      EXPECT_EQ(from.rfind(staging + "\\", 0), 0u) << from << " left for a restart";
    }
  }
  if (exit_code == 8) {
    EXPECT_EQ(m.deploy.directories, before.directories) << "a run without adapter made one";
  }

  // The registry: only legacy service keys (and what lies below them) go,
  // and a legacy service key goes only in a run that can report it.
  std::set<std::string> keys;
  CollectKeys(m.replace.local_machine, "", keys);
  bool legacy_gone = false;
  for (const std::string& key : before.keys) {
    if (keys.count(key) != 0) continue;
    if (IsLegacyService(key)) {
      legacy_gone = true;
    } else {
      EXPECT_TRUE(IsBelowLegacyService(key)) << key << " is gone";
    }
  }
  if (legacy_gone) {
    EXPECT_TRUE(exit_code == 1 || exit_code == 2 || exit_code == 16)
        << "a legacy service key is gone, exit code " << exit_code;
  }
  if (exit_code == 1) {
    EXPECT_TRUE(legacy_gone || before.record || !m.deploy.at_restart.empty())
        << "exit code 1, but no legacy service key is gone and no file waits for a restart";
  }
  if (exit_code == 2 && NoToolStarted(m)) {
    EXPECT_FALSE(legacy_gone) << "a legacy service key is gone before any tool ran";
  }

  // A run whose staging did not put every file of the package in place
  // (its event names a copy into the staging directory as the first that
  // failed) ends there: it runs no tool and removes no key.
  if (!m.event_log.events.empty() &&
      m.event_log.events.back().strings.at(7).rfind(kStaging, 0) == 0) {
    EXPECT_EQ(exit_code, 2) << "staging failed";
    for (const std::string& event : m.replace.events) {
      EXPECT_NE(event.rfind("start ", 0), 0u) << "staging failed, yet " << event;
    }
    EXPECT_FALSE(legacy_gone) << "staging failed, yet a legacy service key is gone";
  }

  // The event source is not registered, or registered whole: a message
  // file and the types.
  if (const testing::FakeKey* registration = const_cast<testing::FakeReplaceOs&>(m.replace).FindKey(
          std::string(kApplicationLog) + "\\" + kEventSource)) {
    const auto& values = registration->values;
    const auto file = values.find("eventmessagefile");
    const auto types = values.find("typessupported");
    EXPECT_TRUE(file != values.end() && file->second.type == RegistryValue::Type::kExpandString &&
                !file->second.text.empty() && types != values.end() &&
                types->second.type == RegistryValue::Type::kDword)
        << "a half-written event source";
  }

  // The run's event, the last in the log, tells its exit code.
  if (m.plan.failed_operation() != "ReportEvent") {
    ASSERT_FALSE(m.event_log.events.empty()) << "no event";
    const testing::LoggedEvent& event = m.event_log.events.back();
    EXPECT_EQ(event.strings.at(1), std::to_string(exit_code));
    EXPECT_EQ(event.id % 100, static_cast<std::uint32_t>(exit_code));
    // A run that took the machine replaced the last run's record whole with
    // its own, unless writing it failed; any other kept the earlier one.
    const std::string record = LastRunRecord(m);
    const std::string own = std::to_string(exit_code) + " " + std::to_string(event.id) +
                            " 2026-12-08T10:24:29Z " QSETUP_PRODUCT_VERSION_TEXT;
    if (event.id < 100 && !LastRunOperationFailed(m.plan) && !RecordOperationFailed(m.plan)) {
      EXPECT_EQ(record.substr(0, own.size()), own) << "the last run's record";
    } else {
      EXPECT_TRUE(record == kEarlierRun || record.starts_with(own)) << record;
    }
  }

  // The restart that deleted legacy service keys need stays recorded until
  // Windows starts again, whether this run reported it or not, and a record
  // is never left without them.
  if (!RecordOperationFailed(m.plan)) {
    if (legacy_gone || before.record) {
      EXPECT_TRUE(RecordPresent(m)) << "the restart is lost";
    }
    if (RecordPresent(m)) {
      EXPECT_TRUE(legacy_gone || before.record || !m.deploy.at_restart.empty())
          << "a record of nothing";
    }
  }
}

// One test for each scenario, so that a test run can run them side by side.
class FaultInjectionOfEach : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FaultInjectionOfEach, EveryFailingOperationAndAllocationIsSurvived) {
  std::size_t operations = 0;
  std::size_t allocations = 0;
  const std::vector<Scenario> all = Scenarios();
  ASSERT_LT(GetParam(), all.size());
  const std::vector<Scenario> scenarios = {all[GetParam()]};
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);

    // The clean run: what it does, and that it succeeds as it should.
    std::vector<std::string> recorded;
    std::set<std::size_t> notes;  // positions that cannot fail
    std::string clean_output;
    bool clean_left_for_restart = false;
    std::size_t allocation_count = 0;
    {
      Machine m;
      scenario.prepare(m);
      const Before before = Snapshot(m);
      m.plan.record = true;
      g_allocations = {true, 0, 0};
      const int exit_code = RunSetup(m, scenario);
      allocation_count = g_allocations.count;
      g_allocations = {};
      recorded = m.plan.operations;
      notes = m.plan.notes;
      clean_output = m.console.out;
      clean_left_for_restart = !m.deploy.at_restart.empty();
      ASSERT_EQ(exit_code, scenario.clean_exit_code);
      CheckMachine(m, scenario, before, exit_code);
    }
    EXPECT_GT(allocation_count, 0u);

    for (std::size_t k = 1; k <= recorded.size(); ++k) {
      if (notes.count(k) != 0) continue;
      SCOPED_TRACE(::testing::Message() << "operation " << k << ", " << recorded[k - 1]);
      {
        SCOPED_TRACE("failing");
        Machine m;
        scenario.prepare(m);
        const Before before = Snapshot(m);
        m.plan.FailAt(k);
        const int exit_code = RunSetup(m, scenario);
        CheckMachine(m, scenario, before, exit_code);
        EXPECT_LE(m.event_log.events.size(), 1u) << "more than one event";
        // Neither the restart record nor the event log changes what a run
        // does or says; only a file that waits for the restart needs the
        // record, and without it the copy fails.
        if ((RecordOperationFailed(m.plan) && !clean_left_for_restart) ||
            EventLogOperationFailed(m.plan) || LastRunOperationFailed(m.plan)) {
          EXPECT_EQ(exit_code, scenario.clean_exit_code) << "the outcome changed";
          EXPECT_EQ(m.console.out, clean_output) << "the output changed";
        }
      }
      {
        // Ended there, as a fleet tool's time limit or Ctrl+Break ends a
        // run: the next run, another process on the same machine, installs
        // and reports the restart that the ended one owed.
        SCOPED_TRACE("ended there");
        Machine m;
        scenario.prepare(m);
        const Before before = Snapshot(m);
        const std::string input = m.console.in;
        const auto keys = m.console.keys;
        m.plan.KillAt(k);
        EXPECT_THROW(RunSetup(m, scenario), testing::Killed);
        m.plan.KillAt(0);
        // Ended before its outcome was known, it left the earlier record.
        if (m.event_log.events.empty()) {
          EXPECT_EQ(LastRunRecord(m), kEarlierRun) << "an ended run changed the last run's record";
        }
        m.console.in = input;
        m.console.keys = keys;
        m.deploy.process_id = 4243;
        const int exit_code = RunSetup(m, scenario);
        EXPECT_EQ(exit_code, scenario.clean_exit_code);
        CheckMachine(m, scenario, before, exit_code);

        // Windows starts again and takes the record away: a run after the
        // restart owes none.
        SCOPED_TRACE("after a restart");
        m.replace.Restart();
        m.deploy.Restart();
        m.console.in = input;
        m.console.keys = keys;
        const int restarted_exit_code = RunSetup(m, scenario);
        EXPECT_EQ(restarted_exit_code,
                  scenario.clean_exit_code == 1 ? 0 : scenario.clean_exit_code);
        EXPECT_FALSE(RecordPresent(m)) << "a record outlived the restart";
      }
    }
    for (std::size_t a = 1; a <= allocation_count; ++a) {
      SCOPED_TRACE(::testing::Message() << "allocation " << a);
      Machine m;
      scenario.prepare(m);
      const Before before = Snapshot(m);
      g_allocations = {true, 0, a};
      const int exit_code = RunSetup(m, scenario);
      g_allocations = {};
      CheckMachine(m, scenario, before, exit_code);
    }
    operations += recorded.size();
    allocations += allocation_count;
  }
  std::printf(
      "fault injection: %zu scenarios, %zu failure points (%zu operations, %zu allocations), "
      "%zu kill points, %zu runs\n",
      scenarios.size(), operations + allocations, operations, allocations, operations,
      scenarios.size() + 4 * operations + allocations);
}

INSTANTIATE_TEST_SUITE_P(FaultInjection, FaultInjectionOfEach,
                         ::testing::Range<std::size_t>(0, Scenarios().size()));

// QLN2STAT.EXE on the same machine: each scenario runs once to record the
// report's operations, then once for each of them with that operation
// failing, and once for each allocation the report makes with std::nothrow
// with that allocation failing. The report must never change the machine,
// never crash, end with a code of its table, and tell of each failure that
// it can tell from what it reports.
struct StatusScenario {
  const char* name;
  std::vector<std::string> args;
  std::function<void(Machine&)> prepare;
  int clean_exit_code;
};

std::vector<StatusScenario> StatusScenarios() {
  const auto installed = [](Machine& m) {
    m.deploy.AddDirectory(kStaging);
    for (const char* file : kPackageFiles) {
      m.deploy.AddFile(std::string(kStaging) + file, Stamped("2.1", file));
    }
    for (const char* file : kInstalledFiles) {
      m.deploy.AddFile(std::string(kSystem) + file, Stamped("2.1", file));
    }
    m.replace.AddKey(kServices + std::string("QLN2Svc")).values["imagepath"] = {
        RegistryValue::Type::kExpandString, "\"C:\\WINDOWS\\system32\\telmxsvc.exe\" -service"};
    m.status.services["QLN2Svc"] = {ServiceState::kRunning, kErrorSuccess};
  };
  return {
      {"a fresh machine", {"/JSON"}, [](Machine&) {}, kStatusNotCurrent},
      {"a fresh machine, from a console that is not elevated",
       {"/JSON"},
       [](Machine& m) { m.replace.filtered_token = true; },
       kStatusNotCurrent},
      {"installed, with older software and a restart owed",
       {"/JSON"},
       [installed](Machine& m) {
         installed(m);
         m.AttachHidAdapter();
         m.deploy.AddFile(std::string(kSystem) + "vanwdgsv.exe", "the legacy tool");
         m.replace.AddKey(kServices + std::string("vanwdgsv\\Enum"));
         m.replace.AddKey(kRestartRecord).volatile_key = true;
         m.status.run_lock = {RunLockPresence::kRun};
       },
       kStatusCurrentRestartOwed},
      {"the 32-bit program, older files, the scan route",
       {"/JSON", "/H"},
       [installed](Machine& m) {
         installed(m);
         m.system.wow64 = "C:\\WINDOWS\\SysWOW64";
         m.deploy.AddFile(std::string(kSystem) + "TELMXW.DLL", Stamped("2.0", "old library"));
         m.AttachUnconfiguredAdapter();
       },
       kStatusNotCurrent},
  };
}

// Operations whose failure the report can tell: it says so in its faults.
// (The detection's own walks read a failure as SETUP.EXE does, and a size
// that cannot be read changes nothing that is reported.)
const std::set<std::string> kToldFailures = {"ReadModulePath",      "Utf16ToUtf8",
                                             "AnsiToUtf8",          "FindPath",
                                             "OpenForReading",      "Read",
                                             "QueryService",        "FindRunLock",
                                             "ReadSystemDirectory", "OpenLocalMachineKey",
                                             "QueryValue",          "EnumSubkey",
                                             "OpenHidInterfaces",   "OpenPresentDevices",
                                             "AllocateZeroed",      "CheckElevated"};

int RunStatus(Machine& m, const StatusScenario& s) {
  std::vector<std::string> args = s.args;
  args.insert(args.begin(), "C:\\Pkg\\QLN2STAT.EXE");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return StatusMain(static_cast<int>(argv.size()), argv.data(), m.report);
}

// Every key and value below `key`, as lines.
void DumpRegistry(const testing::FakeKey& key, const std::string& path,
                  std::set<std::string>& out) {
  for (const auto& sub : key.subkeys) {
    const std::string sub_path = path + "\\" + sub->name;
    out.insert(sub_path);
    for (const auto& [name, value] : sub->values) {
      out.insert(sub_path + " " + name + "=" + value.text + "/" + std::to_string(value.number));
    }
    DumpRegistry(*sub, sub_path, out);
  }
}

struct MachineState {
  std::map<std::string, std::string> files;
  std::set<std::string> directories;
  std::set<std::string> registry;
  friend bool operator==(const MachineState&, const MachineState&) = default;
};

MachineState StateOf(const Machine& m) {
  MachineState state;
  for (const auto& [key, file] : m.deploy.files) state.files[key] = file.data;
  state.directories = m.deploy.directories;
  DumpRegistry(m.replace.local_machine, "HKLM", state.registry);
  return state;
}

// What must hold after every run of the report, whatever failed.
void CheckReportRun(const Machine& m, const MachineState& before, int exit_code) {
  EXPECT_TRUE(exit_code == kStatusCurrent || exit_code == kStatusCurrentRestartOwed ||
              exit_code == kStatusNotCurrent || exit_code == kStatusNoReport)
      << "exit code " << exit_code;
  if (exit_code == kStatusNoReport) {
    EXPECT_EQ(m.plan.failed_operation(), "WriteOut") << "no report, but the output was writable";
    EXPECT_NE(m.status.err, "") << "no report, and standard error does not say why";
  }
  // It changed nothing and asked for no change.
  EXPECT_TRUE(StateOf(m) == before) << "the machine changed";
  EXPECT_EQ(m.replace.writes, std::vector<std::string>{});
  for (const std::string& event : m.replace.events) {
    EXPECT_FALSE(event.starts_with("start ")) << event;
  }
  EXPECT_TRUE(m.deploy.copies.empty());
  EXPECT_TRUE(m.deploy.made_directories.empty());
  EXPECT_TRUE(m.event_log.events.empty());
  EXPECT_EQ(m.driver.locks_held, 0);
  EXPECT_EQ(m.driver.lock_waits, std::vector<std::uint32_t>{});
  // Nothing is left open.
  EXPECT_EQ(m.detect.live_objects, 0);
  EXPECT_EQ(m.replace.open_keys, 0);
  EXPECT_EQ(m.status.open_files, 0);
  EXPECT_EQ(m.console.out, "") << "detection traced";
}

TEST(FaultInjection, TheStatusReportSurvivesEveryFailureAndChangesNothing) {
  std::size_t operations = 0;
  std::size_t allocations = 0;
  for (const StatusScenario& scenario : StatusScenarios()) {
    SCOPED_TRACE(scenario.name);
    std::vector<std::string> recorded;
    std::size_t allocation_count = 0;
    std::vector<std::string> outputs;  // every report, for the parser
    std::vector<std::string> traces;
    std::vector<bool> must_tell;  // whether that report must hold a fault
    {
      Machine m;
      scenario.prepare(m);
      const MachineState before = StateOf(m);
      m.plan.record = true;
      g_allocations = {true, 0, 0};
      const int exit_code = RunStatus(m, scenario);
      allocation_count = g_allocations.count;
      g_allocations = {};
      recorded = m.plan.operations;
      ASSERT_EQ(exit_code, scenario.clean_exit_code);
      CheckReportRun(m, before, exit_code);
      outputs.push_back(m.status.out);
      traces.push_back("clean");
      must_tell.push_back(false);
    }
    EXPECT_GT(allocation_count, 0u);
    for (std::size_t k = 1; k <= recorded.size(); ++k) {
      SCOPED_TRACE(::testing::Message() << "operation " << k << ", " << recorded[k - 1]);
      Machine m;
      scenario.prepare(m);
      const MachineState before = StateOf(m);
      m.plan.FailAt(k);
      const int exit_code = RunStatus(m, scenario);
      CheckReportRun(m, before, exit_code);
      if (exit_code != kStatusNoReport) {
        outputs.push_back(m.status.out);
        traces.push_back("operation " + std::to_string(k) + ", " + recorded[k - 1]);
        must_tell.push_back(kToldFailures.count(m.plan.failed_operation()) != 0);
      }
    }
    for (std::size_t a = 1; a <= allocation_count; ++a) {
      SCOPED_TRACE(::testing::Message() << "allocation " << a);
      Machine m;
      scenario.prepare(m);
      const MachineState before = StateOf(m);
      g_allocations = {true, 0, a};
      const int exit_code = RunStatus(m, scenario);
      g_allocations = {};
      CheckReportRun(m, before, exit_code);
      outputs.push_back(m.status.out);
      traces.push_back("allocation " + std::to_string(a));
      must_tell.push_back(true);
    }
    // Every report is one JSON object, and tells what it could not do.
    const auto parsed = testing::ParseJsonDocuments(outputs);
    ASSERT_EQ(parsed.size(), outputs.size());
    for (std::size_t i = 0; i < parsed.size(); ++i) {
      SCOPED_TRACE(traces[i]);
      EXPECT_EQ(parsed[i].count("error"), 0u) << outputs[i];
      EXPECT_EQ(parsed[i].count("exitCode"), 1u) << outputs[i];
      if (must_tell[i]) {
        EXPECT_EQ(parsed[i].count("faults/0/operation"), 1u) << "a failure untold: " << outputs[i];
      } else if (i == 0) {
        EXPECT_EQ(parsed[i].at("faults"), "[]") << outputs[i];
      }
    }
    operations += recorded.size();
    allocations += allocation_count;
  }
  std::printf("fault injection of the status report: %zu operations, %zu allocations\n", operations,
              allocations);
}

}  // namespace
}  // namespace qsetup
