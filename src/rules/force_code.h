// The force code among SETUP.EXE's switches. SETUP.EXE reads it
// (driver/settings.h); the MSI's custom action asks the same of its switches
// before it runs SETUP.EXE.
#pragma once

#include <string_view>

#include "base/ascii.h"

namespace qsetup {

inline constexpr char kForceUsb = 'U';

enum class ForceCode { kNone, kUsb, kInvalid };

// What one argument says of the force code, in any letter case: "-FU" and
// whatever follows it force the USB route; any other argument that begins
// with "-F" is an invalid force code.
constexpr ForceCode ClassifyForceCode(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-' || AsciiUpper(arg[1]) != 'F') return ForceCode::kNone;
  return arg.size() > 2 && AsciiUpper(arg[2]) == kForceUsb ? ForceCode::kUsb : ForceCode::kInvalid;
}

}  // namespace qsetup
