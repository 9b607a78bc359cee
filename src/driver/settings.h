// Run settings: the command-line switches and the source directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "rules/force_code.h"
#include "rules/source_directory.h"

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

// `text` for a trace line: printable ASCII as it is, every other character as
// "<U+XXXX>", which no file name holds.
std::string PrintableText(std::u16string_view text);

// Under the verbose flag, what makes `source` unusable: its path, and why,
// with a trace pause.
void TraceUnusableSourceDirectory(Console& console, bool verbose, const SourceDirectory& source);

}  // namespace qsetup
