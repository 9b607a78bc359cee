#include "win32/win32_status.h"

#include <windows.h>

#include <algorithm>

#include "win32/handles.h"
#include "win32/win32_files.h"
#include "win32/win32_run_lock.h"
#include "win32/win32_text.h"

namespace qsetup::win32 {
namespace {

// Writes UTF-8 text to a standard handle: to a console as its characters, in
// whatever code page the console has; elsewhere as the bytes themselves.
bool WriteText(DWORD which, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(which);  // the process's: not ours to close
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  std::u16string wide;
  if (::GetConsoleMode(handle, &mode) && Widen(text, CP_UTF8, wide) == kErrorSuccess) {
    for (std::size_t at = 0; at < wide.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 1u << 14));
      DWORD written = 0;
      if (!::WriteConsoleW(handle, AsWide(wide) + at, chunk, &written, nullptr) || written == 0) {
        return false;
      }
      at += written;
    }
    return true;
  }
  while (!text.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 16));
    DWORD written = 0;
    if (!::WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) return false;
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool Win32StatusOs::WriteOut(std::string_view text) {
  return WriteText(STD_OUTPUT_HANDLE, text);
}

void Win32StatusOs::WriteError(std::string_view text) {
  WriteText(STD_ERROR_HANDLE, text);
}

std::optional<std::string> Win32StatusOs::AnsiToUtf8(const std::string& text) {
  std::u16string wide;
  std::string utf8;
  if (Widen(text, CP_ACP, wide) != kErrorSuccess || Narrow(wide, CP_UTF8, utf8) != kErrorSuccess) {
    return std::nullopt;
  }
  return utf8;
}

std::optional<std::string> Win32StatusOs::Utf16ToUtf8(std::u16string_view text) {
  std::string utf8;
  if (Narrow(text, CP_UTF8, utf8) != kErrorSuccess) {
    return std::nullopt;
  }
  return utf8;
}

WinError Win32StatusOs::CheckElevated(bool& elevated) {
  elevated = false;
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid)) {
    return ::GetLastError();
  }
  const UniqueSid administrators(sid);
  // Without a token of its own, the thread's is the process's: a group
  // for denial only is not a member.
  BOOL member = FALSE;
  if (!::CheckTokenMembership(nullptr, administrators.get(), &member)) return ::GetLastError();
  elevated = member != FALSE;
  return kErrorSuccess;
}

ServiceQuery Win32StatusOs::QueryService(const std::string& name) {
  const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return {ServiceState::kNone, ::GetLastError()};
  const UniqueServiceHandle service(
      ::OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  if (!service) return {ServiceState::kNone, ::GetLastError()};
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service.get(), &status)) return {ServiceState::kNone, ::GetLastError()};
  return {static_cast<ServiceState>(status.dwCurrentState), kErrorSuccess};
}

RunLockProbe Win32StatusOs::FindRunLock() {
  return ProbeRunLock();
}

}  // namespace qsetup::win32
