// The source directory's services, which both programs hold: a file of its
// own, apart from SETUP.EXE's run lock (win32_platform.cpp).
#include <windows.h>

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

}  // namespace

ModulePath Win32SourceDirectoryOs::ReadModulePath() {
  ModulePath module;
  module.error = ReadModuleFileName(module.path);
  std::string ansi;
  module.round_trips = Narrow(module.path, CP_ACP, ansi) == kErrorSuccess;
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

}  // namespace qsetup::win32
