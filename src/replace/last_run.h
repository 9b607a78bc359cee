// The record of the last run's outcome, for fleets that do not collect the
// event log: SETUP.EXE writes it once, at the end of a run that held the
// machine, and QLN2STAT.EXE shows it. A run ended before its end leaves the
// previous record as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/registry.h"

namespace qsetup {

// Where it is: a value of the product's key, beside the restart record.
// The key is stored, so the record outlives restarts, and it takes the
// security of HKLM\SOFTWARE, which only the system and administrators can
// write. The value is one string, which a single write replaces whole.
inline constexpr char kLastRunValue[] = "LastRun";

// A time in UTC, as the system clock gives it.
struct UtcTime {
  std::uint16_t year, month, day, hour, minute, second;
};

// The record's fields, in their stored order.
enum LastRunField : int {
  kLastRunExitCode,   // in decimal
  kLastRunEventId,    // in decimal
  kLastRunTime,       // UTC, ISO 8601: "2026-12-08T10:24:29Z"
  kLastRunVersion,    // SETUP.EXE's
  kLastRunAtRestart,  // the files that the next start of Windows completes, by blanks
  kLastRunFields,
};
struct LastRun {
  std::string fields[kLastRunFields];
};

// The first blank-separated word of `rest`, which is left after it; empty
// when no word is left.
std::string_view NextWord(std::string_view& rest);

// Replaces the record with that of a run that ended with `exit_code` and the
// event `event` at `now`, with `at_restart` waiting for the next start of
// Windows. A record that cannot be written is lost, and changes nothing
// else.
void RecordLastRun(RegistryOs& registry, std::uint32_t exit_code, std::uint32_t event,
                   const UtcTime& now, const std::vector<std::string>& at_restart);

// Reads the record into `run`; false, with `run` empty, when there is none.
// When it cannot be read, or is not of the record's form, `error` receives
// why (kErrorInvalidData for the form).
bool ReadLastRun(RegistryReader& registry, LastRun& run, WinError& error);

}  // namespace qsetup
