// The operating-system services that the setup driver needs itself.
#pragma once

#include <memory>
#include <string>

namespace qsetup {

// Held by the run that changes the machine; released when destroyed.
class RunLock {
 public:
  virtual ~RunLock() = default;
};

class DriverOs {
 public:
  virtual ~DriverOs() = default;

  // The current directory; empty when it cannot be read.
  virtual std::string ReadCurrentDirectory() = 0;

  // True when `byte` leads a double-byte character in the system code page.
  virtual bool IsDbcsLeadByte(unsigned char byte) = 0;

  // Waits until no other run of the installer on this machine holds the run
  // lock, then holds it. Null when no lock can be had.
  virtual std::unique_ptr<RunLock> LockOutOtherRuns() = 0;
};

}  // namespace qsetup
