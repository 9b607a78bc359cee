// The operating-system services that driver replacement needs: registry keys
// with their security, and the package's tools as child processes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/win_errors.h"

namespace qsetup {

// Access rights asked for when a key is opened.
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kReadControl = 0x20000;
inline constexpr std::uint32_t kWriteDac = 0x40000;

// Exit code of a process that is still running.
inline constexpr std::uint32_t kStillActive = 259;

class RegistryKey;
using RegistryKeyPtr = std::unique_ptr<RegistryKey>;

// An open registry key; destroying it closes the key.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // Opens the subkey `name` with `access` into `key` (options 0). Returns the
  // registry status; `key` is set only on success.
  virtual WinError OpenSubkey(const std::string& name, std::uint32_t access,
                              RegistryKeyPtr& key) = 0;

  // The name of the subkey at zero-based `index`, read into a 512-byte
  // buffer. kErrorNoMoreItems past the last subkey; kErrorMoreData, with
  // `name` empty, when the name does not fit the buffer (a long name in a
  // multi-byte code page).
  virtual WinError EnumSubkey(std::uint32_t index, std::string& name) = 0;

  // Deletes the subkey `name` with its values. Fails for a subkey that still
  // has subkeys of its own.
  virtual WinError DeleteSubkey(const std::string& name) = 0;

  // Asks for the key's DACL with no buffer: kErrorInsufficientBuffer with
  // the size that the DACL needs in `size`, or the failure.
  virtual WinError QueryDaclSize(std::uint32_t& size) = 0;

  // Reads the key's DACL into a process-heap buffer of `size` bytes and
  // releases it again. kErrorNotEnoughMemory when the buffer cannot be had.
  virtual WinError ReadDacl(std::uint32_t size) = 0;

  // Replaces the key's DACL by one that holds a single access-allowed ACE:
  // full control (0xF003F) for BUILTIN\Administrators, no inheritance flags,
  // in an absolute security descriptor. Needs a key opened with kWriteDac.
  // kErrorSuccess when it was written.
  virtual WinError WriteAdministratorsOnlyDacl() = 0;
};

// How a started tool's wait ended.
enum class ToolWait {
  kEnded,     // the tool has ended
  kTimedOut,  // the time given has passed and the tool still runs
};

// A started tool; destroying it closes its process and thread handles and
// leaves the tool running if it still does.
class ToolProcess {
 public:
  virtual ~ToolProcess() = default;

  // The tool's exit code, kStillActive while it runs; nullopt when it cannot
  // be read.
  virtual std::optional<std::uint32_t> ExitCode() = 0;

  // Waits until the tool ends, at most `milliseconds`.
  virtual ToolWait Wait(std::uint32_t milliseconds) = 0;
};

using ToolProcessPtr = std::unique_ptr<ToolProcess>;

class ReplaceOs {
 public:
  virtual ~ReplaceOs() = default;

  // Opens `path` below HKEY_LOCAL_MACHINE with `access` into `key`. Returns
  // the registry status.
  virtual WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                                       RegistryKeyPtr& key) = 0;

  // Starts the program `application` with `command_line` in a new console
  // whose window is hidden, with the installer's own startup information,
  // environment and current directory, inheriting no handles. Null when it
  // cannot be started.
  virtual ToolProcessPtr StartTool(const std::string& application,
                                   const std::string& command_line) = 0;
};

}  // namespace qsetup
