// The replacement sequence's deployment steps, wired to the real versioned
// copy.
#pragma once

#include "deploy/deploy.h"
#include "replace/replace.h"

namespace qsetup {

class DeploySteps final : public ReplaceDeploySteps {
 public:
  // `unattended` answers every overwrite question with yes in advance.
  DeploySteps(const DeployContext& ctx, bool unattended) : ctx_(ctx), unattended_(unattended) {}

  void RefreshSystemTools() override;
  bool CopyVersioned(const std::string& source_folder, const std::string& target_folder,
                     const std::string& file_name) override;

 private:
  const DeployContext& ctx_;
  bool unattended_;
};

}  // namespace qsetup
