// The machine's run lock: one run of SETUP.EXE at a time changes the
// machine. SETUP.EXE holds it; the status report only looks for it.
#pragma once

#include <cstdint>

#include "base/win_errors.h"
#include "rules/replacement.h"

namespace qsetup {

// How long a run waits for another run to let go of the machine: longer than
// the longest unattended run can take (three tools, each waited for at most
// kToolPollLimit polls of kToolPollMs, and five minutes for detection and the
// copies), and no longer. A run that waited this long gives up.
inline constexpr std::uint32_t kRunLockWaitMs = 3 * kToolPollLimit * kToolPollMs + 5 * 60 * 1000;

// How a wait for the run lock ended.
enum class LockWait {
  kHeld,      // this run holds the lock now
  kTimedOut,  // another run still holds it
  kFailed,    // the wait could not be made
};

// The run lock as a run holds it. Released, if held, when destroyed.
class RunLock {
 public:
  virtual ~RunLock() = default;

  // Waits at most `milliseconds` until no other run holds the lock, then
  // holds it.
  virtual LockWait Hold(std::uint32_t milliseconds) = 0;
};

// What an object of the run lock's name says.
enum class RunLockPresence {
  kNone,     // there is none: no run holds the machine, and none waits for it
  kRun,      // the lock of a run, which holds the machine or waits for another that does
  kForeign,  // an object that neither the system nor administrators made: no run's lock
  kUnknown,  // it could not be told
};

// The run lock as a look that neither waits for it nor holds it finds it.
struct RunLockProbe {
  RunLockPresence presence = RunLockPresence::kUnknown;
  WinError error = kErrorSuccess;  // kUnknown: why
};

}  // namespace qsetup
