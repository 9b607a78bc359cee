// The setup decision: which route a run takes after detection, and the
// exit code of its outcome (whose messages and event rules/outcome.h gives).
#pragma once

#include <string>

#include "console/console.h"
#include "driver/settings.h"
#include "rules/replacement.h"
#include "rules/route.h"

namespace qsetup {

// The operations of other subsystems that the decision calls, in the order
// of a run. SetupMain wires the real ones; tests hand in fakes.
class DecisionOperations {
 public:
  virtual ~DecisionOperations() = default;

  // HID presence probe: true when the adapter answers over USB HID.
  virtual bool FindHidDevice() = 0;
  // Hardware-id scan: true when a device to install for is present.
  virtual bool FindExistingDevice() = 0;
  // Copies the package into the staging directory; false when a file of it
  // was not put in place (a copy declined at the overwrite question is).
  virtual bool StagePackage() = 0;
  // Removes older software and installs the service; returns the
  // replacement result (kReplaceDone, kReplaceRestartNeeded,
  // kReplaceCopyFailed).
  virtual int ReplaceDriver() = 0;
};

struct Decision {
  int exit_code;  // also the id of its event
  Route route;
};

// Runs the decision for a usable system directory.
Decision RunSetupDecision(DecisionOperations& steps, const RunSettings& settings, Console& console,
                          const std::string& system_dir);

}  // namespace qsetup
