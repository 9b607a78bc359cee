// The operating-system services that the setup driver needs itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/run_lock.h"

namespace qsetup {

// The program's own file as Windows names it.
struct ModulePath {
  std::u16string path;       // UTF-16; empty when it cannot be read
  bool round_trips = false;  // the ANSI code page holds it without loss
  // Its short (8.3) form in the ANSI code page; empty when that form cannot
  // be read or the code page does not hold it either (a name without a
  // short form, on a volume that makes none).
  std::string short_ansi;
};

class DriverOs {
 public:
  virtual ~DriverOs() = default;

  // The program's own path (GetModuleFileNameW) and what the ANSI code page
  // makes of it.
  virtual ModulePath ReadModulePath() = 0;

  // The current directory; empty when it cannot be read.
  virtual std::string ReadCurrentDirectory() = 0;

  // True when `byte` leads a double-byte character in the system code page.
  virtual bool IsDbcsLeadByte(unsigned char byte) = 0;

  // The run lock, which only the system and administrators can use. Null
  // when it cannot be had, and when an object of its name exists that
  // neither the system nor the Administrators group owns: that is not the
  // lock of a run.
  virtual std::unique_ptr<RunLock> OpenRunLock() = 0;
};

}  // namespace qsetup
