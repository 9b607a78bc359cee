// Whether a path is there, as a directory search finds it.
#pragma once

#include <string>

#include "base/readable_file.h"
#include "base/win_errors.h"

namespace qsetup {

// The one operating-system service that looks for paths, which every
// subsystem that looks for files extends; each of them reads files too.
class PathLookupOs : public ReadableFileOs {
 public:
  // Looks for `path` (ANSI) as a directory search does: kErrorSuccess when it
  // finds an entry, kErrorFileNotFound or kErrorPathNotFound when there is
  // none, or the error that kept the search from telling.
  virtual WinError FindPath(const std::string& path) = 0;

  // True when FindPath finds an entry.
  bool PathExists(const std::string& path) { return FindPath(path) == kErrorSuccess; }
};

}  // namespace qsetup
