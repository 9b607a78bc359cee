#include "deploy/deploy.h"

namespace qsetup {
namespace {

constexpr char kStagingSubdirectory[] = "\\drivers\\qln2\\";

// The package, in the order it is staged.
constexpr const char* kPackageFiles[] = {
    "SETUP.EXE", "TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE", "ENGLISH.NLS", "JAPANESE.NLS",
};

// The tools that the removal steps need in the system directory.
constexpr const char* kSystemTools[] = {"TELMXREM.EXE", "TELMXSVC.EXE"};

}  // namespace

int StagePackage(const DeployContext& ctx, const std::string& source_dir, bool unattended) {
  std::string system_dir;
  const std::uint32_t length = ctx.os.ReadSystemDirectory(system_dir);
  // Without it every path below would name the root of the current drive.
  if (system_dir.empty()) return kSetCopyFailed;

  const std::string staging = system_dir + kStagingSubdirectory;
  ctx.os.MakeDirectory(staging);  // already there on a repeated run
  const std::string source_folder = source_dir + "\\";

  bool failed = false;
  for (const char* file : kPackageFiles) {
    if (CopyVersionedFile(ctx, source_folder, staging, file, unattended) == kCopyFailed) {
      failed = true;
    }
  }
  return failed ? kSetCopyFailed : static_cast<int>(length);
}

int RefreshSystemTools(const DeployContext& ctx, bool unattended) {
  std::string system_dir;
  const std::uint32_t length = ctx.os.ReadSystemDirectory(system_dir);
  if (system_dir.empty()) return kSetCopyFailed;

  const std::string staging = system_dir + kStagingSubdirectory;
  const std::string system_folder = system_dir + "\\";

  bool failed = false;
  for (const char* file : kSystemTools) {
    if (CopyVersionedFile(ctx, staging, system_folder, file, unattended) == kCopyFailed) {
      failed = true;
    }
  }
  return failed ? kSetCopyFailed : static_cast<int>(length);
}

}  // namespace qsetup
