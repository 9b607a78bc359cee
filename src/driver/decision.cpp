#include "driver/decision.h"

#include "base/ascii.h"
#include "base/system_directory.h"

namespace qsetup {
namespace {

// Stages the package unless the program already runs from the staging
// directory. False when staging did not put every file in place: the
// replacement would remove the older software and then install whatever the
// staging directory holds, an older version or none.
bool StageUnlessRunningFromStaging(DecisionOperations& steps, const RunSettings& settings,
                                   const std::string& staging_dir) {
  return EqualsIgnoringAsciiCase(settings.source_dir, staging_dir) || steps.StagePackage();
}

}  // namespace

Decision RunSetupDecision(DecisionOperations& steps, const RunSettings& settings, Console& console,
                          const std::string& system_dir) {
  const std::string staging_dir = StagingFolder(system_dir);
  const Route route =
      ChooseRoute(steps.FindHidDevice(), settings.skip_hid, settings.force_code == kForceUsb);
  bool found = true;
  int replacement = kReplaceDone;
  // A staging that failed ends the run as a copy that failed would, before
  // anything is removed.
  if (route != Route::kHardwareIdScan) {
    if (StageUnlessRunningFromStaging(steps, settings, staging_dir)) {
      TracePause(console, settings.verbose, "Found USB SP.\n", kDriverPausePrompt);
      replacement = steps.ReplaceDriver();
    } else {
      replacement = kReplaceCopyFailed;
    }
  } else {
    found = steps.FindExistingDevice();
    if (found) {
      TracePause(console, settings.verbose, "Found Taskel but NO DRIVER.\n", kDriverPausePrompt);
      replacement = StageUnlessRunningFromStaging(steps, settings, staging_dir)
                        ? steps.ReplaceDriver()
                        : kReplaceCopyFailed;
    } else {
      // Nothing is staged and nothing replaced.
      TracePause(console, settings.verbose, "Didn't find USB SP.\n", kDriverPausePrompt);
    }
  }
  return {OutcomeExitCode(route, found, replacement), route};
}

}  // namespace qsetup
