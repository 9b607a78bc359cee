#include "driver/versioned_deployment.h"

#include <vector>

namespace qsetup {
namespace {

DeployContext WithPrepared(const DeployContext& ctx, PreparedCopies* prepared) {
  DeployContext with = ctx;
  with.prepared = prepared;
  return with;
}

}  // namespace

VersionedDeployment::VersionedDeployment(const DeployContext& ctx, bool unattended)
    : ctx_(WithPrepared(ctx, &prepared_)), unattended_(unattended) {}

bool VersionedDeployment::PrepareServiceFiles(const std::string& source_folder,
                                              const std::string& target_folder) {
  return PrepareCopies(ctx_, source_folder, target_folder, kServiceFiles);
}

void VersionedDeployment::RefreshSystemTools() {
  // The set result is not acted on: a tool that was not refreshed shows in
  // the versioned copy's own messages.
  qsetup::RefreshSystemTools(ctx_, unattended_);
}

InstallOutcome VersionedDeployment::InstallFile(const std::string& source_folder,
                                                const std::string& target_folder,
                                                const std::string& file_name,
                                                RestartRecord& restart) {
  std::vector<std::string> at_restart;
  DeployContext ctx = ctx_;
  ctx.restart = &restart;
  ctx.at_restart = &at_restart;
  if (CopyVersionedFile(ctx, source_folder, target_folder, file_name, unattended_) == kCopyFailed) {
    return InstallOutcome::kFailed;
  }
  return at_restart.empty() ? InstallOutcome::kDone : InstallOutcome::kAtRestart;
}

void VersionedDeployment::DiscardPreparedCopies() {
  qsetup::DiscardPreparedCopies(ctx_);
}

}  // namespace qsetup
