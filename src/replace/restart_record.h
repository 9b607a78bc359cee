// The record that the machine owes a restart because legacy service keys
// were deleted. It is made before the purge deletes the first of them and
// kept until Windows starts again, so that every run until then reports the
// restart, and a run that is ended at any point (a fleet tool's time limit,
// an administrator's Ctrl+Break) leaves it to the next instead of losing it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/registry.h"
#include "replace/replace_os.h"

namespace qsetup {

// Where it is, as Windows keeps its own pending restarts: a volatile key,
// which the next start of the system takes away, in the registry view that
// both architectures share. It carries the time of the system's last start.
inline constexpr char kProductKeyName[] = "Orvane\\Quillon 2 Setup";  // below HKLM\SOFTWARE
inline constexpr char kRestartKeyName[] = "RebootRequired";
inline constexpr char kStartTimeValue[] = "SystemStartTime";

// The record's key below HKEY_LOCAL_MACHINE.
std::string RestartRecordPath();

// What the record says, as it is read without changing it.
enum class RestartRecordState {
  kNone,     // there is none, or it cannot be read
  kCurrent,  // made since the last start of the system, or not shown to be older
  kUntimed,  // current, but without its time: its maker was ended before it wrote it
  kStale,    // made before the last start: the restart has happened
};

// True when a record in `state` says that the machine owes a restart: every
// run and every report until Windows starts again says so.
constexpr bool IsOwed(RestartRecordState state) {
  return state == RestartRecordState::kCurrent || state == RestartRecordState::kUntimed;
}

// Reads the record against `started`, the system's last start as far as it
// can be told (ReplaceOs::SystemStartTime). Changes nothing. When its key or
// its time cannot be read for another reason than that it is not there,
// `error` (if given) receives the registry status.
RestartRecordState ReadRestartRecord(RegistryOs& registry, std::optional<std::uint64_t> started,
                                     WinError* error = nullptr);

// The record as one run sees it. Failures to read or write it change
// nothing else: a record that cannot be written is lost, one that cannot be
// read is not there.
class RestartRecord {
 public:
  RestartRecord(RegistryOs& registry, ReplaceOs& os) : registry_(registry), os_(os) {}

  // True when a record made since the last start of the system is there.
  // A record from before that start is stale, since the restart has
  // happened: it is removed. (The record is volatile, so Windows takes it
  // away at its start; a record that outlives it all the same is stale.)
  bool Owed();

  // Called before a legacy service key is deleted: makes sure that a record
  // is there.
  void BeforeDeletion();

  // Called after that deletion: a record that this run made only for
  // deletions that all failed is taken back.
  void AfterDeletion(bool deleted);

  // Called before a file is left for the next start of Windows: makes sure
  // that a record is there, and keeps it. False when it cannot be made.
  bool Require();

 private:
  RegistryOs& registry_;
  ReplaceOs& os_;
  bool owed_ = false;    // there before this run, and current
  bool made_ = false;    // made by this run
  bool needed_ = false;  // a deletion that it was made for succeeded, or a file waits
};

}  // namespace qsetup
