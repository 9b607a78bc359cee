// Replace services on the Windows API.
#pragma once

#include "replace/replace_os.h"

namespace qsetup::win32 {

class Win32ReplaceOs final : public ReplaceOs {
 public:
  ToolProcessPtr StartTool(const std::string& application, const std::string& command_line,
                           const std::string& directory) override;
  std::optional<std::uint64_t> SystemStartTime() override;
};

// When the system last started, in 100-nanosecond intervals since
// 1 January 1601 (UTC); nullopt where the system cannot tell.
std::optional<std::uint64_t> ReadSystemStartTime();

}  // namespace qsetup::win32
