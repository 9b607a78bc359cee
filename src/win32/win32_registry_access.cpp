// Whether a key's security gives this process some rights, asked without
// opening the key with them: the status report foresees the purge so, and a
// report never opens a key for more than reading.
#include <windows.h>

#include "win32/handles.h"
#include "win32/win32_registry_reads.h"

namespace qsetup::win32 {

WinError CheckKeyAccess(HKEY key, std::uint32_t access, bool& granted) {
  granted = false;
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  LONG status = ::RegGetKeySecurity(key, kParts, nullptr, &size);
  if (status != ERROR_INSUFFICIENT_BUFFER)
    return status == ERROR_SUCCESS ? ERROR_INVALID_DATA : status;
  const UniqueHeapBlock descriptor(::HeapAlloc(::GetProcessHeap(), 0, size));
  if (!descriptor) return ERROR_NOT_ENOUGH_MEMORY;
  status = ::RegGetKeySecurity(key, kParts, descriptor.get(), &size);
  if (status != ERROR_SUCCESS) return static_cast<WinError>(status);

  // AccessCheck judges for an impersonation token: this process's own, as an
  // open of the key would be judged.
  HANDLE process_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process_token)) {
    return ::GetLastError();
  }
  const UniqueHandle process_token_owner(process_token);
  HANDLE token = nullptr;
  if (!::DuplicateToken(process_token, SecurityIdentification, &token)) return ::GetLastError();
  const UniqueHandle token_owner(token);

  GENERIC_MAPPING mapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
  DWORD wanted = access;
  ::MapGenericMask(&wanted, &mapping);
  // Room for the privileges that the check may report it used.
  alignas(PRIVILEGE_SET) BYTE privileges[sizeof(PRIVILEGE_SET) + 8 * sizeof(LUID_AND_ATTRIBUTES)];
  DWORD privileges_size = sizeof privileges;
  DWORD given = 0;
  BOOL allowed = FALSE;
  if (!::AccessCheck(descriptor.get(), token, wanted, &mapping,
                     reinterpret_cast<PPRIVILEGE_SET>(privileges), &privileges_size, &given,
                     &allowed)) {
    return ::GetLastError();
  }
  granted = allowed != FALSE;
  return ERROR_SUCCESS;
}

}  // namespace qsetup::win32
