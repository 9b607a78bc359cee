// A file opened for reading, as the portable subsystems see it, and the one
// operation that opens one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/win_errors.h"

namespace qsetup {

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;

  // The size that the file system reports, before any text translation;
  // nullopt when it cannot be read.
  virtual std::optional<std::uint64_t> Size() = 0;

  // Reads up to `capacity` bytes into `buffer`, as many as the file still
  // holds. Returns the number read: 0 at the end of the file or on failure.
  virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
};

using ReadableFilePtr = std::unique_ptr<ReadableFile>;

// The one operating-system service that opens files for reading, which every
// subsystem that reads files extends.
class ReadableFileOs {
 public:
  virtual ~ReadableFileOs() = default;

  // Opens `path` (ANSI) for raw reading, without denying others reading,
  // writing, renaming or deleting it. Null when it cannot be opened, with the
  // Windows error in `*error` where `error` is given.
  virtual ReadableFilePtr OpenForReading(const std::string& path, WinError* error) = 0;
  ReadableFilePtr OpenForReading(const std::string& path) { return OpenForReading(path, nullptr); }
};

}  // namespace qsetup
