// What scripts, event queries and viewers rely on in the run's event: its
// source, its id and type, and the numbers of its insertion strings.
#pragma once

#include <cstdint>

namespace qsetup {

// The product's event source: the name that its events carry, and that of
// its key in the Application log's key of the registry, which tells event
// viewers where its messages are.
inline constexpr char kEventSourceName[] = "Orvane Quillon 2 Setup";

// The Application log's key of event sources, below HKEY_LOCAL_MACHINE.
inline constexpr char kApplicationLogKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// Event types, with the values Windows uses.
enum class EventType : std::uint16_t {
  kError = 0x0001,
  kWarning = 0x0002,
  kInformation = 0x0004,
};

// Event ids, one per outcome (rules/outcome.h); the last two digits are the
// exit code. Event queries and forwarding subscriptions select on these
// values: never change or reuse them. The message table has a text for each
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
