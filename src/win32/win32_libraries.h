// Loading the system libraries that the program uses at run time, from the
// system directory only: a library of the same name planted beside the
// program, or in the current directory, is never loaded.
#pragma once

#include "win32/handles.h"

namespace qsetup::win32 {

// How system libraries are loaded once the search is restricted.
enum class LibrarySearch {
  kSystem32Only,  // the process searches System32 alone
  kFullPath,      // by full path, each library's own dependencies from its directory
};

// Restricts every later library search of the process and says how to load
// system libraries from here on. Where SetDefaultDllDirectories exists
// (Windows 8 and later; Windows 7 and Server 2008 R2 with update KB2533623)
// only System32 is searched. Elsewhere the current directory leaves the
// search path, and libraries are loaded by full path.
LibrarySearch RestrictLibrarySearch();

// The fallback of RestrictLibrarySearch on its own: takes the current
// directory out of the search path, where SetDllDirectoryW exists.
void RemoveCurrentDirectoryFromSearch();

// Loads the system library `name` ("hid.dll") as `search` says; null when it
// cannot be loaded.
UniqueModule LoadSystemLibrary(const wchar_t* name, LibrarySearch search);

// The address of `name` in `module`, as the function type of `function`;
// false when the module has no such export.
template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
  const FARPROC address = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  // Through the generic function type, which converts to any other.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  return function != nullptr;
}

}  // namespace qsetup::win32
