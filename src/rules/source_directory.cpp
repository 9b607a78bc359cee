#include "rules/source_directory.h"

#include "base/ascii.h"

namespace qsetup {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string DeriveSourceDirectory(const char* command_path, SourceDirectoryOs& os) {
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
  const std::string_view drive(path.data(), dir_start);
  const std::string_view directory(path.data() + dir_start, dir_end - dir_start);

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

SourceDirectory ChooseSourceDirectory(const char* command_path, const ModulePath& module,
                                      SourceDirectoryOs& os) {
  SourceDirectory source;
  // A program whose own path cannot be read has only its command path.
  const bool from_command = module.path.empty() || os.NamesThisProgram(command_path);
  source.path = DeriveSourceDirectory(from_command ? command_path : module.ansi.c_str(), os);
  // A directory of dots and separators alone (".", ".\") names the current
  // directory without a letter that the code page could have lost.
  if (from_command && source.path.find_first_not_of("./\\") == std::string::npos) return source;
  // The code page lost letters of the program's own path: its short form
  // names the same directory in ASCII, where the volume has short names.
  if (!module.path.empty() && !module.round_trips) {
    if (module.short_ansi.empty()) {
      source.path.clear();
      source.windows_path =
          std::u16string_view(module.path.data(), module.path.find_last_of(u"\\/") + 1);
      source.error = kErrorNoUnicodeTranslation;
      return source;
    }
    source.path = DeriveSourceDirectory(module.short_ansi.c_str(), os);
  }
  // Never cut: a shorter path names another directory.
  if (source.path.size() > kMaxSourceDirectory) source.error = kErrorFilenameExcedRange;
  return source;
}

const char* UnusableSourceReason(WinError error) {
  return error == kErrorFilenameExcedRange ? "is longer than 255 characters"
                                           : "has no short name in the ANSI code page";
}

}  // namespace qsetup
