#include <windows.h>

#include "win32/win32_libraries.h"
#include "win32/win32_replace.h"

namespace qsetup::win32 {

std::optional<std::uint64_t> ReadSystemStartTime() {
  // The milliseconds since the start, which GetTickCount64 counts without
  // wrapping; looked up, since the oldest systems lack it.
  ULONGLONG(WINAPI * tick_count)() = nullptr;
  if (!Resolve(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount64", tick_count)) {
    return std::nullopt;
  }
  const ULONGLONG since_start = tick_count();
  FILETIME now_time;
  ::GetSystemTimeAsFileTime(&now_time);
  const std::uint64_t now =
      (static_cast<std::uint64_t>(now_time.dwHighDateTime) << 32) | now_time.dwLowDateTime;
  return now - since_start * 10'000;
}

}  // namespace qsetup::win32
