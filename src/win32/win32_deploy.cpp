#include "win32/win32_deploy.h"

#include <windows.h>

#include "base/ascii.h"
#include "win32/handles.h"
#include "win32/win32_files.h"
#include "win32/win32_text.h"

namespace qsetup::win32 {

bool Win32DeployOs::PathExists(const std::string& path) {
  return FindPath(path) == kErrorSuccess;
}

bool Win32DeployOs::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::u16string wide;
  return FilePath(path, wide) == kErrorSuccess && ::SetFileAttributesW(AsWide(wide), attributes);
}

namespace {

std::uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

WinError Win32DeployOs::CopyToNew(const std::string& source, const std::string& target) {
  std::u16string wide_source, wide_target;
  if (const WinError error = FilePath(source, wide_source); error != kErrorSuccess) return error;
  if (const WinError error = FilePath(target, wide_target); error != kErrorSuccess) return error;
  if (::CopyFileW(AsWide(wide_source), AsWide(wide_target), TRUE)) return kErrorSuccess;
  return LastError();
}

WinError Win32DeployOs::FlushFile(const std::string& path) {
  // Flushing needs a handle that may write, which a read-only file (a copy
  // of a file on read-only media) does not give: its attributes are put
  // back afterwards.
  std::u16string file_path;
  if (const WinError error = FilePath(path, file_path); error != kErrorSuccess) return error;
  const DWORD attributes = ::GetFileAttributesW(AsWide(file_path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only &&
      !::SetFileAttributesW(AsWide(file_path), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    return LastError();
  }
  WinError error = kErrorSuccess;
  {
    const UniqueFile file(::CreateFileW(AsWide(file_path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !::FlushFileBuffers(file.get())) error = LastError();
  }
  if (read_only && !::SetFileAttributesW(AsWide(file_path), attributes) && error == kErrorSuccess) {
    error = LastError();
  }
  return error;
}

WinError Win32DeployOs::MoveOver(const std::string& from, const std::string& to) {
  std::u16string wide_from, wide_to;
  if (const WinError error = FilePath(from, wide_from); error != kErrorSuccess) return error;
  if (const WinError error = FilePath(to, wide_to); error != kErrorSuccess) return error;
  if (::MoveFileExW(AsWide(wide_from), AsWide(wide_to),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return kErrorSuccess;
  }
  return LastError();
}

bool Win32DeployOs::RemoveFile(const std::string& path) {
  std::u16string wide;
  return FilePath(path, wide) == kErrorSuccess && ::DeleteFileW(AsWide(wide));
}

bool Win32DeployOs::MakeDirectory(const std::string& path) {
  std::u16string wide;
  return FilePath(path, wide) == kErrorSuccess && ::CreateDirectoryW(AsWide(wide), nullptr);
}

ReadableFilePtr Win32DeployOs::OpenForReading(const std::string& path) {
  return OpenReadableFile(path);
}

std::vector<FoundFile> Win32DeployOs::FilesStartingWith(const std::string& folder_and_prefix) {
  const std::size_t slash = folder_and_prefix.find_last_of("\\/");
  const std::string prefix =
      slash == std::string::npos ? folder_and_prefix : folder_and_prefix.substr(slash + 1);
  std::vector<FoundFile> names;
  std::u16string pattern;
  if (FilePath(folder_and_prefix + "*", pattern) != kErrorSuccess) return names;
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(AsWide(pattern), &found));
  if (!search) return names;
  do {
    // The pattern also matches short names; only the long name counts. A
    // name that the ANSI code page cannot hold is none of the installer's.
    std::string name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        Narrow(AsUtf16(found.cFileName), CP_ACP, name) == kErrorSuccess &&
        StartsWithIgnoringAsciiCase(name, prefix)) {
      names.push_back({std::move(name), FileTimeValue(found.ftCreationTime)});
    }
  } while (::FindNextFileW(search.get(), &found));
  return names;
}

std::uint32_t Win32DeployOs::ProcessId() {
  return ::GetCurrentProcessId();
}

ProcessStatus Win32DeployOs::FindProcess(std::uint32_t process_id) {
  // The limited right is enough for the times and is granted for more
  // processes; systems before Vista know only the full one.
  UniqueHandle process(
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  DWORD error = process ? ERROR_SUCCESS : ::GetLastError();
  if (!process && error != ERROR_INVALID_PARAMETER) {
    process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process_id));
    error = process ? ERROR_SUCCESS : ::GetLastError();
  }
  // No such process is the only refusal that tells it is not running.
  if (!process) {
    return {error == ERROR_INVALID_PARAMETER ? ProcessStatus::State::kNone
                                             : ProcessStatus::State::kUnknown};
  }
  // A process that has ended keeps its id while others hold its handle.
  switch (::WaitForSingleObject(process.get(), 0)) {
    case WAIT_TIMEOUT:
      break;
    case WAIT_OBJECT_0:
      return {ProcessStatus::State::kNone};
    default:
      return {ProcessStatus::State::kUnknown};
  }
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) {
    return {ProcessStatus::State::kRunning, 0};
  }
  return {ProcessStatus::State::kRunning, FileTimeValue(created)};
}

}  // namespace qsetup::win32
