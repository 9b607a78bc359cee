#include "win32/win32_system_directory.h"

#include <windows.h>

#include "win32/win32_libraries.h"

namespace qsetup::win32 {

SystemDirectory Win32SystemDirectoryOs::ReadSystemDirectory() {
  char buffer[520];
  SystemDirectory result;
  result.length = ::GetSystemDirectoryA(buffer, sizeof buffer);
  if (result.length > 0 && result.length < sizeof buffer) result.path.assign(buffer, result.length);
  return result;
}

std::string Win32SystemDirectoryOs::ReadWow64Directory() {
  // A 64-bit program's system directory is never redirected.
  if constexpr (sizeof(void*) == 8) return {};
  // A 32-bit program's is on 64-bit Windows, the only system where this
  // succeeds. Looked up rather than imported: only a 32-bit image needs it.
  UINT(WINAPI * read_wow64_directory)(LPSTR, UINT) = nullptr;
  if (!Resolve(::GetModuleHandleW(L"kernel32.dll"), "GetSystemWow64DirectoryA",
               read_wow64_directory)) {
    return {};
  }
  char buffer[520];
  const UINT length = read_wow64_directory(buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

}  // namespace qsetup::win32
