// What the replacement sequence returns, and how long it lets each of its
// tools run: SETUP.EXE's decision, the status report's foresight and the
// MSI's bounds derive from these.
#pragma once

#include <cstdint>

namespace qsetup {

// Replacement results.
inline constexpr int kReplaceDone = 0;
// A restart is needed: a legacy service key was removed, or a file of the
// service waits for the next start of Windows.
inline constexpr int kReplaceRestartNeeded = 1;
inline constexpr int kReplaceCopyFailed = 2;  // a file of the service was not put in place

// The replacement result of a sequence: a failed copy wins; else legacy
// service keys removed by it, or by an earlier run that still owes the
// restart they need, and files that the restart completes ask for the
// restart.
constexpr int ReplacementResult(bool copy_failed, bool legacy_removed, bool restart_owed,
                                bool files_at_restart = false) {
  if (copy_failed) return kReplaceCopyFailed;
  return legacy_removed || restart_owed || files_at_restart ? kReplaceRestartNeeded : kReplaceDone;
}

// Polls of a running tool, each followed by a wait of up to kToolPollMs.
inline constexpr int kToolPollLimit = 60;
inline constexpr std::uint32_t kToolPollMs = 5000;

}  // namespace qsetup
