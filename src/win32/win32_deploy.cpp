#include "win32/win32_deploy.h"

#include <windows.h>

#include <cwctype>
#include <optional>

#include "base/ascii.h"
#include "win32/handles.h"
#include "win32/win32_files.h"
#include "win32/win32_platform.h"
#include "win32/win32_text.h"

namespace qsetup::win32 {

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

void Win32DeployOs::Wait(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

namespace {

struct FileIdentity {
  DWORD volume = 0;
  DWORD index_high = 0;
  DWORD index_low = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Where `path` lies on which volume; nullopt when it cannot be told. Asks for
// no right that a program in use or a file open elsewhere could deny.
std::optional<FileIdentity> IdentityOf(const std::string& path) {
  std::u16string wide;
  if (FilePath(path, wide) != kErrorSuccess) return std::nullopt;
  const UniqueFile file(::CreateFileW(AsWide(wide), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!file || !::GetFileInformationByHandle(file.get(), &information)) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                      information.nFileIndexLow};
}

}  // namespace

bool Win32DeployOs::SameFile(const std::string& a, const std::string& b) {
  const std::optional<FileIdentity> first = IdentityOf(a);
  return first && first == IdentityOf(b);
}

ReplaceableTarget Win32DeployOs::CheckReplaceable(const std::string& target) {
  std::u16string path;
  if (const WinError error = FilePath(target, path); error != kErrorSuccess) {
    return {Replaceable::kNever, error};
  }
  const DWORD attributes = ::GetFileAttributesW(AsWide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    // Nothing to replace; a folder that is missing shows in the copy beside it.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return {Replaceable::kNever, error};
  }
  // A rename over a directory is refused as access is.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {Replaceable::kNever, ERROR_ACCESS_DENIED};
  }
  // A rename over the file is refused while any program holds it open, even
  // one that shares reading, writing and deletion (a scanner, a backup
  // agent): an open that shares nothing finds such a holder as a sharing
  // violation, and the right to write finds a program that runs from the
  // file. A read-only file refuses that right as access, so its right to be
  // deleted is asked instead: the copy clears the attribute before it
  // replaces it. The open is closed at once.
  const DWORD access =
      (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? DELETE : GENERIC_WRITE | DELETE;
  const UniqueFile file(::CreateFileW(AsWide(path), access, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) return {};
  const DWORD error = LastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
    return {Replaceable::kAtRestart, error};
  }
  return {Replaceable::kNever, error};
}

namespace {

bool StartsWithIgnoringCase(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::towupper(text[i]) != std::towupper(prefix[i])) return false;
  }
  return true;
}

// `path` as the system names it when it starts again: in full, and for a
// 32-bit program on 64-bit Windows, whose system directory is redirected to
// SysWOW64, by the directory where the file really lies; the system does not
// redirect what it is left for its start. Returns the Windows error.
WinError PathAtRestart(const std::string& path, std::u16string& full) {
  std::u16string given;
  if (const WinError error = FilePath(path, given); error != kErrorSuccess) return error;
  const DWORD size = ::GetFullPathNameW(AsWide(given), 0, nullptr, nullptr);
  if (size == 0) return LastError();
  full.assign(size, u'\0');
  const DWORD length = ::GetFullPathNameW(AsWide(given), size, AsWide(full), nullptr);
  if (length == 0 || length >= size) return length == 0 ? LastError() : ERROR_INVALID_NAME;
  full.resize(length);
  Win32SystemDirectoryOs system;
  const std::string wow64 = system.ReadWow64Directory();
  if (wow64.empty()) return kErrorSuccess;
  std::u16string seen, real;
  if (const WinError error = Widen(system.ReadSystemDirectory().path, CP_ACP, seen);
      error != kErrorSuccess) {
    return error;
  }
  if (const WinError error = Widen(wow64, CP_ACP, real); error != kErrorSuccess) return error;
  const std::size_t rest = seen.size();
  if (StartsWithIgnoringCase(full, seen) && (full.size() == rest || full[rest] == u'\\')) {
    full = real + full.substr(rest);
  }
  return kErrorSuccess;
}

}  // namespace

WinError Win32DeployOs::ReplaceAtRestart(const std::string& from, const std::string& to) {
  std::u16string source, target;
  if (const WinError error = PathAtRestart(from, source); error != kErrorSuccess) return error;
  if (const WinError error = PathAtRestart(to, target); error != kErrorSuccess) return error;
  if (::MoveFileExW(AsWide(source), AsWide(target),
                    MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
    return kErrorSuccess;
  }
  return LastError();
}

WinError Win32DeployOs::DeleteAtRestart(const std::string& path) {
  std::u16string file;
  if (const WinError error = PathAtRestart(path, file); error != kErrorSuccess) return error;
  if (::MoveFileExW(AsWide(file), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return kErrorSuccess;
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
