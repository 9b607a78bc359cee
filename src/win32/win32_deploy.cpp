#include "win32/win32_deploy.h"

#include <windows.h>

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

bool Win32DeployOs::CopyOver(const std::string& source, const std::string& target) {
  return ::CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
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

}  // namespace qsetup::win32
