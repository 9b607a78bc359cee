// The outcomes of a run of SETUP.EXE, one row each, and what every reader
// makes of one: SETUP.EXE prints its messages, writes its event and exits
// with its code; the MSI, which sees only the exit code, reads the first row
// of that code. No code branches on an outcome's meaning elsewhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "catalog/messages.h"
#include "rules/event_ids.h"
#include "rules/exit_codes.h"

namespace qsetup {

// The messages that a run prints at its end, in their order.
struct ClosingMessages {
  constexpr ClosingMessages(std::initializer_list<MessageId> list = {}) {
    for (const MessageId id : list) ids[count++] = id;
  }
  std::uint8_t count = 0;
  std::array<MessageId, 2> ids{};
};

struct Outcome {
  EventId event;
  ExitCode exit_code;
  // Error for what failed or did nothing that the run was asked to do;
  // warning for what needs attention but changed nothing or installed;
  // information for an installation that needs nothing more.
  EventType type;
  ClosingMessages messages;
  // What the MSI, which sees nothing of a run but its exit code, makes of
  // that code, on the code's first row alone: whether its action succeeds
  // (only where SETUP.EXE installed), and what its log says after
  // "SETUP.EXE exit code N: ".
  struct Msi {
    bool succeeds = false;
    const char* words = nullptr;
  } msi;
};

inline constexpr Outcome kOutcomes[] = {
    // The decision's outcomes: their ids are their exit codes.
    {kEventInstalled,
     kExitInstalled,
     EventType::kInformation,
     {kMsgInstallComplete},
     {true, "installed."}},
    {kEventRestartNeeded,
     kExitRestartNeeded,
     EventType::kWarning,
     {kMsgInstallComplete, kMsgRebootNeeded},
     {true, "installed; older service registrations were removed, restart the machine."}},
    {kEventCopyFailed,
     kExitFailed,
     EventType::kError,
     {kMsgInstallFailed},
     {false,
      "a file could not be copied, or the system directory is unusable; "
      "SETUPSWITCHES=\"/Q /D\" traces every copy into this log."}},
    {kEventNoAdapter,
     kExitNoAdapter,
     EventType::kWarning,
     {kMsgDeviceNotFound, kMsgInstallFailed},
     {false, "no adapter was found; SETUP.EXE changed nothing."}},
    {kEventAdapterNoDriver,
     kExitAdapterNoDriver,
     EventType::kWarning,
     {kMsgDeviceNotWorking, kMsgInstallComplete},
     {true, "installed; the adapter has no working USB driver (see the notice above)."}},
    // The runs that end before the decision. The force code's line is the
    // switches' own.
    {kEventInvalidForceCode, kExitInstalled, EventType::kError, {}, {}},
    {kEventSystemDirectoryUnusable, kExitFailed, EventType::kError, {kMsgInstallFailed}, {}},
    {kEventAnotherRunKeptTheMachine, kExitFailed, EventType::kWarning, {kMsgInstallFailed}, {}},
    {kEventSourceDirectoryUnusable, kExitFailed, EventType::kError, {kMsgInstallFailed}, {}},
};

// The first row of `exit_code`; null for a code that SETUP.EXE never
// returns.
constexpr const Outcome* FirstOutcomeOf(std::uint32_t exit_code) {
  for (const Outcome& outcome : kOutcomes) {
    if (static_cast<std::uint32_t>(outcome.exit_code) == exit_code) return &outcome;
  }
  return nullptr;
}

// What the table promises of itself.
constexpr bool OutcomeTableHolds() {
  for (const Outcome& outcome : kOutcomes) {
    // An id's last two digits are its exit code.
    if (outcome.event % 100 != static_cast<std::uint32_t>(outcome.exit_code)) return false;
    // The MSI's words stand on the first row of each code, and there alone.
    if ((FirstOutcomeOf(outcome.exit_code) == &outcome) != (outcome.msi.words != nullptr)) {
      return false;
    }
    for (const Outcome& other : kOutcomes) {
      if (&other != &outcome && other.event == outcome.event) return false;
    }
  }
  return true;
}
static_assert(OutcomeTableHolds(), "one row per event id, its code in its last two digits");

// A row as SETUP.EXE reads it at run time: the columns that it needs, a byte
// each (the id two), copied out of the table by the compiler, so that none of
// the MSI's texts comes with them.
struct RunOutcome {
  std::uint16_t event;
  std::uint8_t exit_code;
  std::uint8_t type;
  std::uint8_t printed;
  std::uint8_t messages[2];
};

inline constexpr auto kRunOutcomes = [] {
  std::array<RunOutcome, std::size(kOutcomes)> rows{};
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const Outcome& outcome = kOutcomes[row];
    rows[row] = {static_cast<std::uint16_t>(outcome.event),
                 static_cast<std::uint8_t>(outcome.exit_code),
                 static_cast<std::uint8_t>(outcome.type),
                 outcome.messages.count,
                 {static_cast<std::uint8_t>(outcome.messages.ids[0]),
                  static_cast<std::uint8_t>(outcome.messages.ids[1])}};
  }
  return rows;
}();

// The row of `event`; every EventId has one.
inline const RunOutcome& RunOutcomeOf(EventId event) {
  const RunOutcome* row = kRunOutcomes.data();
  while (row->event != event && row + 1 != kRunOutcomes.end()) ++row;
  return *row;
}

}  // namespace qsetup
