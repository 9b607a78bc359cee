// Apart from the run that applies them (driver/decision.cpp): a program that
// only applies them to what it finds links nothing of a run.
#include "rules/route.h"

#include "rules/exit_codes.h"
#include "rules/replacement.h"

namespace qsetup {

const char* RouteText(Route route) {
  switch (route) {
    case Route::kHidProbe:
      return "HID probe";
    case Route::kHardwareIdScan:
      return "hardware-id scan";
    case Route::kForced:
      return "forced";
    case Route::kNone:
      break;
  }
  return "-";
}

Route ChooseRoute(bool hid_found, bool skip_hid, bool forced) {
  if (!hid_found || skip_hid) return Route::kHardwareIdScan;
  return forced ? Route::kForced : Route::kHidProbe;
}

int OutcomeExitCode(Route route, bool found, int replacement) {
  if (route == Route::kHardwareIdScan) {
    if (!found) return kExitNoAdapter;
    // The restart that the replacement may ask for is not reported here.
    return replacement == kReplaceCopyFailed ? kExitFailed : kExitAdapterNoDriver;
  }
  switch (replacement) {
    case kReplaceRestartNeeded:
      return kExitRestartNeeded;
    case kReplaceCopyFailed:
      return kExitFailed;
    default:
      return kExitInstalled;
  }
}

}  // namespace qsetup
