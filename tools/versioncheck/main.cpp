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
#include "version_resource.h"

namespace {

namespace fs = std::filesystem;
using qsetup::versioncheck::Block;
using qsetup::versioncheck::Bytes;
using qsetup::versioncheck::FindVersionResource;
using qsetup::versioncheck::ParseBlock;
using qsetup::versioncheck::ResourceLookup;
using qsetup::versioncheck::TextValue;

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
