#include "driver/decision.h"

#include "base/ascii.h"
#include "base/system_directory.h"
#include "driver/exit_codes.h"

namespace qsetup {
namespace {

// Stages the package unless the program already runs from the staging
// directory. False when staging did not put every file in place: the
// replacement would remove the older software and then install whatever the
// staging directory holds, an older version or none.
bool StageUnlessRunningFromStaging(SetupSteps& steps, const RunSettings& settings,
                                   const std::string& staging_dir) {
  return EqualsIgnoringAsciiCase(settings.source_dir, staging_dir) || steps.StagePackage();
}

}  // namespace

Decision RunSetupDecision(SetupSteps& steps, const RunSettings& settings, Console& console,
                          const MessageTable& messages, const std::string& system_dir) {
  const std::string staging_dir = StagingFolder(system_dir);
  const bool hid_found = steps.FindHidDevice();

  if (hid_found && !settings.skip_hid) {
    // With the force code the probe reports the adapter without looking.
    const Route route = settings.force_code == kForceUsb ? Route::kForced : Route::kHidProbe;
    if (!StageUnlessRunningFromStaging(steps, settings, staging_dir)) {
      console.PrintText(messages[kMsgInstallFailed]);
      return {kExitFailed, route};
    }
    TracePause(console, settings.verbose, "Found USB SP.\n", kDriverPausePrompt);
    switch (steps.ReplaceDriver()) {
      case kReplaceLegacyRemoved:
        console.PrintText(messages[kMsgInstallComplete]);
        console.PrintText(messages[kMsgRebootNeeded]);
        return {kExitRestartNeeded, route};
      case kReplaceCopyFailed:
        console.PrintText(messages[kMsgInstallFailed]);
        return {kExitFailed, route};
      default:
        console.PrintText(messages[kMsgInstallComplete]);
        return {kExitInstalled, route};
    }
  }

  if (!steps.FindExistingDevice()) {
    TracePause(console, settings.verbose, "Didn't find USB SP.\n", kDriverPausePrompt);
    console.PrintText(messages[kMsgDeviceNotFound]);
    console.PrintText(messages[kMsgInstallFailed]);
    return {kExitNoAdapter, Route::kHardwareIdScan};
  }

  TracePause(console, settings.verbose, "Found Taskel but NO DRIVER.\n", kDriverPausePrompt);
  if (!StageUnlessRunningFromStaging(steps, settings, staging_dir) ||
      steps.ReplaceDriver() == kReplaceCopyFailed) {
    console.PrintText(messages[kMsgInstallFailed]);
    return {kExitFailed, Route::kHardwareIdScan};
  }
  console.PrintText(messages[kMsgDeviceNotWorking]);
  console.PrintText(messages[kMsgInstallComplete]);
  return {kExitAdapterNoDriver, Route::kHardwareIdScan};
}

}  // namespace qsetup
