#include "msi/setup_outcome.h"

#include "driver/exit_codes.h"

namespace qsetup::msi {

SetupOutcome OutcomeOfExitCode(std::uint32_t exit_code) {
  const std::string code = "SETUP.EXE exit code " + std::to_string(exit_code) + ": ";
  switch (exit_code) {
    case kExitInstalled:
      return {true, false, code + "installed."};
    case kExitAdapterNoDriver:
      return {true, false,
              code + "installed; the adapter has no working USB driver (see the notice above)."};
    case kExitRestartNeeded:
      return {true, true,
              code + "installed; older service registrations were removed, restart the machine."};
    case kExitFailed:
      return {false, false,
              code +
                  "a file could not be copied, or the system directory is unusable; "
                  "SETUPSWITCHES=\"/Q /D\" traces every copy into this log."};
    case kExitNoAdapter:
      return {false, false, code + "no adapter was found; SETUP.EXE changed nothing."};
    default:
      return {false, false, code + "not a code that SETUP.EXE returns."};
  }
}

}  // namespace qsetup::msi
