// The replacement sequence's deployment steps, wired to the real versioned
// copy.
#pragma once

#include "deploy/deploy.h"
#include "replace/replace.h"

namespace qsetup {

class VersionedDeployment final : public ReplaceDeployment {
 public:
  // `unattended` answers every overwrite question with yes in advance.
  VersionedDeployment(const DeployContext& ctx, bool unattended);

  bool PrepareServiceFiles(const std::string& source_folder,
                           const std::string& target_folder) override;
  void RefreshSystemTools() override;
  InstallOutcome InstallFile(const std::string& source_folder, const std::string& target_folder,
                             const std::string& file_name, RestartRecord& restart) override;
  void DiscardPreparedCopies() override;

 private:
  PreparedCopies prepared_;
  DeployContext ctx_;  // the run's, with the prepared copies
  bool unattended_;
};

}  // namespace qsetup
