#include "win32/win32_deploy.h"

#include <windows.h>

#include "base/ascii.h"
#include "win32/handles.h"
#include "win32/win32_files.h"

namespace qsetup::win32 {

bool Win32DeployOs::PathExists(const std::string& path) {
  WIN32_FIND_DATAA found;
  const UniqueFind search(::FindFirstFileA(path.c_str(), &found));
  return search.valid();
}

bool Win32DeployOs::SetAttributes(const std::string& path, std::uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

bool Win32DeployOs::CopyToNew(const std::string& source, const std::string& target) {
  return ::CopyFileA(source.c_str(), target.c_str(), TRUE) != FALSE;
}

bool Win32DeployOs::MoveOver(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32DeployOs::RemoveFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != FALSE;
}

bool Win32DeployOs::MakeDirectory(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

ReadableFilePtr Win32DeployOs::OpenForReading(const std::string& path) {
  return OpenReadableFile(path);
}

std::vector<std::string> Win32DeployOs::FilesStartingWith(const std::string& folder_and_prefix) {
  const std::size_t slash = folder_and_prefix.find_last_of("\\/");
  const std::string prefix =
      slash == std::string::npos ? folder_and_prefix : folder_and_prefix.substr(slash + 1);
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const UniqueFind search(::FindFirstFileA((folder_and_prefix + "*").c_str(), &found));
  if (!search) return names;
  do {
    // The pattern also matches short names; only the long name counts.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        StartsWithIgnoringAsciiCase(found.cFileName, prefix)) {
      names.emplace_back(found.cFileName);
    }
  } while (::FindNextFileA(search.get(), &found));
  return names;
}

std::uint32_t Win32DeployOs::ProcessId() {
  return ::GetCurrentProcessId();
}

bool Win32DeployOs::ProcessMayBeRunning(std::uint32_t process_id) {
  const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  // No such process is the only refusal that tells it is not running.
  if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace qsetup::win32
