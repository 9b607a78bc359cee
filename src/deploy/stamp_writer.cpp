#include "deploy/stamp_writer.h"

namespace qsetup {

std::string VersionStamp(std::string_view version) {
  std::string stamp = QSETUP_STAMP_START;
  stamp.append(version).append(QSETUP_STAMP_END);
  return stamp;
}

}  // namespace qsetup
