// QLN2STAT.EXE: what a server has of the management software, and what
// SETUP.EXE would decide on it, told without changing anything. It asks the
// same code that SETUP.EXE runs (detection, the decision, version stamps,
// the purge's rule, the restart record) and writes nothing but its report.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/registry.h"
#include "base/system_directory.h"
#include "base/win_errors.h"
#include "detect/detect_os.h"
#include "replace/last_run.h"
#include "rules/package.h"
#include "rules/route.h"
#include "rules/source_directory.h"
#include "status/status_os.h"

namespace qsetup {

// Exit codes of QLN2STAT.EXE. Detection scripts and fleet tools act on these
// values: never change or reuse them.
enum StatusExitCode : int {
  kStatusCurrent = 0,             // current, and no restart owed
  kStatusCurrentRestartOwed = 1,  // current, and a restart owed
  kStatusNoReport = 2,            // the report could not be made (standard error says why)
  kStatusNotCurrent = 3,          // not installed, older or incomplete
};

// The version of the report's JSON form. Its keys and their meaning stay;
// a change that would break a reader gets a new version.
inline constexpr int kStatusSchema = 1;

// Every operating-system service that the report uses. None of them writes.
struct StatusPlatform {
  StatusOs& os;
  SourceDirectoryOs& source;  // SETUP.EXE's own rule finds the package
  SystemDirectoryOs& system;  // the one reader of the system directory
  DetectOs& detect;
  RegistryReader& registry;  // the one registry, which it can only read
};

// A file whose version stamp the report shows.
struct StampedFile {
  enum class State {
    kAbsent,      // not there
    kStamped,     // there, with a stamp
    kNoStamp,     // there, without a stamp in its first 100000 bytes
    kUnreadable,  // there or not, it could not be read
  };
  const char* name = "";
  State state = State::kAbsent;
  std::string version;  // kStamped: its stamp text
  // An installed file in use: the version of the copy that waits beside it
  // for the next start of Windows, which puts it in its place.
  std::optional<std::string> at_restart;
};

// Files of one folder, and the version that they share.
struct FileSet {
  std::string directory;  // UTF-8, without a closing separator; empty when unknown
  std::vector<StampedFile> files;
  // The stamp that every file carries; none when one has none or they differ.
  std::optional<std::string> version;
};

// The file of `set` named `name` (ASCII case ignored); null when it has none.
const StampedFile* FindFile(const FileSet& set, std::string_view name);

// An operating-system call that failed while the facts were gathered: the
// report shows it and goes on without that fact.
struct StatusFault {
  const char* operation;  // what could not be done: "read the system directory"
  std::string subject;    // what it was done to (a path, a key), UTF-8; may be empty
  std::optional<WinError> error;
};

struct StatusReport {
  // The package directory, the program's own: `directory` as Windows names
  // it, the files as SETUP.EXE started from there finds them.
  FileSet package;
  // Why SETUP.EXE cannot use the package directory (SourceDirectory::error),
  // and ends with 2; kErrorSuccess when it can.
  WinError package_error = kErrorSuccess;
  // No file that SETUP.EXE stages is there: the program lies alone, and
  // "current" means its own version.
  bool package_none = false;
  // The first file that SETUP.EXE's staging lacks (not there, or not
  // readable), so that the run ends with 2; null when none is lacking.
  const char* package_lacks = nullptr;

  // The system directory, where the installed files lie (SysWOW64 for the
  // 32-bit program on 64-bit Windows); none when it is unusable.
  std::optional<std::string> system_dir;

  // The adapter, as SETUP.EXE's detection finds it; none for a step that did
  // not run.
  std::optional<bool> hid_found;
  std::optional<bool> scan_found;
  Route route = Route::kNone;  // kNone: the system directory is unusable
  // What SETUP.EXE would return, if its copies succeed; none when legacy
  // service keys whose fate cannot be told decide it.
  std::optional<int> setup_exit_code;

  FileSet installed;  // the service's files in the system directory
  FileSet staged;     // the package in the staging directory

  bool service_registered = false;
  std::optional<std::string> service_image_path;  // UTF-8
  bool service_runs_system_tool = false;  // the image path names the system directory's tool
  ServiceState service_state = ServiceState::kNone;

  std::optional<bool> legacy_tool;
  int legacy_service_keys = 0;       // those that SETUP.EXE's purge deletes
  int legacy_service_keys_kept = 0;  // those that it leaves in place

  bool restart_owed = false;  // the installed files with `at_restart` wait for it
  std::optional<bool> run_in_progress;
  // Whether the report has the Administrators' rights, as SETUP.EXE has:
  // without them it cannot tell which legacy service keys SETUP.EXE deletes.
  std::optional<bool> elevated;

  // SETUP.EXE's record of its last run; its fields empty when none is.
  LastRun last_run;

  bool current = false;
  int exit_code = kStatusNotCurrent;
  std::vector<StatusFault> faults;
};

// Gathers the report of the program started as `command_path` (argv[0]),
// from whose directory SETUP.EXE would be started. `skip_hid` (/H) leaves
// the HID probe out, so that the hardware-id scan decides, as it does for
// SETUP.EXE.
StatusReport SurveyMachine(StatusPlatform& platform, const char* command_path, bool skip_hid);

// The report for a person (English, one fact a line) and as one JSON object
// on one line. Both end in a line end; the JSON holds ASCII only.
std::string ReportText(const StatusReport& report);
std::string ReportJson(const StatusReport& report);

// The name of `state` in both forms of the report; null for kNone.
const char* ServiceStateText(ServiceState state);

// Runs QLN2STAT.EXE with its argument vector: "/JSON" for the JSON form,
// "/H" to leave the HID probe out (either with "-" for "/", in any letter
// case). Returns its exit code.
int StatusMain(int argc, char** argv, StatusPlatform& platform);

}  // namespace qsetup
