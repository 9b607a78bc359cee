// Run settings: the command-line switches and the source directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "driver/source_trace.h"
#include "rules/force_code.h"

namespace qsetup {

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
