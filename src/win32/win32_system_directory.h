// The system directory on the Windows API, for both programs and the MSI's
// actions.
#pragma once

#include <string>

#include "base/system_directory.h"

namespace qsetup::win32 {

class Win32SystemDirectoryOs final : public SystemDirectoryOs {
 public:
  SystemDirectory ReadSystemDirectory() override;
  std::string ReadWow64Directory() override;
};

// The system directory with its closing separator, in UTF-16 whatever its
// letters and length, for code that holds paths wide (the MSI's actions);
// empty when it cannot be read.
std::wstring WideSystemFolder();

}  // namespace qsetup::win32
