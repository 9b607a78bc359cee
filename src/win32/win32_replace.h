// Replace services on the Windows API.
#pragma once

#include "replace/replace_os.h"

namespace qsetup::win32 {

class Win32ReplaceOs final : public ReplaceOs {};

}  // namespace qsetup::win32
