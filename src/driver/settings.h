// Run settings: the command-line switches and the source directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "console/console.h"
#include "driver/source_trace.h"

namespace qsetup {

inline constexpr char kForceUsb = 'U';

enum class ForceCode { kNone, kUsb, kInvalid };

// What one argument says of the force code, in any letter case: "-FU" and
// whatever follows it force the USB route; any other argument that begins
// with "-F" is an invalid force code. The MSI's custom action asks the same
// of its switches before it runs SETUP.EXE.
constexpr ForceCode ClassifyForceCode(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-' || AsciiUpper(arg[1]) != 'F') return ForceCode::kNone;
  return arg.size() > 2 && AsciiUpper(arg[2]) == kForceUsb ? ForceCode::kUsb : ForceCode::kInvalid;
}

struct RunSettings {
  bool unattended = false;  // /X, /Q, /H: no questions, no final key wait
  bool verbose = false;     // /D: trace lines and trace pauses
  bool skip_hid = false;    // /H: the scan route decides
  char force_code = 0;      // 'U' after -FU
  std::string source_dir;   // where the package lies; ends in a separator, or "."
};

enum class SwitchResult { kContinue, kInvalidForceCode };

// Reads the switches argv[1] .. argv[argc-1], upper-casing each in place.
// Prints the force-code lines. Stops at an invalid force code.
SwitchResult ParseSwitches(int argc, char** argv, RunSettings& settings, Console& console);

}  // namespace qsetup
