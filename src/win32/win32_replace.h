// Replace services on the Windows API.
#pragma once

#include "replace/replace_os.h"

namespace qsetup::win32 {

class Win32ReplaceOs final : public ReplaceOs {
 public:
  ToolProcessPtr StartTool(const std::string& application, const std::string& command_line,
                           const std::string& directory) override;
};

}  // namespace qsetup::win32
