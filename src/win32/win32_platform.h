// The operating-system services of the subsystems, on the Windows API.
#pragma once

#include "base/system_directory.h"
#include "catalog/catalog_os.h"
#include "driver/driver_os.h"

namespace qsetup::win32 {

class Win32CatalogOs final : public CatalogOs {
 public:
  std::uint16_t SystemDefaultLangId() override;
  ReadableFilePtr OpenForReading(const std::string& path) override;
};

class Win32SystemDirectoryOs final : public SystemDirectoryOs {
 public:
  SystemDirectory ReadSystemDirectory() override;
  std::string ReadWow64Directory() override;
};

class Win32DriverOs final : public DriverOs {
 public:
  ModulePath ReadModulePath() override;
  std::string ReadCurrentDirectory() override;
  bool IsDbcsLeadByte(unsigned char byte) override;
  std::unique_ptr<RunLock> OpenRunLock() override;
};

}  // namespace qsetup::win32
