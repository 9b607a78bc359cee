// File deployment: version stamps, the versioned copy with its overwrite
// question, and the fixed sets of files that the installer copies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/restart_recorder.h"
#include "base/system_directory.h"
#include "base/win_errors.h"
#include "catalog/messages.h"
#include "console/console.h"
#include "deploy/deploy_os.h"
#include "rules/package.h"

namespace qsetup {

// Copy results. Callers act only on kCopyFailed.
inline constexpr int kCopyDone = 0;  // copied, or declined at the question
inline constexpr int kCopyFailed = 103;

// What StagePackage and RefreshSystemTools made of their set of files.
enum SetResult {
  kSetCopied,      // every file copied, or kept at the overwrite question
  kSetCopyFailed,  // a copy failed, or the system directory could not be read
};

// A copy that failed: the paths as the copy used them, and the Windows error
// of the step that failed.
struct FailedCopy {
  std::string source;
  std::string target;
  WinError error = kErrorSuccess;
};

// Names beside a target `target`: the copy that waits there for the next
// start of Windows, which renames it over the target, and the image of a
// running program that stepped aside for the copy that took its place, until
// that start deletes it.
inline std::string WaitingCopyName(const std::string& target) {
  return target + ".~qln2next";
}
inline std::string AsideName(const std::string& target, std::uint32_t process_id) {
  return target + ".~qln2old." + std::to_string(process_id);
}

// Copies put beside their targets before the run removed anything, each
// waiting for the versioned copy of its target, which takes it.
struct PreparedCopies {
  std::vector<std::string> targets;
};

// What every deployment operation works with.
struct DeployContext {
  DeployOs& os;
  SystemDirectoryOs& system;
  Console& console;
  MessageTable messages;  // the current message table
  bool verbose;           // trace lines
  // When set, the first copy that fails is kept here (for the run's report);
  // later failures leave it as it is.
  FailedCopy* first_failure = nullptr;
  // When set, the copies of PrepareCopies, which each copy takes.
  PreparedCopies* prepared = nullptr;
  // When set, a target in use that a copy decided to replace is replaced at
  // the next start of Windows (or, where the program that uses it lets it be
  // renamed, now, with the old file deleted then), once `restart` recorded
  // that the machine owes that start; its name is added to `at_restart`.
  RestartRecorder* restart = nullptr;
  std::vector<std::string>* at_restart = nullptr;
  // When set, the targets whose new file the run left waiting beside them
  // for the next start of Windows (WaitingCopyName); a later copy from such
  // a target, by the same path, copies from its waiting copy instead.
  std::vector<std::string>* waiting_targets = nullptr;
};

// Copies `file_name` from `source_folder` to `target_folder` (both ending in
// a separator). A target with a newer version stamp is replaced only after
// the overwrite question, which `answer_yes` answers in advance.
int CopyVersionedFile(const DeployContext& ctx, const std::string& source_folder,
                      const std::string& target_folder, const std::string& file_name,
                      bool answer_yes);

// Copies `source` over `target`, or to it where there is none, as the
// versioned copy does, so that the target ends whole with the source's
// contents or its own; without question or version comparison, and a
// target in use stays as it is. Returns the Windows error of the step that
// failed.
WinError CopyWhole(const DeployContext& ctx, const std::string& source, const std::string& target);

// Before anything is removed: puts a copy of each of `file_names` from
// `source_folder` beside its target in `target_folder` (into
// `ctx.prepared`), and makes sure that each target can be replaced, now or at
// the next start of Windows. False when one cannot: a missing source, a full
// disk, a directory or a file that the installer may not replace in its
// place. Then every copy is discarded again and the failure is kept as the
// run's first.
bool PrepareCopies(const DeployContext& ctx, const std::string& source_folder,
                   const std::string& target_folder, std::span<const char* const> file_names);

// Discards the prepared copies that no copy took.
void DiscardPreparedCopies(const DeployContext& ctx);

// Copies the package's staged files from the source directory into the
// staging directory (system directory + "\drivers\qln2\"), creating its last
// level.
SetResult StagePackage(const DeployContext& ctx, const std::string& source_dir, bool unattended);

// Copies the package's refreshed tools from the staging directory into the
// system directory.
SetResult RefreshSystemTools(const DeployContext& ctx, bool unattended);

}  // namespace qsetup
