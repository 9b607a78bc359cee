// Which system directory a run can work with. The directory itself is read
// through base/system_directory.h, by every subsystem.
#pragma once

#include <cstdint>

#include "base/system_directory.h"

namespace qsetup {

// The longest system directory that leaves room for the file names appended
// to it in 520-byte path buffers.
inline constexpr std::uint32_t kMaxSystemDirectory = 259;

// True when a run can work with `dir`; otherwise it fails with 2 before
// detection.
inline bool UsableSystemDirectory(const SystemDirectory& dir) {
  return dir.length != 0 && dir.length <= kMaxSystemDirectory;
}

}  // namespace qsetup
