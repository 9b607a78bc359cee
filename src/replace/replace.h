// Driver replacement: the package's tools run as child processes, the purge of
// the legacy service keys, and the sequence that takes the older software off
// the machine and puts the new service in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/registry.h"
#include "base/system_directory.h"
#include "console/console.h"
#include "replace/replace_os.h"
#include "replace/restart_record.h"
#include "rules/package.h"
#include "rules/replacement.h"

namespace qsetup {

// The service keys below HKEY_LOCAL_MACHINE, and the patterns of the names
// of the older software's service keys, which the purge deletes: the name of
// its restart tool and a second name of the same prefix, each anywhere in a
// name, in this letter case.
inline constexpr char kServicesPath[] = "SYSTEM\\CurrentControlSet\\Services\\";
inline constexpr char kRestartToolPattern[] = "vanwdgsv";
inline constexpr char kSecondPattern[] = "vanwdgex";
inline constexpr const char* kLegacyPatterns[] = {kRestartToolPattern, kSecondPattern};

// True when the service key name `name` holds `pattern`.
constexpr bool HoldsPattern(std::string_view name, std::string_view pattern) {
  return name.find(pattern) != std::string_view::npos;
}

// True when `name` is the name of an older software's service key.
constexpr bool IsLegacyServiceName(std::string_view name) {
  for (const char* pattern : kLegacyPatterns) {
    if (HoldsPattern(name, pattern)) return true;
  }
  return false;
}

// The older software's restart tool, which the sequence runs from the system
// directory beside the service tool (ServiceToolPath).
inline constexpr char kLegacyToolName[] = "vanwdgsv.exe";

// What became of one file of the service.
enum class InstallOutcome {
  kDone,       // copied, or the copy was declined at the overwrite question
  kAtRestart,  // in use: the next start of Windows completes it
  kFailed,
};

// The deployment operations that the replacement sequence calls.
class ReplaceDeployment {
 public:
  virtual ~ReplaceDeployment() = default;

  // Before anything is removed: puts the copies of the service's files from
  // `source_folder` beside their targets in `target_folder` (both ending in
  // a separator) and makes sure that each target can be replaced, now or at
  // the next start of Windows. False, with nothing left beside them, when
  // one cannot.
  virtual bool PrepareServiceFiles(const std::string& source_folder,
                                   const std::string& target_folder) = 0;

  // Copies the refreshed tools from the staging directory into the system
  // directory.
  virtual void RefreshSystemTools() = 0;

  // Versioned copy of `file_name` from `source_folder` to `target_folder`,
  // taking its prepared copy. A target in use is replaced at the next start
  // of Windows, once `restart` recorded that the machine owes it.
  virtual InstallOutcome InstallFile(const std::string& source_folder,
                                     const std::string& target_folder, const std::string& file_name,
                                     RestartRecord& restart) = 0;

  // Discards the prepared copies that no copy took.
  virtual void DiscardPreparedCopies() = 0;
};

// Who removed the legacy service keys whose restart a replacement reports.
enum class LegacyRemoval {
  kNone,        // none was removed, and no earlier run left a restart owed
  kThisRun,     // this run removed at least one
  kEarlierRun,  // an earlier run since the system's last start removed them
};

struct ReplaceContext {
  RegistryOs& registry;
  ReplaceOs& os;
  SystemDirectoryOs& system;
  Console& console;
  ReplaceDeployment& deploy;
  bool verbose;  // trace lines
  // When set, told who removed legacy service keys (for the run's report),
  // once the sequence has come as far as the purge.
  std::optional<LegacyRemoval>* removal = nullptr;
  // When set, the files that the next start of Windows completes: those that
  // earlier steps of the run left for it, to which the sequence adds its own.
  std::vector<std::string>* at_restart = nullptr;
  // When set, the run's restart record, which an earlier step (the staging)
  // already asked whether a restart was owed before the run, and what it
  // answered; else the sequence asks its own.
  RestartRecord* restart = nullptr;
  bool restart_owed = false;
};

// "path" in quotes, so that a blank in it cannot end the program name.
std::string QuoteProgramPath(const std::string& path);

// Runs `program` with `arguments` in a new hidden console, with the system
// directory `system_dir` as its current directory (never the installer's,
// which may be a folder that users can write), and waits for it: "\n", a
// "." for each poll that finds it running (at most kToolPollLimit), "\n". A
// tool still running after the last wait is left running. Returns false,
// printing nothing, when the tool cannot be started.
bool RunTool(ReplaceOs& os, Console& console, const std::string& program,
             const std::string& arguments, const std::string& system_dir);

// Makes sure that the service's files can take their places, and only then
// runs the legacy restart tool's and the service tool's removal, purges the
// legacy service keys, copies the service's files from the staging directory
// into the system directory and runs the service tool's installation.
// Returns kReplaceDone, kReplaceRestartNeeded (also when an earlier run
// removed legacy service keys and the restart they need has not happened
// yet, and when files in use wait for the restart) or kReplaceCopyFailed
// (when a file cannot take its place, before anything was removed).
int ReplaceDriver(const ReplaceContext& ctx);

// Deletes the service keys whose names contain "vanwdgsv" or "vanwdgex"
// (case-sensitive), with up to two levels of subkeys, each after its DACL
// was reset, and each only once `restart` records the restart it will need.
// Returns 1 if at least one service key was deleted, else 0.
int PurgeLegacyServices(RegistryOs& registry, RestartRecord& restart);

// What the purge asks of each level of a service key's tree: it opens the
// service key and its children with every right (and through them resets the
// service key's DACL and deletes both), and deletes the grandchildren, which
// must have no subkeys of their own. Deletion reaches no deeper.
inline constexpr std::uint32_t kServiceKeyRights = kKeyAllAccess;
inline constexpr std::uint32_t kChildRights = kKeyAllAccess;
inline constexpr std::uint32_t kGrandchildRights = kDelete;

// What PurgeLegacyServices does to one legacy service key.
enum class PurgeFate {
  kDeleted,  // it deletes the key
  kKept,     // the key stays: a subkey too deep, a name too long, a right missing
  kUnknown,  // it cannot be told without trying
};

// The purge's fate for the service key `name` below `services` (open for
// reading), told from the key's tree and the rights that each of the purge's
// steps needs, without changing anything. `error` receives the status that
// left the fate unknown. The rights are checked against this process's
// token; `elevated` says that it has the Administrators enabled, as
// SETUP.EXE's has. Without that, a right that the key refuses may be one
// that SETUP.EXE is given: the fate is unknown, kErrorElevationRequired.
PurgeFate ForeseePurge(RegistryKeyReader& services, const std::string& name, bool elevated,
                       WinError& error);

// The legacy service keys, each by its fate in the purge.
struct LegacyServiceKeys {
  int deleted = 0;  // the keys that PurgeLegacyServices deletes
  int kept = 0;     // those that it leaves in place
  int unknown = 0;  // those whose fate cannot be told
  // The registry status that kept the walk of the Services key from its end;
  // kErrorSuccess when every legacy key was looked at.
  WinError error = kErrorSuccess;
};

// Told of each legacy service key whose fate cannot be told.
class UnknownFates {
 public:
  virtual ~UnknownFates() = default;
  // `name` below the Services key, and the status that kept its fate from
  // being told.
  virtual void Unknown(const std::string& name, WinError error) = 0;
};

// Foresees the purge in one walk of the Services key, changing nothing, with
// this process's rights (`elevated` as for ForeseePurge); the keys whose fate
// cannot be told also go to `unknown`.
LegacyServiceKeys CountLegacyServiceKeys(RegistryReader& registry, UnknownFates& unknown,
                                         bool elevated);

// Replaces the DACL of `parent`\`name` by one that gives BUILTIN\Administrators
// full control and nobody else anything. The key's DACL must be readable.
// True when the new DACL was written.
bool ResetKeyDacl(RegistryKey& parent, const std::string& name);

}  // namespace qsetup
