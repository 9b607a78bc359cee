#include "win32/win32_run_lock.h"

// After windows.h, whose types it uses.
#include <aclapi.h>

#include "win32/handles.h"

namespace qsetup::win32 {

DWORD ReadRunLockOwner(HANDLE object, bool& owned) {
  owned = false;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = ::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                                        &owner, nullptr, nullptr, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  const UniqueLocal descriptor_owner(descriptor);
  owned = owner != nullptr && (::IsWellKnownSid(owner, WinLocalSystemSid) ||
                               ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
  return ERROR_SUCCESS;
}

RunLockProbe ProbeRunLock() {
  const UniqueHandle mutex(::OpenMutexW(READ_CONTROL, FALSE, kRunLockName));
  if (!mutex) {
    const DWORD error = ::GetLastError();
    // No object of the name: no run holds the machine or waits for it.
    if (error == ERROR_FILE_NOT_FOUND) return {RunLockPresence::kNone};
    return {RunLockPresence::kUnknown, error};
  }
  bool owned = false;
  if (const DWORD error = ReadRunLockOwner(mutex.get(), owned); error != ERROR_SUCCESS) {
    return {RunLockPresence::kUnknown, error};
  }
  return {owned ? RunLockPresence::kRun : RunLockPresence::kForeign};
}

}  // namespace qsetup::win32
