// The record that the machine owes a restart because legacy service keys
// were deleted. It is made before the purge deletes the first of them and
// kept until Windows starts again, so that every run until then reports the
// restart, and a run that is ended at any point (a fleet tool's time limit,
// an administrator's Ctrl+Break) leaves it to the next instead of losing it.
#pragma once

#include <string>

#include "base/registry.h"
#include "base/restart_recorder.h"
#include "base/win_errors.h"

namespace qsetup {

// Where it is, as Windows keeps its own pending restarts: a volatile key,
// which the next start of the system takes away, in the registry view that
// both architectures share. That start alone ends it: no clock that is set,
// no virtual machine restored from a saved state, makes it stale.
inline constexpr char kProductKeyName[] = "Orvane\\Quillon 2 Setup";  // below HKLM\SOFTWARE
inline constexpr char kRestartKeyName[] = "RebootRequired";

// The record's key below HKEY_LOCAL_MACHINE.
std::string RestartRecordPath();

// True when the record is there: the machine owes a restart. The one rule of
// SETUP.EXE, QLN2STAT.EXE and the MSI package; changes nothing. When its key
// cannot be opened for another reason than that it is not there, `error` (if
// given) receives the registry status, and no restart is owed.
bool RestartRecorded(RegistryReader& registry, WinError* error = nullptr);

// The record as one run sees it. Failures to read or write it change
// nothing else: a record that cannot be written is lost, one that cannot be
// read is not there.
class RestartRecord final : public RestartRecorder {
 public:
  explicit RestartRecord(RegistryOs& registry) : registry_(registry) {}

  // True when a record is there, made since the last start of the system.
  bool Owed();

  // Called before a legacy service key is deleted: makes sure that a record
  // is there.
  void BeforeDeletion();

  // Called after that deletion: a record that this run made only for
  // deletions that all failed is taken back.
  void AfterDeletion(bool deleted);

  // Called before a file is left for the next start of Windows.
  bool Require() override;

 private:
  RegistryOs& registry_;
  bool owed_ = false;    // there before this run, and current
  bool made_ = false;    // made by this run
  bool needed_ = false;  // a deletion that it was made for succeeded, or a file waits
};

}  // namespace qsetup
