// Reading the restart record without changing it: the status report and the
// MSI package's action link this alone.
#include <string>

#include "replace/restart_record.h"

namespace qsetup {

std::string RestartRecordPath() {
  return std::string("SOFTWARE\\") + kProductKeyName + "\\" + kRestartKeyName;
}

bool RestartRecorded(RegistryReader& registry, WinError* error) {
  RegistryKeyReaderPtr key;
  const WinError status =
      registry.OpenLocalMachineKey(RestartRecordPath(), kKeyQueryValue | kKey64BitView, key);
  if (error != nullptr && status != kErrorSuccess && status != kErrorFileNotFound) *error = status;
  return status == kErrorSuccess;
}

}  // namespace qsetup
