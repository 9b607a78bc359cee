// The source directory: where the package lies, decided from the command
// path and the program's own path. SETUP.EXE installs from it; the status
// report reads the package there by the same rule, so that both programs
// find the same package or tell why there is none.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/win_errors.h"

namespace qsetup {

// The program's own file as Windows names it.
struct ModulePath {
  std::u16string path;       // UTF-16; empty when it cannot be read
  bool round_trips = false;  // the ANSI code page holds it without loss
  // Its short (8.3) form in the ANSI code page; empty when that form cannot
  // be read or the code page does not hold it either (a name without a
  // short form, on a volume that makes none).
  std::string short_ansi;
  WinError error = kErrorSuccess;  // why `path` cannot be read
  std::string ansi = {};           // `path` in the ANSI code page, where it round-trips
};

// The operating-system services that the rule needs. Both programs hold
// them; none of them changes anything.
class SourceDirectoryOs {
 public:
  virtual ~SourceDirectoryOs() = default;

  // The program's own path (GetModuleFileNameW) and what the ANSI code page
  // makes of it.
  virtual ModulePath ReadModulePath() = 0;

  // The current directory; empty when it cannot be read.
  virtual std::string ReadCurrentDirectory() = 0;

  // True when `path` names the program's own file (the same volume and file
  // index, a link at its end not followed), also without its ".exe". False
  // when either cannot be opened.
  virtual bool NamesThisProgram(const char* path) = 0;

  // True when `byte` leads a double-byte character in the system code page.
  virtual bool IsDbcsLeadByte(unsigned char byte) = 0;
};

// The directory of the command path, with its closing separator and letter
// case: "C:\Pkg\setup.exe" gives "C:\Pkg\", a bare name gives ".", a drive
// and a bare name ("C:setup.exe") give "C:.", that drive's current directory. A path
// rooted without a drive gets the current drive in front; a network path
// (\\server\share\...) keeps its own start.
std::string DeriveSourceDirectory(const char* command_path, SourceDirectoryOs& os);

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

// The source directory of a run started as `command_path` from the program
// `module`: the command path's directory where it names the program's own
// file, else the directory of the program's own path (a launcher can start
// the program by its own name and hand it any command line, in any current
// directory). Where the ANSI code page cannot hold the program's own path,
// whose command path then has lost letters, the short (8.3) form of that
// path names its directory.
SourceDirectory ChooseSourceDirectory(const char* command_path, const ModulePath& module,
                                      SourceDirectoryOs& os);

// Why a source directory whose SourceDirectory::error is `error` cannot be
// used, as the end of a sentence that names it: "is longer than 255
// characters", "has no short name in the ANSI code page".
const char* UnusableSourceReason(WinError error);

}  // namespace qsetup
