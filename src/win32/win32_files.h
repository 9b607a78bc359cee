// Files on the Windows API.
#pragma once

#include <string>

#include "base/readable_file.h"
#include "win32/handles.h"

namespace qsetup::win32 {

// Opens a file for raw reading, sharing it with other readers and writers and
// letting it be renamed or deleted.
// Null when it cannot be opened.
ReadableFilePtr OpenReadableFile(const std::string& path);

}  // namespace qsetup::win32
