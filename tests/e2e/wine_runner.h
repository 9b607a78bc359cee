// Runs Windows programs under Wine for the end-to-end tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qsetup::e2e {

struct RunOptions {
  std::vector<std::string> args;           // after the program
  std::optional<std::string> stdin_data;   // nullopt: standard input is /dev/null
  std::map<std::string, std::string> env;  // added to the test's environment
  std::string cwd;                         // Unix directory to start in; empty: the test's
  int timeout_seconds = 60;
};

struct RunResult {
  int exit_code = -1;  // -1 when the program did not end by itself
  std::string out;     // standard output, byte for byte
  std::string err;
};

// Runs `program` (a Unix path to a Windows executable) with wine.
RunResult RunWine(const std::string& program, const RunOptions& options = {});

// A fixture program of the architecture under test that holds something
// (it prints "held" once it does) until this object is destroyed, when its
// standard input ends.
class Held {
 public:
  Held(const std::string& fixture, const std::vector<std::string>& args);
  ~Held();
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  int pid_ = -1;
  int in_ = -1;
};

// A file of the prefix held open by the hold_file fixture, as a program that
// has it in use would: without sharing, or with `readers` sharing it with
// readers alone, as a program that loaded it. `windows_path` as the fixture
// of the architecture under test sees it.
class HeldFile : public Held {
 public:
  explicit HeldFile(const std::string& windows_path, bool readers = false)
      : Held("hold_file", readers ? std::vector<std::string>{windows_path, "read"}
                                  : std::vector<std::string>{windows_path}) {}
};

// Runs a Unix command and returns its exit code (stdout and stderr to `out`).
int RunCommand(const std::vector<std::string>& argv, std::string* out = nullptr,
               const std::map<std::string, std::string>& env = {});

// The architecture under test (QSETUP_ARCH: "x64" or "x86"), its package
// directory, the Wine prefix that the test run made for it, and a scratch
// directory for one test, made empty.
std::string PackageDir();
std::string FixtureDir();  // the Windows test fixture programs of the architecture
std::string Arch();
std::string WinePrefix();
std::string FreshWorkDir(const std::string& name);

// The directory of the prefix where the program under test sees its system
// directory (system32 for x64, syswow64 for x86 programs).
std::string UnixSystemDir();

// Held by a test that creates, deletes or purges service keys: the purge
// takes every matching key that it finds in the prefix's Services key, so
// such tests never overlap, even where tests of one prefix run side by side.
class ServiceKeysLock {
 public:
  ServiceKeysLock();
  ~ServiceKeysLock();
  ServiceKeysLock(const ServiceKeysLock&) = delete;
  ServiceKeysLock& operator=(const ServiceKeysLock&) = delete;

 private:
  int fd_;
};

// A Unix path as Windows programs under Wine see it, through drive Z:.
std::string WindowsPath(const std::string& unix_path);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
void CopyFile(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);

// The copies that the installer left pending beside the file `path` (a Unix
// path): the names in its folder that begin with its own and ".~qln2", in any
// letter case.
std::vector<std::string> PendingCopies(const std::string& path);

// The entry of `dir` named `name` in any letter case, as Windows programs see
// it; `dir`/`name` when there is none.
std::string PathIgnoringCase(const std::string& dir, const std::string& name);

}  // namespace qsetup::e2e
