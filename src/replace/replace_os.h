// The operating-system services that driver replacement needs beside the
// registry (base/registry.h): the package's tools as child processes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/registry.h"
#include "base/win_errors.h"

namespace qsetup {

// Exit code of a process that is still running.
inline constexpr std::uint32_t kStillActive = 259;

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

  // Starts the program `application` with `command_line` in a new console
  // whose window is hidden, with the installer's own startup information and
  // environment, in the current directory `directory`, inheriting no
  // handles. Null when it cannot be started.
  virtual ToolProcessPtr StartTool(const std::string& application, const std::string& command_line,
                                   const std::string& directory) = 0;
};

}  // namespace qsetup
