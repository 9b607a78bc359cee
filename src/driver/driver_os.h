// The operating-system services that the setup driver needs itself, beside
// those of the source directory's rule (rules/source_directory.h).
#pragma once

#include <memory>
#include <string>

#include "replace/last_run.h"
#include "rules/run_lock.h"

namespace qsetup {

class DriverOs {
 public:
  virtual ~DriverOs() = default;

  // The run lock, which only the system and administrators can use. Any
  // program can make an object of its name first; where one exists that
  // neither the system nor the Administrators group owns, `name_taken` is
  // set and the lock is a file in `staging_folder` (made if missing), where
  // only administrators can make files, held open without sharing. Null when
  // neither can be had.
  virtual std::unique_ptr<RunLock> OpenRunLock(const std::string& staging_folder,
                                               bool& name_taken) = 0;

  // The system clock's time now, in UTC.
  virtual UtcTime Now() = 0;
};

}  // namespace qsetup
