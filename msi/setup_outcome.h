// What the MSI makes of SETUP.EXE's exit code: whether the installation goes
// on or rolls back, whether the machine must restart, and the line that the
// custom action adds to the MSI log after SETUP.EXE's own.
#pragma once

#include <cstdint>
#include <string>

namespace qsetup::msi {

struct SetupOutcome {
  bool succeeded = false;  // false: the action fails and the MSI rolls back
  bool restart = false;    // the MSI asks for a restart at its end (3010)
  std::string log_line;
};

SetupOutcome OutcomeOfExitCode(std::uint32_t exit_code);

}  // namespace qsetup::msi
