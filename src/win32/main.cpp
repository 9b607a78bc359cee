// Entry point of SETUP.EXE.
#include <windows.h>

#include "deploy/stamp_writer.h"
#include "driver/setup.h"
#include "version.h"
#include "win32/win32_console.h"
#include "win32/win32_deploy.h"
#include "win32/win32_detect.h"
#include "win32/win32_event_log.h"
#include "win32/win32_libraries.h"
#include "win32/win32_platform.h"
#include "win32/win32_registry.h"
#include "win32/win32_replace.h"

// The program's own version stamp: staging compares SETUP.EXE like every
// other package file, by the stamp in its first 100000 bytes.
QSETUP_DEFINE_VERSION_STAMP(kSetupVersionStamp);

int main(int argc, char** argv) {
  // The package directory may hold a planted library: every library the
  // program loads from here on comes from the system directory.
  const qsetup::win32::LibrarySearch search = qsetup::win32::RestrictLibrarySearch();
  QSETUP_KEEP_VERSION_STAMP(kSetupVersionStamp);
  qsetup::win32::Win32ConsoleIo console(search);
  qsetup::win32::Win32CatalogOs catalog;
  qsetup::win32::Win32DriverOs driver;
  qsetup::win32::Win32SourceDirectoryOs source;
  qsetup::win32::Win32SystemDirectoryOs system;
  qsetup::win32::Win32DetectOs detect(search);
  qsetup::win32::Win32DeployOs deploy;
  qsetup::win32::Win32ReplaceOs replace;
  qsetup::win32::Win32RegistryOs registry;
  qsetup::win32::Win32EventLogOs event_log;
  qsetup::Platform platform{console, catalog, driver,  source,   system,
                            detect,  deploy,  replace, registry, event_log};
#ifdef QSETUP_TEST_RUN_LOCK_WAIT_MS
  // A test build that gives up waiting for another run in seconds, not
  // minutes; the product never defines it.
  platform.run_lock_wait_ms = QSETUP_TEST_RUN_LOCK_WAIT_MS;
#endif
  return qsetup::SetupMain(argc, argv, platform);
}
