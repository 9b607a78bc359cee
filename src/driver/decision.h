// The setup decision: which route a run takes after detection, and how its
// outcome becomes messages and an exit code.
#pragma once

#include <cstdint>
#include <string>

#include "base/system_directory.h"
#include "catalog/messages.h"
#include "console/console.h"
#include "driver/settings.h"
#include "replace/replace.h"

namespace qsetup {

// The operations of other subsystems that the decision calls, in the order
// of a run. SetupMain wires the real ones; tests hand in fakes.
class SetupSteps {
 public:
  virtual ~SetupSteps() = default;

  // HID presence probe: true when the adapter answers over USB HID.
  virtual bool FindHidDevice() = 0;
  // Hardware-id scan: true when a device to install for is present.
  virtual bool FindExistingDevice() = 0;
  // Copies the package into the staging directory; false when a file of it
  // was not put in place (a copy declined at the overwrite question is).
  virtual bool StagePackage() = 0;
  // Removes older software and installs the service; returns the
  // replacement result (kReplaceDone, kReplaceLegacyRemoved,
  // kReplaceCopyFailed).
  virtual int ReplaceDriver() = 0;
};

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

struct Decision {
  int exit_code;
  Route route;
};

// The longest system directory that leaves room for the file names appended
// to it in 520-byte path buffers.
inline constexpr std::uint32_t kMaxSystemDirectory = 259;

// True when a run can work with `dir`; otherwise it fails with 2 before
// detection.
inline bool UsableSystemDirectory(const SystemDirectory& dir) {
  return dir.length != 0 && dir.length <= kMaxSystemDirectory;
}

// The route that detection gives a run: the HID route when the probe found
// the adapter (which it reports at once when `forced`, -FU) and `skip_hid`
// (/H) does not overrule it, else the scan route.
Route ChooseRoute(bool hid_found, bool skip_hid, bool forced);

// The exit code of a run on `route` (not kNone). On the scan route `found`
// tells whether the scan found a device to install for; nothing is
// installed without one. `replacement` is the replacement result of the
// installation.
int OutcomeExitCode(Route route, bool found, int replacement);

// Runs the decision for a usable system directory.
Decision RunSetupDecision(SetupSteps& steps, const RunSettings& settings, Console& console,
                          const MessageTable& messages, const std::string& system_dir);

}  // namespace qsetup
