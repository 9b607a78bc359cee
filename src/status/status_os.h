// The operating-system services that the status report needs beside the
// subsystems' own (the system directory, detection, the registry) and the
// file system as read (PathLookupOs). Every one of them reads: the report
// has nothing to write but its own output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/path_lookup.h"
#include "base/win_errors.h"
#include "rules/run_lock.h"

namespace qsetup {

// A service's state as the service control manager reports it, with its
// values; kNone when none is reported.
enum class ServiceState : std::uint32_t {
  kNone = 0,
  kStopped = 1,
  kStartPending = 2,
  kStopPending = 3,
  kRunning = 4,
  kContinuePending = 5,
  kPausePending = 6,
  kPaused = 7,
};

struct ServiceQuery {
  ServiceState state = ServiceState::kNone;
  WinError error = kErrorSuccess;  // kErrorServiceDoesNotExist when it is not registered
};

class StatusOs : public PathLookupOs {
 public:
  // Writes UTF-8 text to standard output: to a console as its characters,
  // to a file or pipe as the bytes given. False when it could not be
  // written whole.
  virtual bool WriteOut(std::string_view text) = 0;

  // Writes UTF-8 text to standard error, as WriteOut does.
  virtual void WriteError(std::string_view text) = 0;

  // Text in the ANSI code page (what the registry and the system directory
  // give the installer) in UTF-8; nullopt when it cannot be converted.
  virtual std::optional<std::string> AnsiToUtf8(const std::string& text) = 0;

  // UTF-16 text (a path as Windows names it) in UTF-8; nullopt when it
  // cannot be converted exactly (a lone surrogate).
  virtual std::optional<std::string> Utf16ToUtf8(std::u16string_view text) = 0;

  // Sets `elevated` when this process's token has BUILTIN\Administrators
  // enabled, as SETUP.EXE's has: only then does a key's security, checked
  // against it, tell what SETUP.EXE may do. A token that user account
  // control filtered holds the group for denial only. Returns kErrorSuccess,
  // or why it cannot be told.
  virtual WinError CheckElevated(bool& elevated) = 0;

  // The state of the service `name`, asked of the service control manager
  // with query rights only.
  virtual ServiceQuery QueryService(const std::string& name) = 0;

  // Looks at the run lock without making it, waiting for it or holding it.
  virtual RunLockProbe FindRunLock() = 0;
};

}  // namespace qsetup
