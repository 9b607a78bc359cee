#include <string>

#include "replace/replace.h"

namespace qsetup {

int CountLegacyServiceKeys(RegistryOs& registry, WinError& error) {
  RegistryKeyPtr services;
  error = registry.OpenLocalMachineKey(kServicesPath, kKeyRead, services);
  if (error != kErrorSuccess) return 0;
  int count = 0;
  std::string name;
  for (std::uint32_t index = 0;; ++index) {
    const WinError status = services->EnumSubkey(index, name);
    if (status == kErrorNoMoreItems) break;
    // A name too long for the buffer is one that the purge passes over too.
    if (status == kErrorMoreData) continue;
    if (status != kErrorSuccess) {
      error = status;
      break;
    }
    if (name.find(kRestartToolPattern) != std::string::npos ||
        name.find(kSecondPattern) != std::string::npos) {
      ++count;
    }
  }
  return count;
}

}  // namespace qsetup
