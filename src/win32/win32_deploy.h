// Deploy services on the Windows API.
#pragma once

#include "deploy/deploy_os.h"

namespace qsetup::win32 {

class Win32DeployOs final : public DeployOs {};

}  // namespace qsetup::win32
