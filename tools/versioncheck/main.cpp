// versioncheck: checks that laid-out packages carry one version.
//
//   versioncheck --expect VERSION DIR...
//
// VERSION is MAJOR.MINOR.PATCH. Every file under each DIR must carry the
// version stamp "!@#$VERSION$#@!" where the installer's stamp comparison
// reads it, found by the installer's own code (deploy/stamp_text.cpp). Every .EXE and .DLL must
// also hold a version resource whose fixed file and product versions are MAJOR.MINOR.PATCH.0 and
// whose FileVersion and ProductVersion strings are VERSION, in every string
// table. Each fault is printed as "FILE: fault" on standard error. The exit
// code is 0 when every file agrees, 1 when one does not, 2 on a usage error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "deploy/stamp_text.h"

namespace {

namespace fs = std::filesystem;

struct Version {
  std::string text;            // MAJOR.MINOR.PATCH
  std::uint32_t fixed_ms = 0;  // MAJOR, MINOR as VS_FIXEDFILEINFO holds them
  std::uint32_t fixed_ls = 0;  // PATCH, 0
};

std::optional<Version> ParseVersion(const std::string& text) {
  std::uint32_t parts[3] = {};
  std::size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t begin = at;
    std::uint32_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= 0xFFFF) {
      value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
    }
    if (at == begin || value > 0xFFFF) return std::nullopt;
    parts[i] = value;
    if (i < 2 && (at == text.size() || text[at++] != '.')) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return Version{text, parts[0] << 16 | parts[1], parts[2] << 16};
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return bytes.str();
}

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

ResourceLookup FindVersionResource(const Bytes& image) {
  const auto fail = [](const char* fault) { return ResourceLookup{{}, fault}; };
  const auto pe = image.U32(0x3C);
  if (image.data().substr(0, 2) != "MZ" || !pe || !image.Has(*pe, 4) ||
      image.data().substr(*pe, 4) != std::string_view("PE\0\0", 4)) {
    return fail("not a PE image");
  }
  const std::size_t coff = *pe + 4;
  const std::size_t optional_header = coff + 20;
  const auto section_count = image.U16(coff + 2);
  const auto optional_size = image.U16(coff + 16);
  const auto magic = image.U16(optional_header);
  if (!section_count || !optional_size || !magic || (*magic != 0x10B && *magic != 0x20B)) {
    return fail("malformed PE header");
  }
  // The data directories follow the optional header's fixed part, which is
  // 16 bytes longer in a 64-bit image; the resource table is entry 2.
  const std::size_t directories = optional_header + (*magic == 0x20B ? 112 : 96);
  const auto directory_count = image.U32(directories - 4);
  const auto resource_rva = image.U32(directories + 2 * 8);
  if (!directory_count || *directory_count <= 2 || !resource_rva || *resource_rva == 0) {
    return fail("no resources");
  }

  const std::size_t section_table = optional_header + *optional_size;
  const auto file_offset = [&](std::uint32_t rva) -> std::optional<std::size_t> {
    for (std::uint32_t i = 0; i < *section_count; ++i) {
      const std::size_t header = section_table + 40 * std::size_t{i};
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
  };
  const auto root = file_offset(*resource_rva);
  if (!root) return fail("malformed resource directory");

  // One level of the resource tree: the entry with `id`, or the first entry
  // when `id` is empty. Named entries come before numbered ones.
  const auto entry = [&](std::size_t directory,
                         std::optional<std::uint32_t> id) -> std::optional<std::uint32_t> {
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
  };
  constexpr std::uint32_t kSubdirectory = 0x80000000;
  const auto type = entry(*root, 16);  // RT_VERSION
  if (!type) return fail("no version resource");
  const auto name = (*type & kSubdirectory) ? entry(*root + (*type & ~kSubdirectory), {}) : type;
  const auto language =
      name && (*name & kSubdirectory) ? entry(*root + (*name & ~kSubdirectory), {}) : std::nullopt;
  if (!language || (*language & kSubdirectory)) return fail("malformed resource directory");
  const auto data_rva = image.U32(*root + *language);
  const auto data_size = image.U32(*root + *language + 4);
  const auto data = data_rva ? file_offset(*data_rva) : std::nullopt;
  if (!data_size || !data || !image.Has(*data, *data_size)) {
    return fail("malformed resource directory");
  }
  return ResourceLookup{image.data().substr(*data, *data_size), {}};
}

// One block of a version resource: a key, a value (binary, or UTF-16 text
// when `text`), and child blocks, each starting on a 4-byte boundary.
struct Block {
  std::u16string key;
  std::string_view value;
  bool text = false;
  std::vector<Block> children;
};

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t{3};
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

// A UTF-16 text value up to its NUL, with any character beyond ASCII as '?'.
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

std::string FixedText(std::uint32_t ms, std::uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

// The faults of an image's version resource against `version`.
std::vector<std::string> CheckVersionResource(const Bytes& image, const Version& version) {
  const ResourceLookup lookup = FindVersionResource(image);
  if (!lookup.fault.empty()) return {lookup.fault};
  const Bytes data(lookup.data);
  Block root;
  std::size_t end = 0;
  if (!ParseBlock(data, 0, root, end) || root.key != u"VS_VERSION_INFO" || root.value.size() < 52 ||
      Bytes(root.value).U32(0) != 0xFEEF04BD) {
    return {"malformed version resource"};
  }
  std::vector<std::string> faults;
  const Bytes fixed(root.value);
  const std::string expected_fixed = FixedText(version.fixed_ms, version.fixed_ls);
  for (const auto& [name, at] : {std::pair{"file", 8}, std::pair{"product", 16}}) {
    const std::string actual = FixedText(*fixed.U32(at), *fixed.U32(at + 4));
    if (actual != expected_fixed) {
      faults.push_back(std::string("fixed ") + name + " version " + actual + ", expected " +
                       expected_fixed);
    }
  }
  int tables = 0;
  for (const Block& info : root.children) {
    if (info.key != u"StringFileInfo") continue;
    for (const Block& table : info.children) {
      ++tables;
      for (const char* name : {"FileVersion", "ProductVersion"}) {
        const std::u16string key(name, name + std::char_traits<char>::length(name));
        const auto string = std::find_if(table.children.begin(), table.children.end(),
                                         [&](const Block& b) { return b.key == key; });
        if (string == table.children.end()) {
          faults.push_back(std::string(name) + " missing");
        } else if (const std::string value = TextValue(string->value); value != version.text) {
          faults.push_back(std::string(name) + " \"" + value + "\", expected \"" + version.text +
                           "\"");
        }
      }
    }
  }
  if (tables == 0) faults.push_back("no string table");
  return faults;
}

bool IsProgramOrLibrary(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".exe" || extension == ".dll";
}

// Checks every file under `dir`; prints each fault and returns their number.
int CheckDirectory(const fs::path& dir, const Version& version) {
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(dir, ec), last; !ec && it != last; it.increment(ec)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  if (ec) {
    std::cerr << dir.string() << ": cannot be read\n";
    return 1;
  }
  if (files.empty()) {
    std::cerr << dir.string() << ": no files\n";
    return 1;
  }
  std::sort(files.begin(), files.end());
  int faults = 0;
  const auto report = [&](const fs::path& file, const std::string& fault) {
    std::cerr << file.string() << ": " << fault << "\n";
    ++faults;
  };
  for (const fs::path& file : files) {
    const std::optional<std::string> bytes = ReadWholeFile(file);
    if (!bytes) {
      report(file, "cannot be read");
      continue;
    }
    // Found as the installer's stamp comparison finds it.
    const std::optional<std::string> stamp =
        qsetup::StampTextIn(bytes->data(), std::min(bytes->size(), qsetup::kStampBlockSize));
    if (!stamp) {
      report(file, "no version stamp in the first 100000 bytes");
    } else if (*stamp != version.text) {
      report(file, "version stamp \"" + *stamp + "\", expected \"" + version.text + "\"");
    }
    if (IsProgramOrLibrary(file)) {
      for (const std::string& fault : CheckVersionResource(Bytes(*bytes), version)) {
        report(file, fault);
      }
    }
  }
  if (faults == 0) {
    std::cout << "versioncheck: " << files.size() << " files of " << dir.string()
              << " carry version " << version.text << "\n";
  }
  return faults;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::string_view(argv[1]) != "--expect") {
    std::cerr << "usage: versioncheck --expect MAJOR.MINOR.PATCH DIR...\n";
    return 2;
  }
  const std::optional<Version> version = ParseVersion(argv[2]);
  if (!version) {
    std::cerr << "versioncheck: " << argv[2] << " is not MAJOR.MINOR.PATCH\n";
    return 2;
  }
  int faults = 0;
  for (int i = 3; i < argc; ++i) faults += CheckDirectory(argv[i], *version);
  return faults == 0 ? 0 : 1;
}
