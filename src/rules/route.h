// The setup decision's rules on their own: which route detection gives a
// run, and the exit code of a run on it. SETUP.EXE's decision applies them
// to a run (driver/decision.h); the status report to what it finds.
#pragma once

namespace qsetup {

// How a run came to its route.
enum class Route {
  kNone,            // detection did not run
  kHidProbe,        // the HID presence probe found the adapter
  kHardwareIdScan,  // the hardware-id scan decided
  kForced,          // the force code took the adapter as present
};

// The route's name in what the installer reports: "HID probe",
// "hardware-id scan", "forced", and "-" for kNone.
const char* RouteText(Route route);

// The route that detection gives a run: the HID route when the probe found
// the adapter (which it reports at once when `forced`, -FU) and `skip_hid`
// (/H) does not overrule it, else the scan route.
Route ChooseRoute(bool hid_found, bool skip_hid, bool forced);

// The exit code of a run on `route` (not kNone). On the scan route `found`
// tells whether the scan found a device to install for; nothing is
// installed without one. `replacement` is the replacement result of the
// installation (rules/replacement.h).
int OutcomeExitCode(Route route, bool found, int replacement);

}  // namespace qsetup
