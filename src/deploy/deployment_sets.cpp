#include "deploy/deploy.h"

namespace qsetup {

int StagePackage(const DeployContext& ctx, const std::string& source_dir, bool unattended) {
  const SystemDirectory system_dir = ctx.system.ReadSystemDirectory();
  // Without it every path below would name the root of the current drive.
  if (!system_dir.Fitted()) return kSetCopyFailed;

  const std::string staging = StagingFolder(system_dir.path);
  ctx.os.MakeDirectory(staging);  // already there on a repeated run
  const std::string source_folder = source_dir + "\\";

  bool failed = false;
  for (const char* file : kStagedFiles) {
    if (CopyVersionedFile(ctx, source_folder, staging, file, unattended) == kCopyFailed) {
      failed = true;
    }
  }
  return failed ? kSetCopyFailed : static_cast<int>(system_dir.length);
}

int RefreshSystemTools(const DeployContext& ctx, bool unattended) {
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
  return failed ? kSetCopyFailed : static_cast<int>(system_dir.length);
}

}  // namespace qsetup
