#include "win32/win32_platform.h"

#include <windows.h>

#include "win32/win32_files.h"

namespace qsetup::win32 {

std::uint16_t Win32CatalogOs::SystemDefaultLangId() {
  return ::GetSystemDefaultLangID();
}

ReadableFilePtr Win32CatalogOs::OpenForReading(const std::string& path) {
  return OpenReadableFile(path);
}

SystemDirectory Win32SystemDirectoryOs::ReadSystemDirectory() {
  char buffer[520];
  SystemDirectory result;
  result.length = ::GetSystemDirectoryA(buffer, sizeof buffer);
  if (result.length > 0 && result.length < sizeof buffer) result.path.assign(buffer, result.length);
  return result;
}

std::string Win32DriverOs::ReadCurrentDirectory() {
  char buffer[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

bool Win32DriverOs::IsDbcsLeadByte(unsigned char byte) {
  return ::IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace qsetup::win32
