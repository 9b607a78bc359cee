// What the MSI makes of a run of SETUP.EXE: whether its switches may run at
// all, how long it and the service tool may run, whether the installation
// goes on or rolls back after its run, whether the machine must restart, the
// lines that the custom actions add to the MSI log after a program's own,
// and how SETUP.EXE's output is decoded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/registry.h"
#include "base/win_errors.h"
#include "rules/replacement.h"
#include "rules/run_lock.h"

namespace qsetup::msi {

// How long the custom action lets a program run before it ends it, in
// minutes of kMinuteMs (a test build of the action counts shorter ones).
// The service tool's removal gets as long as SETUP.EXE gives each of its
// tools. SETUP.EXE gets its longest unattended run: the wait for another
// run's lock, then its own run, which that wait outlasts (three tools, the
// copies), and one tool's time more as a margin.
inline constexpr std::uint32_t kMinuteMs = 60 * 1000;
inline constexpr std::uint32_t kServiceToolMinutes = kToolPollLimit * kToolPollMs / kMinuteMs;
inline constexpr std::uint32_t kSetupMinutes = 2 * kRunLockWaitMs / kMinuteMs + kServiceToolMinutes;
static_assert(kToolPollLimit * kToolPollMs % kMinuteMs == 0 && kRunLockWaitMs % kMinuteMs == 0,
              "the bounds are whole minutes, as the log names them");

// How a program that the action ran under a bound ended.
struct ProgramRun {
  enum class End {
    kNotStarted,       // `error` tells why
    kExited,           // with `exit_code`
    kExitCodeUnknown,  // it ran and ended; `error` tells why its exit code could not be read
    kRanOut,           // still running at its bound; `ended` when the action could end it
  };
  End end = End::kNotStarted;
  std::uint32_t exit_code = 0;
  WinError error = kErrorSuccess;
  bool ended = false;
};

// "Windows error N", as the action's log lines name an error.
std::string WindowsErrorText(WinError error);

// The log line of `run` of `program` as the log names it ("telmxsvc.exe
// -remove"), whose bound was `minutes`.
std::string RunLine(std::string_view program, const ProgramRun& run, std::uint32_t minutes);

struct SetupOutcome {
  bool succeeded = false;  // false: the action fails and the MSI rolls back
  std::string log_line;
};

// Only an exit code that says that SETUP.EXE installed succeeds: a run that
// did not start, did not end within kSetupMinutes, or whose exit code is
// unknown rolls the installation back.
SetupOutcome OutcomeOfSetupRun(const ProgramRun& run);

struct RestartRequest {
  bool restart = false;  // the MSI asks for a restart at its end (3010)
  std::string log_line;
};

// An installation that ran SETUP.EXE asks for a restart when SETUP.EXE's
// restart record says that the machine owes one, as it says to SETUP.EXE
// and QLN2STAT.EXE: after 1, and after 16 where older service registrations
// were removed. The record, not the action that ran SETUP.EXE, carries it
// to the action that asks, which runs in another process, maybe another
// window station.
RestartRequest RequestOfRestartRecord(RegistryReader& registry);

// The first argument of `switches` that is an invalid force code, as
// SETUP.EXE's C runtime splits its command line into arguments: blanks
// outside quotes separate them; quotes group and are removed; 2n
// backslashes before a quote become n and the quote groups, 2n+1 become n
// and a literal quote; "" inside quotes is a literal quote. SETUP.EXE would
// stop at that argument and exit with 0 without installing anything.
std::optional<std::string> InvalidForceCode(std::string_view switches);

// SETUP.EXE writes its texts in the console's code page (OEM), and the
// paths that Windows gives it in the ANSI code page. Its trace lines of a
// path, "NAME = >PATH<", hold nothing else: they are ANSI. Every other line
// is OEM, a translated text with a path in it too, whose two code pages
// cannot be told apart.
bool OutputLineIsAnsi(std::string_view line);

}  // namespace qsetup::msi
