// The source directory's services, which both programs hold: a file of its
// own, apart from SETUP.EXE's run lock (win32_platform.cpp).
#include <windows.h>

#include "win32/handles.h"
#include "win32/win32_files.h"
#include "win32/win32_platform.h"
#include "win32/win32_text.h"

namespace qsetup::win32 {
namespace {

// The short (8.3) form of `path`; empty when it cannot be read.
std::u16string ShortPathName(const std::u16string& path) {
  const DWORD size = ::GetShortPathNameW(AsWide(path), nullptr, 0);
  std::u16string short_path(size, u'\0');
  const DWORD length = size == 0 ? 0 : ::GetShortPathNameW(AsWide(path), AsWide(short_path), size);
  short_path.resize(length < size ? length : 0);
  return short_path;
}

// Where the file `path` lies: its volume's serial number and its index
// there, read without following a link at its end. False when it cannot be
// opened.
bool ReadFileIdentity(const std::u16string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const UniqueFile file(::CreateFileW(
      AsWide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return file && ::GetFileInformationByHandle(file.get(), &info);
}

}  // namespace

ModulePath Win32SourceDirectoryOs::ReadModulePath() {
  ModulePath module;
  module.error = ReadModuleFileName(module.path);
  std::string ansi;
  module.round_trips = Narrow(module.path, CP_ACP, ansi) == kErrorSuccess;
  if (module.round_trips) module.ansi = ansi;
  if (!module.round_trips) Narrow(ShortPathName(module.path), CP_ACP, module.short_ansi);
  return module;
}

std::string Win32SourceDirectoryOs::ReadCurrentDirectory() {
  char buffer[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

bool Win32SourceDirectoryOs::IsDbcsLeadByte(unsigned char byte) {
  return ::IsDBCSLeadByte(byte) != FALSE;
}

bool Win32SourceDirectoryOs::NamesThisProgram(const char* path) {
  std::u16string own_path;
  BY_HANDLE_FILE_INFORMATION own;
  if (ReadModuleFileName(own_path) != kErrorSuccess || !ReadFileIdentity(own_path, own)) {
    return false;
  }
  // Windows adds ".exe" to a program name without one, as a shell's
  // "setup" starts SETUP.EXE.
  std::string name = path;
  for (int tries = 0; tries < 2; ++tries, name += ".exe") {
    std::u16string wide;
    BY_HANDLE_FILE_INFORMATION named;
    if (FilePath(name, wide) == kErrorSuccess && ReadFileIdentity(wide, named) &&
        named.dwVolumeSerialNumber == own.dwVolumeSerialNumber &&
        named.nFileIndexHigh == own.nFileIndexHigh && named.nFileIndexLow == own.nFileIndexLow) {
      return true;
    }
  }
  return false;
}

}  // namespace qsetup::win32
