#include "driver/deploy_steps.h"

namespace qsetup {

void DeploySteps::RefreshSystemTools() {
  // The set result is not acted on: a tool that was not refreshed shows in
  // the versioned copy's own messages.
  qsetup::RefreshSystemTools(ctx_, unattended_);
}

bool DeploySteps::CopyVersioned(const std::string& source_folder, const std::string& target_folder,
                                const std::string& file_name) {
  return CopyVersionedFile(ctx_, source_folder, target_folder, file_name, unattended_) !=
         kCopyFailed;
}

}  // namespace qsetup
