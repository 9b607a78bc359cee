// A file opened for reading, as the portable subsystems see it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

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

}  // namespace qsetup
