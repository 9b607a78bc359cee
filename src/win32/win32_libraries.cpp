#include "win32/win32_libraries.h"

#include <cwchar>

namespace qsetup::win32 {
namespace {

// kernel32 is mapped into every process; its handle needs no release.
HMODULE Kernel32() {
  return ::GetModuleHandleW(L"kernel32.dll");
}

}  // namespace

LibrarySearch RestrictLibrarySearch() {
  // Looked up, not imported: the loader refuses an image that imports a
  // function its system lacks, before the program could say anything.
  BOOL(WINAPI * set_default_directories)(DWORD) = nullptr;
  if (Resolve(Kernel32(), "SetDefaultDllDirectories", set_default_directories) &&
      set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return LibrarySearch::kSystem32Only;
  }
  RemoveCurrentDirectoryFromSearch();
  return LibrarySearch::kFullPath;
}

void RemoveCurrentDirectoryFromSearch() {
  BOOL(WINAPI * set_dll_directory)(LPCWSTR) = nullptr;
  if (Resolve(Kernel32(), "SetDllDirectoryW", set_dll_directory)) set_dll_directory(L"");
}

UniqueModule LoadSystemLibrary(const wchar_t* name, LibrarySearch search) {
  if (search == LibrarySearch::kSystem32Only) {
    return UniqueModule(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  }
  // The system directory, a separator and the name, in one buffer.
  wchar_t path[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  const std::size_t name_length = std::wcslen(name);
  if (length == 0 || length + 1 + name_length >= MAX_PATH) return UniqueModule();
  path[length] = L'\\';
  std::wmemcpy(path + length + 1, name, name_length + 1);
  // The altered search path looks for the library's own dependencies in its
  // directory first, not in the program's.
  return UniqueModule(::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace qsetup::win32
