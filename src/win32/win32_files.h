// Files on the Windows API.
#pragma once

#include <string>

#include "base/readable_file.h"
#include "base/win_errors.h"
#include "win32/handles.h"
#include "win32/win32_text.h"

namespace qsetup::win32 {

// `path`, in the ANSI code page as every path of the portable code, into
// `wide` as the wide file functions take it: a path too long for the plain
// file functions becomes its full path behind "\\?\", which lifts their
// limit; any other stays as it is. Returns kErrorSuccess, or why there is
// none (kErrorNoUnicodeTranslation: `path` is not text of the code page;
// the error of reading its full path); an operation on the file fails with
// that error then. Every file operation of this layer converts its paths
// here, once.
WinError FilePath(const std::string& path, std::u16string& wide);

// As ReadableFileOs::OpenForReading: sharing the file with other readers and
// writers and letting it be renamed or deleted.
ReadableFilePtr OpenReadableFile(const std::string& path, WinError* error);

// As PathLookupOs::FindPath: a directory search.
WinError FindPath(const std::string& path);

// The file reads of the subsystem's interface `Interface`, a ReadableFileOs:
// one body for every subsystem.
template <class Interface>
class Win32FileReads : public Interface {
 public:
  using Interface::OpenForReading;
  ReadableFilePtr OpenForReading(const std::string& path, WinError* error) final {
    return OpenReadableFile(path, error);
  }
};

// The same, and the path lookups, for an `Interface` that is a PathLookupOs.
template <class Interface>
class Win32PathLookup : public Win32FileReads<Interface> {
 public:
  WinError FindPath(const std::string& path) final { return win32::FindPath(path); }
};

}  // namespace qsetup::win32
