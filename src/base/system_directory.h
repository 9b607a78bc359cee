// The Windows system directory, and the folders of the installer below it.
#pragma once

#include <cstdint>
#include <string>

namespace qsetup {

// The system directory as GetSystemDirectoryA reports it into a 520-byte
// buffer.
struct SystemDirectory {
  std::uint32_t length = 0;  // as reported: 0 on failure, the size needed when it did not fit
  std::string path;          // without a closing separator; set only when it fitted

  bool Fitted() const { return !path.empty(); }
};

// The one operating-system service that reads it. The installer reads it
// anew at set moments of a run, always through this.
class SystemDirectoryOs {
 public:
  virtual ~SystemDirectoryOs() = default;
  virtual SystemDirectory ReadSystemDirectory() = 0;

  // Where the system directory of this program lies for 64-bit programs:
  // for a 32-bit program on 64-bit Windows, the directory that its system
  // directory is redirected to (SysWOW64). Empty for any other program, and
  // when it cannot be read.
  virtual std::string ReadWow64Directory() = 0;
};

// Where the files that a program puts in its system directory `system_dir`
// lie, by the path that 64-bit programs (the service control manager, event
// viewers) know them by: the Wow64 directory for a 32-bit program on 64-bit
// Windows, `system_dir` itself for any other.
inline std::string NativeSystemDirectory(SystemDirectoryOs& system, const std::string& system_dir) {
  std::string wow64 = system.ReadWow64Directory();
  return wow64.empty() ? system_dir : wow64;
}

// The staging directory of the package below `system_dir`, with its closing
// separator: "C:\WINDOWS\system32" gives "C:\WINDOWS\system32\drivers\qln2\".
inline std::string StagingFolder(const std::string& system_dir) {
  return system_dir + "\\drivers\\qln2\\";
}

// `system_dir` with its closing separator, the folder that files are copied
// into and tools started from.
inline std::string SystemFolder(const std::string& system_dir) {
  return system_dir + "\\";
}

}  // namespace qsetup
