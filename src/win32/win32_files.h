// Files on the Windows API.
#pragma once

#include <string>

#include "base/readable_file.h"
#include "base/win_errors.h"
#include "win32/handles.h"

namespace qsetup::win32 {

// Opens a file for raw reading, sharing it with other readers and writers and
// letting it be renamed or deleted.
// Null when it cannot be opened, with the Windows error in `error` if given.
ReadableFilePtr OpenReadableFile(const std::string& path, WinError* error = nullptr);

// Looks for `path` with a directory search: kErrorSuccess when it finds an
// entry, else the search's Windows error (ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when there is none).
WinError FindPath(const std::string& path);

}  // namespace qsetup::win32
