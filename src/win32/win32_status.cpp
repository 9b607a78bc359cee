#include "win32/win32_status.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "win32/handles.h"
#include "win32/win32_files.h"
#include "win32/win32_replace.h"
#include "win32/win32_run_lock.h"

namespace qsetup::win32 {
namespace {

// The longest path that Windows gives, in UTF-16 units with its NUL.
constexpr DWORD kLongestPath = 32768;

// `text` (UTF-16) in the code page `code_page`. False when a character has
// no form there (only asked for the ANSI code page) or the conversion fails.
bool FromWide(const wchar_t* text, int length, UINT code_page, std::string& out) {
  if (length == 0) {
    out.clear();
    return true;
  }
  BOOL lost = FALSE;
  // A best fit would name another file ("a" for "ä"): exact or nothing.
  const DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* lost_flag = code_page == CP_UTF8 ? nullptr : &lost;
  const int size =
      ::WideCharToMultiByte(code_page, flags, text, length, nullptr, 0, nullptr, lost_flag);
  if (size <= 0) return false;
  out.assign(static_cast<std::size_t>(size), '\0');
  if (::WideCharToMultiByte(code_page, flags, text, length, out.data(), size, nullptr, lost_flag) !=
      size) {
    return false;
  }
  return lost == FALSE;
}

// UTF-8 in UTF-16; false when it cannot be converted.
bool ToWide(std::string_view text, std::vector<wchar_t>& out) {
  if (text.size() > INT_MAX) return false;
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return false;
  out.resize(static_cast<std::size_t>(size));
  return ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size) == size;
}

// Writes UTF-8 text to a standard handle: to a console as its characters, in
// whatever code page the console has; elsewhere as the bytes themselves.
bool WriteText(DWORD which, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(which);  // the process's: not ours to close
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  std::vector<wchar_t> wide;
  if (::GetConsoleMode(handle, &mode) && ToWide(text, wide)) {
    for (std::size_t at = 0; at < wide.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 1u << 14));
      DWORD written = 0;
      if (!::WriteConsoleW(handle, wide.data() + at, chunk, &written, nullptr) || written == 0) {
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

ProgramLocation Win32StatusOs::LocateProgram() {
  ProgramLocation location;
  // The path as Windows keeps it, in UTF-16: a directory that the ANSI code
  // page cannot name is still reported as it is.
  std::vector<wchar_t> path(MAX_PATH);
  DWORD length = 0;
  for (;;) {
    length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      location.error = ::GetLastError();
      return location;
    }
    if (length < path.size()) break;
    if (path.size() >= kLongestPath) {
      location.error = ERROR_INSUFFICIENT_BUFFER;
      return location;
    }
    path.resize(std::min<std::size_t>(path.size() * 2, kLongestPath));
  }
  const wchar_t* const begin = path.data();
  const wchar_t* const slash = std::find(std::make_reverse_iterator(begin + length),
                                         std::make_reverse_iterator(begin), L'\\')
                                   .base();
  const int directory_length = slash > begin ? static_cast<int>(slash - begin) - 1 : 0;
  if (directory_length == 0 || !FromWide(begin, directory_length, CP_UTF8, location.directory)) {
    location.directory.clear();
    location.error = ERROR_INVALID_NAME;
    return location;
  }
  if (!FromWide(begin, directory_length, CP_ACP, location.ansi_directory)) {
    location.ansi_directory.clear();
  }
  return location;
}

std::optional<std::string> Win32StatusOs::AnsiToUtf8(const std::string& text) {
  if (text.empty()) return std::string();
  if (text.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::vector<wchar_t> wide(static_cast<std::size_t>(size));
  if (::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size) != size) {
    return std::nullopt;
  }
  std::string utf8;
  if (!FromWide(wide.data(), size, CP_UTF8, utf8)) return std::nullopt;
  return utf8;
}

WinError Win32StatusOs::FindPath(const std::string& path) {
  return win32::FindPath(path);
}

ReadableFilePtr Win32StatusOs::OpenForReading(const std::string& path, WinError& error) {
  return OpenReadableFile(path, &error);
}

std::optional<std::uint64_t> Win32StatusOs::SystemStartTime() {
  return ReadSystemStartTime();
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
