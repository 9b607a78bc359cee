// What scripts and event queries rely on in the run's event: its id and the
// numbers of its insertion strings.
#pragma once

#include <cstdint>

namespace qsetup {

// Event ids, one per outcome; the last two digits are the exit code. Event
// queries and forwarding subscriptions select on these values: never change
// or reuse them. The message table has a text for each
// (driver/event_messages.h).
enum EventId : std::uint32_t {
  kEventInstalled = 0,
  kEventRestartNeeded = 1,
  kEventCopyFailed = 2,  // a file of the service was not put in place
  kEventNoAdapter = 8,
  kEventAdapterNoDriver = 16,
  kEventInvalidForceCode = 100,          // exit code 0, and nothing was installed
  kEventSystemDirectoryUnusable = 102,   // exit code 2
  kEventAnotherRunKeptTheMachine = 202,  // exit code 2, and nothing was changed
  kEventSourceDirectoryUnusable = 302,   // exit code 2, and nothing was changed
};

// The facts of a run, by the number of their insertion string ("%1" is the
// version), the same for every event id. Queries read them by number: a new
// fact is only ever added at the end.
enum EventFact : int {
  kFactVersion = 1,
  kFactExitCode,
  kFactCommandLine,
  kFactSourceDirectory,
  kFactRoute,
  kFactLegacyServiceKeys,
  kFactFailedCopy,
  kFactCopyTarget,
  kFactWindowsError,
  kFactWindowsErrorText,
  kFactFilesAtRestart,  // the files that the next start of Windows completes, by ", "
  kFactRunLock,         // "-", or that an object of the run lock's name was no run's
  kLastFact = kFactRunLock,
};

}  // namespace qsetup
