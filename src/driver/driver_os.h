// The operating-system services that the setup driver needs itself, beside
// those of the source directory's rule (driver/source_directory.h).
#pragma once

#include <memory>

#include "driver/run_lock.h"
#include "replace/last_run.h"

namespace qsetup {

class DriverOs {
 public:
  virtual ~DriverOs() = default;

  // The run lock, which only the system and administrators can use. Null
  // when it cannot be had, and when an object of its name exists that
  // neither the system nor the Administrators group owns: that is not the
  // lock of a run.
  virtual std::unique_ptr<RunLock> OpenRunLock() = 0;

  // The system clock's time now, in UTC.
  virtual UtcTime Now() = 0;
};

}  // namespace qsetup
