#include "driver/settings.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>

#include "base/ascii.h"

namespace qsetup {

SwitchResult ParseSwitches(int argc, char** argv, RunSettings& settings, Console& console) {
  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    for (char* p = arg; *p != '\0'; ++p) *p = AsciiUpper(*p);

    if (std::strcmp(arg, "/X") == 0 || std::strcmp(arg, "-X") == 0 || std::strcmp(arg, "/Q") == 0 ||
        std::strcmp(arg, "-Q") == 0) {
      settings.unattended = true;
    } else if (std::strcmp(arg, "/D") == 0 || std::strcmp(arg, "-D") == 0) {
      settings.verbose = true;
    } else if (std::strcmp(arg, "/H") == 0 || std::strcmp(arg, "-H") == 0) {
      settings.unattended = true;
      settings.skip_hid = true;
    }

    switch (ClassifyForceCode(arg)) {
      case ForceCode::kInvalid:
        console.PrintText("Invalid force code!\n");
        return SwitchResult::kInvalidForceCode;
      case ForceCode::kUsb:
        settings.force_code = kForceUsb;
        console.PrintText("Skipping hardware detection - forcing Taskel.\n");
        break;
      case ForceCode::kNone:
        break;
    }
  }
  return SwitchResult::kContinue;
}

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string DeriveSourceDirectory(const char* command_path, DriverOs& os) {
  const std::string_view path(command_path);
  const bool has_drive = path.size() >= 2 && path[1] == ':';
  const std::size_t dir_start = has_drive ? 2 : 0;

  // The directory part ends after the last separator that is not the trail
  // byte of a double-byte character.
  std::size_t dir_end = dir_start;
  for (std::size_t i = dir_start; i < path.size(); ++i) {
    if (os.IsDbcsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (IsSeparator(path[i])) dir_end = i + 1;
  }
  const std::string_view drive = path.substr(0, dir_start);
  const std::string_view directory = path.substr(dir_start, dir_end - dir_start);

  if (directory.empty()) {
    // A drive alone names that drive's current directory, as a bare name
    // names the current one: the file names appended later begin with a
    // separator, and "C:" followed by "\nls\..." would name the drive's root.
    return std::string(drive) + ".";
  }

  // A path rooted without a drive gets the current drive in front, unless it
  // names a network share, which has no drive to add. When the current
  // directory has no drive letter either (a network path), the rooted path
  // already means the root of the current share.
  const bool network_path =
      directory.size() >= 2 && IsSeparator(directory[0]) && IsSeparator(directory[1]);
  if (drive.empty() && directory[0] == '\\' && !network_path) {
    const std::string current = os.ReadCurrentDirectory();
    if (current.size() >= 2 && current[1] == ':') {
      std::string result(1, AsciiLower(current[0]));
      result += ':';
      result += directory;
      return result;
    }
  }
  std::string result(drive);
  result += directory;
  return result;
}

SourceDirectory ChooseSourceDirectory(const char* command_path, DriverOs& os) {
  SourceDirectory source;
  source.path = DeriveSourceDirectory(command_path, os);
  // A directory of dots and separators alone (".", ".\") names the current
  // directory without a letter that the code page could have lost.
  if (source.path.find_first_not_of("./\\") == std::string::npos) return source;
  // The code page lost letters of the program's own path: its short form
  // names the same directory in ASCII, where the volume has short names.
  const ModulePath module = os.ReadModulePath();
  if (!module.path.empty() && !module.round_trips) {
    if (module.short_ansi.empty()) {
      source.path.clear();
      source.windows_path = module.path.substr(0, module.path.find_last_of(u"\\/") + 1);
      source.error = kErrorNoUnicodeTranslation;
      return source;
    }
    source.path = DeriveSourceDirectory(module.short_ansi.c_str(), os);
  }
  // Never cut: a shorter path names another directory.
  if (source.path.size() > kMaxSourceDirectory) source.error = kErrorFilenameExcedRange;
  return source;
}

std::string PrintableText(std::u16string_view text) {
  std::string printable;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = text[i];
    if (code >= 0x20 && code < 0x7F) {
      printable.push_back(static_cast<char>(code));
      continue;
    }
    // A surrogate pair is one character.
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    // At least four hexadecimal digits, as Unicode writes them.
    char digits[8];
    const char* const end = std::to_chars(digits, std::end(digits), code, 16).ptr;
    printable.append("<U+");
    printable.append(std::max<std::ptrdiff_t>(0, 4 - (end - digits)), '0');
    for (const char* d = digits; d != end; ++d) printable.push_back(AsciiUpper(*d));
    printable.push_back('>');
  }
  return printable;
}

void TraceUnusableSourceDirectory(Console& console, bool verbose, const SourceDirectory& source) {
  if (!verbose) return;
  const std::string path =
      source.windows_path.empty() ? source.path : PrintableText(source.windows_path);
  console.PrintText("Main - source directory = >%s<\n", path.c_str());
  TracePause(console, verbose,
             source.error == kErrorFilenameExcedRange
                 ? "Main - the source directory is longer than 255 characters.\n"
                 : "Main - the source directory has no short name in the ANSI code page.\n",
             kDriverPausePrompt);
}

}  // namespace qsetup
