// Sample support library of the package: reports the package version.
#include <windows.h>

#include "deploy/stamp_writer.h"
#include "version.h"

QSETUP_DEFINE_VERSION_STAMP(kTelmxwVersionStamp);

extern "C" __declspec(dllexport) const char* TelmxwVersion() {
  QSETUP_KEEP_VERSION_STAMP(kTelmxwVersionStamp);
  return QSETUP_PRODUCT_VERSION;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, void*) {
  return TRUE;
}
