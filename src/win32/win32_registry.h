// The registry on the Windows API.
#pragma once

#include "base/registry.h"

namespace qsetup::win32 {

class Win32RegistryOs final : public RegistryOs {
 public:
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyPtr& key) override;
};

// The registry of a program that only reads it (QLN2STAT.EXE): keys open for
// reading only, as Win32RegistryOs opens them, and every operation that
// would change the registry is refused (kErrorAccessDenied) without asking
// Windows, so that the program cannot write, whatever its code asks.
class Win32ReadOnlyRegistryOs final : public RegistryOs {
 public:
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyPtr& key) override;
};

}  // namespace qsetup::win32
