// The operating-system services of the subsystems, on the Windows API.
#pragma once

#include "base/system_directory.h"
#include "catalog/catalog_os.h"
#include "driver/driver_os.h"
#include "rules/source_directory.h"

#include "win32/win32_files.h"
#include "win32/win32_system_directory.h"

namespace qsetup::win32 {

class Win32CatalogOs final : public Win32FileReads<CatalogOs> {
 public:
  std::uint16_t SystemDefaultLangId() override;
};

// Both programs' (win32_source_directory.cpp).
class Win32SourceDirectoryOs final : public SourceDirectoryOs {
 public:
  ModulePath ReadModulePath() override;
  std::string ReadCurrentDirectory() override;
  bool IsDbcsLeadByte(unsigned char byte) override;
  bool NamesThisProgram(const char* path) override;
};

// SETUP.EXE's alone: the status report never makes, waits for or holds the
// run lock.
class Win32DriverOs final : public DriverOs {
 public:
  std::unique_ptr<RunLock> OpenRunLock(const std::string& staging_folder,
                                       bool& name_taken) override;
  UtcTime Now() override;
};

}  // namespace qsetup::win32
