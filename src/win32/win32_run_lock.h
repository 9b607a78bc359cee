// The machine's run lock as the Win32 layer names and recognises it.
// SETUP.EXE makes and holds it (Win32DriverOs::OpenRunLock); QLN2STAT.EXE
// only looks for it (ProbeRunLock).
#pragma once

#include <windows.h>

#include "rules/run_lock.h"

namespace qsetup::win32 {

// One name for every session of the machine.
inline constexpr wchar_t kRunLockName[] = L"Global\\Quillon2-Setup-Run";

// Tells in `owned` whether the owner of `object` (open with READ_CONTROL) is
// the system or the Administrators group: any user can make an object of
// the lock's name, and one that neither made is not a run's lock. Returns
// the Windows error when the owner cannot be read (`owned` is false then).
DWORD ReadRunLockOwner(HANDLE object, bool& owned);

// Whether a run's lock exists now: opened by its name, never made, with the
// right to read its owner and no other, so that this look can neither wait
// for the lock nor hold it.
RunLockProbe ProbeRunLock();

}  // namespace qsetup::win32
