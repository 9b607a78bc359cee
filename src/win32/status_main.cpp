// Entry point of QLN2STAT.EXE, the package's status report.
#include <windows.h>

#include "deploy/stamp_writer.h"
#include "status/status.h"
#include "version.h"
#include "win32/win32_detect.h"
#include "win32/win32_libraries.h"
#include "win32/win32_platform.h"
#include "win32/win32_registry.h"
#include "win32/win32_status.h"

// The program's version stamp, as every package file carries it.
QSETUP_DEFINE_VERSION_STAMP(kStatusVersionStamp);

int main(int argc, char** argv) {
  // As SETUP.EXE: a library planted beside the program is never loaded.
  const qsetup::win32::LibrarySearch search = qsetup::win32::RestrictLibrarySearch();
  QSETUP_KEEP_VERSION_STAMP(kStatusVersionStamp);
  qsetup::win32::Win32StatusOs os;
  qsetup::win32::Win32SourceDirectoryOs source;
  qsetup::win32::Win32SystemDirectoryOs system;
  qsetup::win32::Win32DetectOs detect(search);
  qsetup::win32::Win32RegistryReader registry;
  qsetup::StatusPlatform platform{os, source, system, detect, registry};
  return qsetup::StatusMain(argc, argv, platform);
}
