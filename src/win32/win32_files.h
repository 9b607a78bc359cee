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

// Opens a file for raw reading, sharing it with other readers and writers and
// letting it be renamed or deleted.
// Null when it cannot be opened, with the Windows error in `error` if given.
ReadableFilePtr OpenReadableFile(const std::string& path, WinError* error = nullptr);

// Looks for `path` with a directory search: kErrorSuccess when it finds an
// entry, else the search's Windows error (ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when there is none).
WinError FindPath(const std::string& path);

}  // namespace qsetup::win32
