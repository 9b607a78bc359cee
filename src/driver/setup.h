// The frame of one run of SETUP.EXE.
#pragma once

#include "base/registry.h"
#include "base/system_directory.h"
#include "catalog/catalog_os.h"
#include "console/console.h"
#include "deploy/deploy_os.h"
#include "detect/detect_os.h"
#include "driver/driver_os.h"
#include "driver/event_log_os.h"
#include "replace/replace_os.h"
#include "rules/run_lock.h"
#include "rules/source_directory.h"

namespace qsetup {

// Every operating-system service that a run uses, one interface per
// subsystem. The Win32 layer hands in the real ones; tests hand in fakes.
struct Platform {
  ConsoleIo& console;
  CatalogOs& catalog;
  DriverOs& driver;
  SourceDirectoryOs& source;  // the source directory's rule, which the status report shares
  SystemDirectoryOs& system;  // the one reader of the system directory, for every subsystem
  DetectOs& detect;
  DeployOs& deploy;
  ReplaceOs& replace;
  RegistryOs& registry;  // the one registry, for every subsystem
  EventLogOs& event_log;
  std::uint32_t run_lock_wait_ms = kRunLockWaitMs;
};

// Runs the installer with the program's argument vector (the switches are
// upper-cased in place) and returns the process exit code.
int SetupMain(int argc, char** argv, Platform& platform);

}  // namespace qsetup
