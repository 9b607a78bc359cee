// What the MSI makes of a run of SETUP.EXE: whether its switches may run at
// all, whether the installation goes on or rolls back after its exit code,
// whether the machine must restart, the line that the custom action adds to
// the MSI log after SETUP.EXE's own, and how SETUP.EXE's output is decoded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qsetup::msi {

struct SetupOutcome {
  bool succeeded = false;  // false: the action fails and the MSI rolls back
  bool restart = false;    // the MSI asks for a restart at its end (3010)
  std::string log_line;
};

SetupOutcome OutcomeOfExitCode(std::uint32_t exit_code);

// The first argument of `switches` that is an invalid force code, as
// SETUP.EXE's C runtime splits its command line into arguments: blanks
// outside quotes separate them; quotes group and are removed; 2n
// backslashes before a quote become n and the quote groups, 2n+1 become n
// and a literal quote; "" inside quotes is a literal quote. SETUP.EXE would
// stop at that argument and exit with 0 without installing anything.
std::optional<std::string> InvalidForceCode(std::string_view switches);

// SETUP.EXE writes its texts in the console's code page (OEM), and the
// paths that Windows gives it in the ANSI code page. Its trace lines of a
// path, "NAME = >PATH<", hold nothing else: they are ANSI. Every other line
// is OEM, a translated text with a path in it too, whose two code pages
// cannot be told apart.
bool OutputLineIsAnsi(std::string_view line);

}  // namespace qsetup::msi
