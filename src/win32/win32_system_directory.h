// The system directory on the Windows API, for both programs and the MSI's
// actions.
#pragma once

#include "base/system_directory.h"

namespace qsetup::win32 {

class Win32SystemDirectoryOs final : public SystemDirectoryOs {
 public:
  SystemDirectory ReadSystemDirectory() override;
  std::string ReadWow64Directory() override;
};

}  // namespace qsetup::win32
