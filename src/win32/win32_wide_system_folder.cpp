// A file of its own: only the MSI's actions read the system directory wide.
#include <windows.h>

#include "win32/win32_system_directory.h"

namespace qsetup::win32 {

std::wstring WideSystemFolder() {
  // Asked for its size, it counts the terminating null; the length that it
  // returns once the path fits does not.
  const UINT size = ::GetSystemDirectoryW(nullptr, 0);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  const UINT length = ::GetSystemDirectoryW(folder.data(), size);
  if (length == 0 || length >= size) return {};
  folder.resize(length);
  return folder + L"\\";
}

}  // namespace qsetup::win32
