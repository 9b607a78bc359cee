#include "version_resource.h"

#include <algorithm>

namespace qsetup::versioncheck {
namespace {

// What the resource lookup needs of an image's headers.
struct PeHeaders {
  std::size_t section_table = 0;
  std::uint32_t section_count = 0;
  std::uint32_t resource_rva = 0;
};

// Reads the headers of `image`; returns the fault when they are not those of
// a PE image with resources, else null.
const char* ReadHeaders(const Bytes& image, PeHeaders& headers) {
  const auto pe = image.U32(0x3C);
  if (image.data().substr(0, 2) != "MZ" || !pe || !image.Has(*pe, 4) ||
      image.data().substr(*pe, 4) != std::string_view("PE\0\0", 4)) {
    return "not a PE image";
  }
  const std::size_t coff = *pe + 4;
  const std::size_t optional_header = coff + 20;
  const auto section_count = image.U16(coff + 2);
  const auto optional_size = image.U16(coff + 16);
  const auto magic = image.U16(optional_header);
  if (!section_count || !optional_size || !magic || (*magic != 0x10B && *magic != 0x20B)) {
    return "malformed PE header";
  }
  // The data directories follow the optional header's fixed part, which is
  // 16 bytes longer in a 64-bit image; the resource table is entry 2.
  const std::size_t directories = optional_header + (*magic == 0x20B ? 112 : 96);
  const auto directory_count = image.U32(directories - 4);
  const auto resource_rva = image.U32(directories + 2 * 8);
  if (!directory_count || *directory_count <= 2 || !resource_rva || *resource_rva == 0) {
    return "no resources";
  }
  headers.section_table = optional_header + *optional_size;
  headers.section_count = *section_count;
  headers.resource_rva = *resource_rva;
  return nullptr;
}

// The file offset of the relative virtual address `rva`; none outside the
// image's sections.
std::optional<std::size_t> FileOffset(const Bytes& image, const PeHeaders& headers,
                                      std::uint32_t rva) {
  for (std::uint32_t i = 0; i < headers.section_count; ++i) {
    const std::size_t header = headers.section_table + 40 * std::size_t{i};
    const auto virtual_size = image.U32(header + 8);
    const auto address = image.U32(header + 12);
    const auto raw_size = image.U32(header + 16);
    const auto raw_offset = image.U32(header + 20);
    if (!virtual_size || !address || !raw_size || !raw_offset) return std::nullopt;
    if (rva >= *address && rva - *address < std::min(*virtual_size, *raw_size)) {
      return std::size_t{*raw_offset} + (rva - *address);
    }
  }
  return std::nullopt;
}

// One level of the resource tree: the entry with `id` of the directory at
// `directory`, or its first entry when `id` is empty. Named entries come
// before numbered ones.
std::optional<std::uint32_t> Entry(const Bytes& image, std::size_t directory,
                                   std::optional<std::uint32_t> id) {
  const auto named = image.U16(directory + 12);
  const auto numbered = image.U16(directory + 14);
  if (!named || !numbered) return std::nullopt;
  for (std::uint32_t i = 0; i < *named + *numbered; ++i) {
    const std::size_t at = directory + 16 + 8 * std::size_t{i};
    const auto name = image.U32(at);
    if (!name) return std::nullopt;
    if (!id || (i >= *named && *name == *id)) return image.U32(at + 4);
  }
  return std::nullopt;
}

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t{3};
}

}  // namespace

ResourceLookup FindVersionResource(const Bytes& image) {
  const auto fail = [](const char* fault) { return ResourceLookup{{}, fault}; };
  PeHeaders headers;
  if (const char* fault = ReadHeaders(image, headers)) return fail(fault);
  const auto root = FileOffset(image, headers, headers.resource_rva);
  if (!root) return fail("malformed resource directory");

  constexpr std::uint32_t kSubdirectory = 0x80000000;
  const auto type = Entry(image, *root, 16);  // RT_VERSION
  if (!type) return fail("no version resource");
  const auto name =
      (*type & kSubdirectory) ? Entry(image, *root + (*type & ~kSubdirectory), {}) : type;
  const auto language = name && (*name & kSubdirectory)
                            ? Entry(image, *root + (*name & ~kSubdirectory), {})
                            : std::nullopt;
  if (!language || (*language & kSubdirectory)) return fail("malformed resource directory");
  const auto data_rva = image.U32(*root + *language);
  const auto data_size = image.U32(*root + *language + 4);
  const auto data = data_rva ? FileOffset(image, headers, *data_rva) : std::nullopt;
  if (!data_size || !data || !image.Has(*data, *data_size)) {
    return fail("malformed resource directory");
  }
  return ResourceLookup{image.data().substr(*data, *data_size), {}};
}

bool ParseBlock(const Bytes& data, std::size_t at, Block& block, std::size_t& end) {
  const auto length = data.U16(at);
  const auto value_length = data.U16(at + 2);
  const auto type = data.U16(at + 4);
  if (!length || !value_length || !type || *length < 6 || !data.Has(at, *length)) return false;
  end = at + *length;
  std::size_t pos = at + 6;
  for (;;) {
    const auto c = data.U16(pos);
    pos += 2;
    if (!c || pos > end) return false;
    if (*c == 0) break;
    block.key.push_back(static_cast<char16_t>(*c));
  }
  pos = Align4(pos);
  block.text = *type == 1;
  const std::size_t value_bytes = block.text ? 2 * std::size_t{*value_length} : *value_length;
  if (*value_length > 0) {
    if (pos > end || value_bytes > end - pos) return false;
    block.value = data.data().substr(pos, value_bytes);
    pos = Align4(pos + value_bytes);
  }
  while (pos < end) {
    Block child;
    std::size_t child_end = 0;
    if (!ParseBlock(data, pos, child, child_end) || child_end > end) return false;
    block.children.push_back(std::move(child));
    pos = Align4(child_end);
  }
  return true;
}

std::string TextValue(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
    const unsigned c = static_cast<unsigned char>(value[i]) |
                       static_cast<unsigned>(static_cast<unsigned char>(value[i + 1])) << 8;
    if (c == 0) break;
    text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return text;
}

}  // namespace qsetup::versioncheck
