#include "win32/win32_libraries.h"

#include <string>

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
  wchar_t system_dir[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system_dir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return UniqueModule();
  const std::wstring path = std::wstring(system_dir, length) + L"\\" + name;
  // The altered search path looks for the library's own dependencies in its
  // directory first, not in the program's.
  return UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace qsetup::win32
