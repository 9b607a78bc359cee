// Detect services on the Windows API.
#pragma once

#include "detect/detect_os.h"

namespace qsetup::win32 {

class Win32DetectOs final : public DetectOs {};

}  // namespace qsetup::win32
