// Run settings: the command-line switches and the source directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "base/win_errors.h"
#include "console/console.h"
#include "driver/driver_os.h"

namespace qsetup {

inline constexpr char kForceUsb = 'U';

enum class ForceCode { kNone, kUsb, kInvalid };

// What one argument says of the force code, in any letter case: "-FU" and
// whatever follows it force the USB route; any other argument that begins
// with "-F" is an invalid force code. The MSI's custom action asks the same
// of its switches before it runs SETUP.EXE.
constexpr ForceCode ClassifyForceCode(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-' || AsciiUpper(arg[1]) != 'F') return ForceCode::kNone;
  return arg.size() > 2 && AsciiUpper(arg[2]) == kForceUsb ? ForceCode::kUsb : ForceCode::kInvalid;
}

struct RunSettings {
  bool unattended = false;  // /X, /Q, /H: no questions, no final key wait
  bool verbose = false;     // /D: trace lines and trace pauses
  bool skip_hid = false;    // /H: the scan route decides
  char force_code = 0;      // 'U' after -FU
  std::string source_dir;   // where the package lies; ends in a separator, or "."
};

enum class SwitchResult { kContinue, kInvalidForceCode };

// Reads the switches argv[1] .. argv[argc-1], upper-casing each in place.
// Prints the force-code lines. Stops at an invalid force code.
SwitchResult ParseSwitches(int argc, char** argv, RunSettings& settings, Console& console);

// The directory of the command path, with its closing separator and letter
// case: "C:\Pkg\setup.exe" gives "C:\Pkg\", a bare name gives ".", a drive
// and a bare name ("C:setup.exe") give "C:.", that drive's current directory. A path
// rooted without a drive gets the current drive in front; a network path
// (\\server\share\...) keeps its own start.
std::string DeriveSourceDirectory(const char* command_path, DriverOs& os);

// Longest source directory, its closing separator included: the file names
// appended to it must leave its paths within the 520-byte path buffers.
inline constexpr std::size_t kMaxSourceDirectory = 255;

// The source directory that a run uses, or why there is none it can use.
struct SourceDirectory {
  // In the ANSI code page, as every path of the run; when `error` is set, the
  // one that cannot be used (empty where the code page cannot name it).
  std::string path;
  // Where the code page cannot name it: as Windows does, for the report.
  std::u16string windows_path;
  // Why it cannot be used: kErrorNoUnicodeTranslation, the code page cannot
  // name it and it has no short name; kErrorFilenameExcedRange, it is longer
  // than kMaxSourceDirectory.
  WinError error = kErrorSuccess;

  bool usable() const { return error == kErrorSuccess; }
};

// The source directory of a run: the command path's directory, unless the
// ANSI code page cannot hold the program's own path, whose command path then
// has lost letters; the short (8.3) form of the program's own path names its
// directory then.
SourceDirectory ChooseSourceDirectory(const char* command_path, DriverOs& os);

// `text` for a trace line: printable ASCII as it is, every other character as
// "<U+XXXX>", which no file name holds.
std::string PrintableText(std::u16string_view text);

// Under the verbose flag, what makes `source` unusable: its path, and why,
// with a trace pause.
void TraceUnusableSourceDirectory(Console& console, bool verbose, const SourceDirectory& source);

}  // namespace qsetup
