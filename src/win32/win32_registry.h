// The registry on the Windows API: one kind of key, which a program that
// changes the registry (SETUP.EXE) opens whole, and a program that only reads
// it (QLN2STAT.EXE, the MSI's actions) opens as a reader, with no code that
// could change the registry.
#pragma once

#include "base/registry.h"

namespace qsetup::win32 {

// SETUP.EXE's: its keys read and change the registry (win32_registry.cpp).
class Win32RegistryOs final : public RegistryOs {
 public:
  using RegistryOs::OpenLocalMachineKey;
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyReaderPtr& key) override;
};

// QLN2STAT.EXE's and the MSI actions': its keys only read
// (win32_registry_reader.cpp).
class Win32RegistryReader final : public RegistryReader {
 public:
  using RegistryReader::OpenLocalMachineKey;
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyReaderPtr& key) override;
};

}  // namespace qsetup::win32
