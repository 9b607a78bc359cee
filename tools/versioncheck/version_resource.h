// Reading the version resource of a PE image (a program or a library): the
// data of its first RT_VERSION resource, and the blocks that the data holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qsetup::versioncheck {

// Little-endian reads that fail outside the data instead of reading past it.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  std::string_view data() const { return data_; }
  bool Has(std::size_t at, std::size_t size) const {
    return at <= data_.size() && size <= data_.size() - at;
  }
  std::optional<std::uint32_t> Read(std::size_t at, std::size_t size) const {
    if (!Has(at, size)) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
      value = value << 8 | static_cast<unsigned char>(data_[at + i]);
    }
    return value;
  }
  std::optional<std::uint32_t> U16(std::size_t at) const { return Read(at, 2); }
  std::optional<std::uint32_t> U32(std::size_t at) const { return Read(at, 4); }

 private:
  std::string_view data_;
};

// The data of the image's first RT_VERSION resource, or a fault.
struct ResourceLookup {
  std::string_view data;
  std::string fault;
};

ResourceLookup FindVersionResource(const Bytes& image);

// One block of a version resource: a key, a value (binary, or UTF-16 text
// when `text`), and child blocks, each starting on a 4-byte boundary.
struct Block {
  std::u16string key;
  std::string_view value;
  bool text = false;
  std::vector<Block> children;
};

// The block at `at` of `data` with its children; `end` receives the offset
// behind it. False when it is malformed.
bool ParseBlock(const Bytes& data, std::size_t at, Block& block, std::size_t& end);

// A UTF-16 text value up to its NUL, with any character beyond ASCII as '?'.
std::string TextValue(std::string_view value);

}  // namespace qsetup::versioncheck
