// The registry on the Windows API.
#pragma once

#include "base/registry.h"

namespace qsetup::win32 {

class Win32RegistryOs final : public RegistryOs {
 public:
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyPtr& key) override;
};

}  // namespace qsetup::win32
