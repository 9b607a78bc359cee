#include "rules/package.h"

namespace qsetup {

PackageCheck CheckPackage(std::span<const PackageFileState, kStagedFiles.size()> states) {
  PackageCheck check;
  for (std::size_t i = 0; i < states.size(); ++i) {
    if (states[i] != PackageFileState::kAbsent) check.any = true;
    if (states[i] != PackageFileState::kReadable && check.lacking == nullptr) {
      check.lacking = kStagedFiles[i];
    }
  }
  return check;
}

}  // namespace qsetup
