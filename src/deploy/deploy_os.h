// The operating-system services that deploy needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/path_lookup.h"
#include "base/win_errors.h"

namespace qsetup {

// File attribute bits, with the values Windows uses.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeNormal = 0x80;

// A file that a folder holds: its name, without the folder, and when it was
// made (in 100-nanosecond intervals since 1 January 1601, UTC).
struct FoundFile {
  std::string name;
  std::uint64_t created = 0;
};

// A process as the system tells of it.
struct ProcessStatus {
  enum class State {
    kNone,     // no process with that id runs
    kRunning,  // one runs, since `started` (0: it cannot be told)
    kUnknown,  // whether one runs cannot be told
  };
  State state = State::kUnknown;
  std::uint64_t started = 0;  // as FoundFile::created
};

// Whether a file can take a target's place.
enum class Replaceable {
  kNow,        // now: there is none, or nothing holds it
  kAtRestart,  // a program has it in use: at the next start of Windows, before any program runs
  kNever,      // no restart changes it: a directory in its place, no right to replace it
};

struct ReplaceableTarget {
  Replaceable when = Replaceable::kNow;
  WinError error = kErrorSuccess;  // kAtRestart, kNever: what replacing it now gives
};

// Deployment's services, beside the file system as read (PathLookupOs:
// PathExists, OpenForReading).
class DeployOs : public PathLookupOs {
 public:
  // Sets the attributes of `path`; false when that fails (no such file).
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;

  // Copies `source` to the new file `target`, with the source's attributes.
  // Fails, changing nothing, when `target` exists. A copy that fails part way
  // may leave a partial or no `target` behind. Returns the Windows error,
  // kErrorSuccess when it was copied.
  virtual WinError CopyToNew(const std::string& source, const std::string& target) = 0;

  // Writes what the system still holds of the file `path` in its cache to
  // the disk, whatever the file's attributes. Returns the Windows error.
  virtual WinError FlushFile(const std::string& path) = 0;

  // Renames `from` to `to` in one step, replacing an existing `to`, and
  // returns once the rename is on the disk; on failure both are left as
  // they were. Returns the Windows error. An existing `to` that any program
  // holds open is refused, even where it shares everything (a scanner, a
  // backup agent); `from` may be held so.
  virtual WinError MoveOver(const std::string& from, const std::string& to) = 0;

  // Waits `milliseconds`, for a program that holds a file to let go.
  virtual void Wait(std::uint32_t milliseconds) = 0;

  // True when `a` and `b` both name one existing file, as the file system
  // tells it (its volume and its index there): "." and "..", a short name and
  // another letter case all name the same file. False when either cannot be
  // opened.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;

  // Whether a file can take the place of `target`, told without changing
  // it, as a rename over it would meet it: a target that a program holds
  // open, with whatever sharing, or runs from (a sharing violation) can be
  // replaced at the next start of Windows; a directory, or a file that the
  // installer may not write, never.
  virtual ReplaceableTarget CheckReplaceable(const std::string& target) = 0;

  // Leaves to the next start of Windows, before any program runs, the rename
  // of `from` over `to` (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT, which
  // only administrators may ask for). Returns the Windows error.
  virtual WinError ReplaceAtRestart(const std::string& from, const std::string& to) = 0;

  // Leaves the deletion of `path` to the next start of Windows. Returns the
  // Windows error.
  virtual WinError DeleteAtRestart(const std::string& path) = 0;

  // Deletes the file `path`; false when there is none or it cannot go.
  virtual bool RemoveFile(const std::string& path) = 0;

  // Creates the directory `path` (its parent must exist); false when it
  // already exists or cannot be made.
  virtual bool MakeDirectory(const std::string& path) = 0;

  // The files in the folder of `folder_and_prefix` whose names begin with
  // its last part, ASCII case ignored. Empty when there are none or the
  // folder cannot be read.
  virtual std::vector<FoundFile> FilesStartingWith(const std::string& folder_and_prefix) = 0;

  // This process's id.
  virtual std::uint32_t ProcessId() = 0;

  // Whether a process with the id `process_id` runs, and since when.
  virtual ProcessStatus FindProcess(std::uint32_t process_id) = 0;
};

}  // namespace qsetup
