// The machine of the device tests: root devices registered for a test's
// lifetime, and the fixture programs.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {

inline std::string Fixture(const std::string& name) {
  return FixtureDir() + "/" + name + ".exe";
}

// A root device with the given hardware ids, present while this object
// lives.
class RegisteredDevice {
 public:
  RegisteredDevice(std::string instance_id, const std::vector<std::string>& ids)
      : instance_id_(std::move(instance_id)) {
    std::vector<std::string> args = {"add", instance_id_};
    args.insert(args.end(), ids.begin(), ids.end());
    const RunResult r = RunWine(Fixture("device_registry"), {.args = args});
    registered_ = r.exit_code == 0;
    EXPECT_TRUE(registered_) << r.out;
  }
  ~RegisteredDevice() {
    if (!registered_) return;
    const RunResult r = RunWine(Fixture("device_registry"), {.args = {"remove", instance_id_}});
    EXPECT_EQ(r.exit_code, 0) << r.out;
  }
  RegisteredDevice(const RegisteredDevice&) = delete;
  RegisteredDevice& operator=(const RegisteredDevice&) = delete;

  bool registered() const { return registered_; }

 private:
  std::string instance_id_;
  bool registered_ = false;
};

// An instance id that no other test and no other architecture uses.
inline std::string InstanceId(const std::string& name) {
  return "ROOT\\QSETUP_" + Arch() + "_" + name + "\\0000";
}

// A tool that the installer ran: the line feeds around its progress dots.
inline constexpr char kToolRun[] = "\r\n\r\n";

// How long a tool runs is up to the machine: the progress dots between the
// two line feeds of a tool run are taken out before comparing.
inline std::string NormalizeDots(std::string out) {
  for (std::size_t pos = out.find("\r\n."); pos != std::string::npos;
       pos = out.find("\r\n.", pos + 2)) {
    std::size_t end = pos + 2;
    while (end < out.size() && out[end] == '.') ++end;
    if (out.compare(end, 2, "\r\n") == 0) out.erase(pos + 2, end - pos - 2);
  }
  return out;
}

inline std::string StagingDir() {
  return UnixSystemDir() + "/drivers/qln2";
}

// A file of the system directory, in whatever letter case it was made.
inline std::string SystemFile(const std::string& name) {
  return PathIgnoringCase(UnixSystemDir(), name);
}

// Windows starts again: every program ends with the server, the new server's
// first program does what was left for the start (the pending renames and
// deletions), and the server then stays up for the tests that follow.
inline void RestartWindows() {
  const std::map<std::string, std::string> prefix = {{"WINEPREFIX", WinePrefix()}};
  RunCommand({"wineserver", "-k"}, nullptr, prefix);
  RunCommand({"wineserver", "-w"}, nullptr, prefix);
  RunCommand({"sh", "-c", "wineserver -p </dev/null >/dev/null 2>&1"}, nullptr, prefix);
  RunWine("wineboot");
}

// What the system does at its next start, as the registry holds it:
// PendingFileRenameOperations, as reg shows it; empty when there is none.
inline std::string PendingRenames() {
  return RunWine("reg",
                 {.args = {"query", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                           "/v", "PendingFileRenameOperations"}})
      .out;
}

inline bool RestartRecorded() {
  return RunWine(Fixture("restart_record"), {.args = {"exists"}}).out == "yes\r\n";
}

inline bool ServiceRegistered() {
  const RunResult r = RunWine(Fixture("service_keys"), {.args = {"exists", "QLN2Svc"}});
  return r.out == "QLN2Svc yes\r\n";
}

// Takes away what an installation or a test left: the service, the installed
// and legacy files and what waits beside them for a restart, the staging
// directory, the legacy keys, the record of a restart owed and what was left
// for the next start.
inline void CleanMachine() {
  namespace fs = std::filesystem;
  RunWine("reg", {.args = {"delete", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                           "/v", "PendingFileRenameOperations", "/f"}});
  for (const auto& entry : fs::directory_iterator(UnixSystemDir())) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.find(".~qln2") != std::string::npos || name.ends_with(".stay")) {
      fs::remove_all(entry.path());
    }
  }
  RunWine(PackageDir() + "/TELMXSVC.EXE", {.args = {"-remove"}});
  RunWine(Fixture("service_keys"), {.args = {"remove", "vanwdgsv", "vanwdgex_helper",
                                             "qsetup_other", "vanwdgex_deep", "vanwdgsv_denied"}});
  RunWine(Fixture("restart_record"), {.args = {"remove"}});
  // Where SETUP.EXE writes it, in the 64-bit view: the reg that wine starts
  // may be the 32-bit one.
  RunWine("reg", {.args = {"delete", "HKLM\\SOFTWARE\\Orvane\\Quillon 2 Setup", "/v", "LastRun",
                           "/f", "/reg:64"}});
  for (const char* file :
       {"telmxw.dll", "telmxrem.exe", "telmxsvc.exe", "vanwdgsv.exe", "qsetup-tools.log"}) {
    fs::remove_all(PathIgnoringCase(UnixSystemDir(), file));
  }
  fs::remove_all(StagingDir());
}

// A copy of the package whose directory has a Windows path of `length`
// characters with its closing separator, and a short link to that directory.
// Wine starts no program by a path longer than MAX_PATH: Run starts SETUP.EXE
// by the link and hands it the long path as its command path, as a program
// that gives CreateProcess an application name of its own does.
class PackageInLongDirectory {
 public:
  PackageInLongDirectory(const std::string& name, std::size_t length) {
    namespace fs = std::filesystem;
    const std::string base = FreshWorkDir(name);
    link_ = base + "/link";
    dir_ = base;
    std::size_t left = length - (WindowsPath(base) + "\\").size();
    for (; left > 103; left -= 101) dir_ += "/" + std::string(100, 'd');
    dir_ += "/" + std::string(left - 1, 'p');
    fs::create_directories(dir_);
    fs::copy(PackageDir(), dir_, fs::copy_options::recursive);
    fs::create_directory_symlink(dir_, link_);
  }

  const std::string& dir() const { return dir_; }  // Unix
  std::string windows_dir() const { return WindowsPath(dir_) + "\\"; }

  RunResult Run(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}) const {
    std::vector<std::string> launch = {"-a", WindowsPath(link_) + "\\SETUP.EXE",
                                       windows_dir() + "SETUP.EXE"};
    launch.insert(launch.end(), args.begin(), args.end());
    return RunWine(Fixture("launch"), {.args = launch, .env = env});
  }

 private:
  std::string dir_;
  std::string link_;
};

// The service keys of a legacy installation, one with a child; with
// `with_tool`, its restart tool in the system directory as well.
inline void InstallLegacySoftware(bool with_tool = true) {
  if (with_tool) CopyFile(Fixture("tool_standin"), SystemFile("vanwdgsv.exe"));
  const RunResult r =
      RunWine(Fixture("service_keys"),
              {.args = {"create", "vanwdgsv\\Parameters", "vanwdgex_helper", "qsetup_other"}});
  ASSERT_EQ(r.exit_code, 0) << r.out;
}

}  // namespace qsetup::e2e
