// Entry point of QLN2STAT.EXE, the package's status report.
#include <windows.h>

#include "status/status.h"
#include "version.h"
#include "win32/win32_detect.h"
#include "win32/win32_libraries.h"
#include "win32/win32_platform.h"
#include "win32/win32_registry.h"
#include "win32/win32_status.h"

// The program's version stamp, as every package file carries it.
extern "C" __attribute__((used, section(".text$0stamp"))) const char kStatusVersionStamp[] =
    "!@#$" QSETUP_PRODUCT_VERSION "$#@!";

int main(int argc, char** argv) {
  // As SETUP.EXE: a library planted beside the program is never loaded.
  const qsetup::win32::LibrarySearch search = qsetup::win32::RestrictLibrarySearch();
  // Keeps the stamp in the image when the linker drops unreferenced data.
  asm volatile("" : : "r"(kStatusVersionStamp));
  qsetup::win32::Win32StatusOs os;
  qsetup::win32::Win32SourceDirectoryOs source;
  qsetup::win32::Win32SystemDirectoryOs system;
  qsetup::win32::Win32DetectOs detect(search);
  qsetup::win32::Win32RegistryReader registry;
  qsetup::StatusPlatform platform{os, source, system, detect, registry};
  return qsetup::StatusMain(argc, argv, platform);
}
