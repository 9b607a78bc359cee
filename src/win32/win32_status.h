// The status report's own services on the Windows API.
#pragma once

#include "status/status_os.h"
#include "win32/win32_files.h"

namespace qsetup::win32 {

class Win32StatusOs final : public Win32PathLookup<StatusOs> {
 public:
  bool WriteOut(std::string_view text) override;
  void WriteError(std::string_view text) override;
  std::optional<std::string> AnsiToUtf8(const std::string& text) override;
  std::optional<std::string> Utf16ToUtf8(std::u16string_view text) override;
  WinError CheckElevated(bool& elevated) override;
  ServiceQuery QueryService(const std::string& name) override;
  RunLockProbe FindRunLock() override;
};

}  // namespace qsetup::win32
