// File deployment: version stamps, the versioned copy with its overwrite
// question, and the fixed sets of files that the installer copies.
#pragma once

#include <string>

#include "base/system_directory.h"
#include "base/win_errors.h"
#include "catalog/messages.h"
#include "console/console.h"
#include "deploy/deploy_os.h"
#include "deploy/package.h"

namespace qsetup {

// Copy results. Callers act only on kCopyFailed.
inline constexpr int kCopyDone = 0;  // copied, or declined at the question
inline constexpr int kCopyFailed = 103;

// Set result of StagePackage and RefreshSystemTools when a copy failed;
// otherwise they return the length of the system directory path.
inline constexpr int kSetCopyFailed = 2;

// A copy that failed: the paths as the copy used them, and the Windows error
// of the step that failed.
struct FailedCopy {
  std::string source;
  std::string target;
  WinError error = kErrorSuccess;
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
};

// Copies `file_name` from `source_folder` to `target_folder` (both ending in
// a separator). A target with a newer version stamp is replaced only after
// the overwrite question, which `answer_yes` answers in advance.
int CopyVersionedFile(const DeployContext& ctx, const std::string& source_folder,
                      const std::string& target_folder, const std::string& file_name,
                      bool answer_yes);

// Copies the package's staged files from the source directory into the
// staging directory (system directory + "\drivers\qln2\"), creating its last
// level.
int StagePackage(const DeployContext& ctx, const std::string& source_dir, bool unattended);

// Copies the package's refreshed tools from the staging directory into the
// system directory.
int RefreshSystemTools(const DeployContext& ctx, bool unattended);

}  // namespace qsetup
