#include <array>

#include "deploy/deploy.h"

namespace qsetup {

SetResult StagePackage(const DeployContext& ctx, const std::string& source_dir, bool unattended) {
  const SystemDirectory system_dir = ctx.system.ReadSystemDirectory();
  // Without it every path below would name the root of the current drive.
  if (!system_dir.Fitted()) return kSetCopyFailed;

  const std::string staging = StagingFolder(system_dir.path);
  ctx.os.MakeDirectory(staging);  // already there on a repeated run
  const std::string source_folder = source_dir + "\\";

  // A package that lacks a file fails by the rule that the status report
  // predicts with; every file is still tried.
  std::array<PackageFileState, kStagedFiles.size()> states;
  for (std::size_t i = 0; i < states.size(); ++i) {
    const std::string source = source_folder + kStagedFiles[i];
    states[i] = ctx.os.OpenForReading(source) ? PackageFileState::kReadable
                : ctx.os.PathExists(source)   ? PackageFileState::kUnreadable
                                              : PackageFileState::kAbsent;
  }
  bool failed = CheckPackage(states).lacking != nullptr;
  for (const char* file : kStagedFiles) {
    if (CopyVersionedFile(ctx, source_folder, staging, file, unattended) == kCopyFailed) {
      failed = true;
    }
  }
  return failed ? kSetCopyFailed : kSetCopied;
}

SetResult RefreshSystemTools(const DeployContext& ctx, bool unattended) {
  const SystemDirectory system_dir = ctx.system.ReadSystemDirectory();
  if (!system_dir.Fitted()) return kSetCopyFailed;

  const std::string staging = StagingFolder(system_dir.path);
  const std::string system_folder = SystemFolder(system_dir.path);

  bool failed = false;
  for (const char* file : kRefreshedTools) {
    if (CopyVersionedFile(ctx, staging, system_folder, file, unattended) == kCopyFailed) {
      failed = true;
    }
  }
  return failed ? kSetCopyFailed : kSetCopied;
}

}  // namespace qsetup
