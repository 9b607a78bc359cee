#include "driver/decision.h"

#include "base/ascii.h"
#include "driver/exit_codes.h"

namespace qsetup {
namespace {

// Letters A-Z compared without regard to case; every other byte exactly.
bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Stages the package unless the program already runs from the staging
// directory.
void StageUnlessRunningFromStaging(SetupSteps& steps, const RunSettings& settings,
                                   const std::string& staging_dir) {
  if (!SameIgnoringAsciiCase(settings.source_dir, staging_dir)) steps.StagePackage();
}

}  // namespace

std::string StagingDirectory(const std::string& system_dir) {
  return system_dir + "\\drivers\\qln2\\";
}

int RunSetupDecision(SetupSteps& steps, const RunSettings& settings, Console& console,
                     const MessageTable& messages, const std::string& system_dir) {
  const std::string staging_dir = StagingDirectory(system_dir);
  const bool hid_found = steps.FindHidDevice();

  if (hid_found && !settings.skip_hid) {
    StageUnlessRunningFromStaging(steps, settings, staging_dir);
    TracePause(console, settings.verbose, "Found USB SP.\n", kDriverPausePrompt);
    switch (steps.ReplaceDriver()) {
      case kReplaceLegacyRemoved:
        console.PrintText(messages[kMsgInstallComplete]);
        console.PrintText(messages[kMsgRebootNeeded]);
        return kExitRestartNeeded;
      case kReplaceCopyFailed:
        console.PrintText(messages[kMsgInstallFailed]);
        return kExitFailed;
      default:
        console.PrintText(messages[kMsgInstallComplete]);
        return kExitInstalled;
    }
  }

  if (!steps.FindExistingDevice()) {
    TracePause(console, settings.verbose, "Didn't find USB SP.\n", kDriverPausePrompt);
    console.PrintText(messages[kMsgDeviceNotFound]);
    console.PrintText(messages[kMsgInstallFailed]);
    return kExitNoAdapter;
  }

  TracePause(console, settings.verbose, "Found Taskel but NO DRIVER.\n", kDriverPausePrompt);
  StageUnlessRunningFromStaging(steps, settings, staging_dir);
  if (steps.ReplaceDriver() == kReplaceCopyFailed) {
    console.PrintText(messages[kMsgInstallFailed]);
    return kExitFailed;
  }
  console.PrintText(messages[kMsgDeviceNotWorking]);
  console.PrintText(messages[kMsgInstallComplete]);
  return kExitAdapterNoDriver;
}

}  // namespace qsetup
