// The fleet examples of examples/fleet/, run by Wine's cmd as Configuration
// Manager, Intune or a scheduled task would run them, against the real x64
// SETUP.EXE on a machine set up for each exit code, and against a stand-in
// for a crash: install.cmd, the wrapper that logs a run and returns its exit
// code, and by-exit-code.cmd, the README's batch file that branches on it;
// then the wrapper with a log that it cannot write, without SETUP.EXE, and
// with an invalid force code.
// They install for real, so they share the device tests' prefix.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "e2e/devices/machine.h"
#include "e2e/wine_runner.h"
#include "support/written_messages.h"

namespace qsetup::e2e {
namespace {

using namespace written;

namespace fs = std::filesystem;

constexpr char kForced[] = "Skipping hardware detection - forcing Taskel.\r\n";
constexpr char kEarlierRun[] = "==== an earlier run\r\n";

// install.cmd's own exit codes: SETUP.EXE is missing, or cmd could not start
// it; an argument is an invalid force code, so SETUP.EXE was not run.
constexpr int kWrapperNotStarted = 100;
constexpr int kWrapperInvalidForceCode = 101;

// A folder that only administrators and the system may write.
std::string LogDir() {
  return WinePrefix() + "/drive_c/windows/logs";
}

std::string LogFile() {
  return LogDir() + "/qln2-setup.log";
}

// Checks what install.cmd wrote for one run, in its log after `before` or on
// its standard output: the start line, SETUP.EXE's output and the exit code.
void ExpectRecord(const std::string& text, const std::string& before, const std::string& folder,
                  const std::vector<std::string>& args, const std::string& output, int exit_code) {
  // SETUP.EXE's arguments as the start line shows them after /Q: with a
  // blank after /Q even when there are no others.
  std::string command_line = "/Q ";
  for (std::size_t i = 0; i < args.size(); ++i) {
    command_line += (i == 0 ? "" : " ") + args[i];
  }
  // The start line begins with the date and time, whose form is the system's.
  const std::string start_end =
      ": \"" + WindowsPath(folder) + "\\SETUP.EXE\" " + command_line + "\r\n";
  const std::size_t end = text.find(start_end);
  ASSERT_NE(end, std::string::npos) << text;
  const std::string start = text.substr(0, end);
  EXPECT_TRUE(std::regex_match(start, std::regex(before + "==== [^\r\n]*[0-9][^\r\n]*"))) << start;
  EXPECT_EQ(text.substr(end + start_end.size()),
            output + "\r\n==== exit code " + std::to_string(exit_code) + "\r\n");
}

struct ScriptRun {
  int exit_code = 0;  // in full, as a Windows parent sees it
  std::string out;
};

// A run for one exit code: SETUP.EXE's arguments after /Q, its exit code and
// output, and what by-exit-code.cmd prints after that output.
struct Situation {
  std::vector<std::string> args;
  int exit_code;
  std::string output;
  std::string branch;  // what by-exit-code.cmd prints after SETUP.EXE's output
};

class FleetScripts : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Arch() != "x64") GTEST_SKIP() << "the fleet examples are run against the x64 package";
    CleanMachine();
  }
  void TearDown() override { CleanMachine(); }

  // A folder as an administrator lays it out: the package, or a stand-in
  // under the name SETUP.EXE, with the two examples beside it.
  static std::string Folder(bool stand_in) {
    const std::string dir = FreshWorkDir(stand_in ? "stand-in" : "package");
    if (stand_in) {
      CopyFile(Fixture("exit_with"), dir + "/SETUP.EXE");
    } else {
      fs::copy(PackageDir(), dir, fs::copy_options::recursive);
    }
    for (const char* script : {"install.cmd", "by-exit-code.cmd"}) {
      CopyFile(std::string(QSETUP_E2E_EXAMPLES) + "/fleet/" + script, dir + "/" + script);
    }
    return dir;
  }

  static ScriptRun RunScriptOnce(const std::string& folder, const std::string& script,
                                 const std::vector<std::string>& args) {
    std::vector<std::string> command = {"cmd", "/c", WindowsPath(folder + "/" + script)};
    command.insert(command.end(), args.begin(), args.end());
    const RunResult r = RunWine(Fixture("launch"), {.args = command});
    const std::string report = "launch: exit code ";
    const std::size_t at = r.err.rfind(report);
    EXPECT_NE(at, std::string::npos) << r.err;
    ScriptRun run;
    run.exit_code = at == std::string::npos ? -1 : std::stoi(r.err.substr(at + report.size()));
    run.out = r.out;
    return run;
  }

  // Runs a script, after `before` each time. Now and then Wine fails to
  // start a process (seen once in a CI run: cmd reported the package's
  // SETUP.EXE as unknown, 9009, and the next run of the same file worked;
  // install.cmd returns its own code for that). Such a run never reached the
  // program, so the machine is as prepared and the script is run again, up
  // to twice more; a script that cannot start its program at all still fails
  // the test.
  template <typename Before>
  static ScriptRun RunScript(const std::string& folder, const std::string& script,
                             const std::vector<std::string>& args, Before before) {
    constexpr int kNotStarted = 9009;  // cmd's code for a program it could not start
    for (int attempt = 1;; ++attempt) {
      before();
      ScriptRun run = RunScriptOnce(folder, script, args);
      if ((run.exit_code != kNotStarted && run.exit_code != kWrapperNotStarted) || attempt == 3) {
        return run;
      }
      std::printf("[ NOTE     ] %s: cmd could not start the program (%d); running it again\n",
                  script.c_str(), run.exit_code);
    }
  }

  // Runs both examples, each on a machine that `prepare` sets up afresh, and
  // checks the wrapper's log and both exit codes.
  template <typename Prepare>
  static void Check(const Situation& s, Prepare prepare, bool stand_in = false) {
    const std::string folder = Folder(stand_in);
    {
      SCOPED_TRACE("install.cmd");
      const auto machine = prepare();
      const ScriptRun run =
          RunScript(folder, "install.cmd", s.args, [] { WriteFile(LogFile(), kEarlierRun); });
      EXPECT_EQ(run.exit_code, s.exit_code);
      EXPECT_EQ(run.out, "");
      ExpectRecord(NormalizeDots(ReadFile(LogFile())), kEarlierRun, folder, s.args, s.output,
                   s.exit_code);
    }
    CleanMachine();
    {
      SCOPED_TRACE("by-exit-code.cmd");
      const auto machine = prepare();
      const ScriptRun run = RunScript(folder, "by-exit-code.cmd", s.args, [] {});
      EXPECT_EQ(run.exit_code, s.exit_code);
      EXPECT_EQ(NormalizeDots(run.out), s.output + s.branch);
    }
  }

  // A machine that needs nothing beyond a clean one.
  static std::shared_ptr<void> Clean() { return nullptr; }
};

TEST_F(FleetScripts, InstalledOverUsbHid) {
  Check({.args = {"-FU"},
         .exit_code = 0,
         .output = std::string(kForced) + kBanner + kToolRun + kComplete,
         .branch = "Installed.\r\n"},
        Clean);
}

TEST_F(FleetScripts, InstalledOverLegacyServiceKeys) {
  Check({.args = {"-FU"},
         .exit_code = 1,
         .output = std::string(kForced) + kBanner + kToolRun + kComplete + kReboot,
         .branch = "Installed; older service registrations were removed: restart the server.\r\n"},
        [] {
          InstallLegacySoftware(/*with_tool=*/false);
          return std::shared_ptr<void>();
        });
}

TEST_F(FleetScripts, FailedOnATargetThatCannotBeReplaced) {
  Check({.args = {"-FU"},
         .exit_code = 2,
         .output = std::string(kForced) + kBanner + kFailed,
         .branch = "Installation failed with exit code 2.\r\n"},
        [] {
          // A directory where the service tool belongs: no restart can put
          // the file there, and the run ends before it starts a tool.
          std::filesystem::create_directory(UnixSystemDir() + "/TELMXSVC.EXE");
          return std::shared_ptr<void>();
        });
}

TEST_F(FleetScripts, NoAdapter) {
  Check({.args = {},
         .exit_code = 8,
         .output = std::string(kBanner) + kNotFound + kFailed,
         .branch = "No adapter found; nothing was changed.\r\n"},
        Clean);
}

TEST_F(FleetScripts, AdapterWithoutWorkingDriver) {
  const RegisteredDevice adapter(InstanceId("FLEET"), {"USB\\Vid_7a5c&Pid_4001&Rev_0100"});
  ASSERT_TRUE(adapter.registered());
  Check({.args = {},
         .exit_code = 16,
         .output = std::string(kBanner) + kToolRun + kNotWorking + kComplete,
         .branch = "Installed, but the adapter has no working USB driver: check its USB\r\n"
                   "connection and configuration, and restart the server.\r\n"},
        Clean);
}

TEST_F(FleetScripts, CrashAndCodesOutsideTheTable) {
  // An access violation, a code above 16, and one between the table's codes.
  for (const std::string code : {"-1073741819", "32", "3"}) {
    SCOPED_TRACE(code);
    Check({.args = {code},
           .exit_code = std::stoi(code),
           .output = "exit_with /Q " + code + "\r\n",
           .branch = "Installation failed with exit code " + code + ".\r\n"},
          Clean, /*stand_in=*/true);
  }
}

// Runs `undo` when the last copy of the result is gone.
std::shared_ptr<void> Until(std::function<void()> undo) {
  return std::shared_ptr<void>(nullptr, [undo = std::move(undo)](void*) { undo(); });
}

// A log that install.cmd cannot write: SETUP.EXE runs all the same, what the
// log would have got goes to standard output, and the exit code is SETUP.EXE's.
// Without SETUP.EXE, the wrapper returns its own code.
TEST_F(FleetScripts, WrapperWithoutItsLogOrWithoutSetup) {
  const std::string folder = Folder(/*stand_in=*/false);
  const std::string no_adapter = std::string(kBanner) + kNotFound + kFailed;
  struct Case {
    const char* what;
    // Sets the case up until what it returns is destroyed.
    std::function<std::shared_ptr<void>()> prepare;
    int exit_code;
    bool logged;         // the run's record goes to the log, not to standard output
    std::string output;  // SETUP.EXE's, or cmd's when there is none
  };
  const Case cases[] = {
      {"held by an earlier run",
       [] {
         WriteFile(LogFile(), kEarlierRun);
         return std::make_shared<HeldFile>("C:\\windows\\logs\\qln2-setup.log");
       },
       8, false, no_adapter},
      // Refused as Windows refuses a read-only file (Wine lets root write one).
      {"a folder in its place",
       [] {
         fs::remove(LogFile());
         fs::create_directory(LogFile());
         return Until([] {
           std::error_code ignored;
           fs::remove(LogFile(), ignored);
         });
       },
       8, false, no_adapter},
      {"its folder missing",
       [] {
         fs::rename(LogDir(), LogDir() + ".away");
         return Until([] {
           std::error_code ignored;
           fs::rename(LogDir() + ".away", LogDir(), ignored);
         });
       },
       8, false, no_adapter},
      {"SETUP.EXE missing",
       [&folder] {
         WriteFile(LogFile(), kEarlierRun);
         fs::rename(folder + "/SETUP.EXE", folder + "/SETUP.EXE.away");
         return Until([folder] {
           std::error_code ignored;
           fs::rename(folder + "/SETUP.EXE.away", folder + "/SETUP.EXE", ignored);
         });
       },
       kWrapperNotStarted, true,
       "Can't recognize '\"" + WindowsPath(folder) +
           "\\SETUP.EXE\" /Q ' as an internal or external command, or batch script.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto setup = c.prepare();
    // Without SETUP.EXE, the wrapper's own code is the answer, not a start
    // that Wine failed: one run.
    const ScriptRun run = c.exit_code == kWrapperNotStarted
                              ? RunScriptOnce(folder, "install.cmd", {})
                              : RunScript(folder, "install.cmd", {}, [] {});
    EXPECT_EQ(run.exit_code, c.exit_code);
    if (c.logged) {
      EXPECT_EQ(run.out, "");
      ExpectRecord(ReadFile(LogFile()), kEarlierRun, folder, {}, c.output, c.exit_code);
    } else {
      ExpectRecord(NormalizeDots(run.out), "", folder, {}, c.output, c.exit_code);
    }
  }
}

// An argument that begins with -F but not with -FU, in any letter case, is
// refused before SETUP.EXE runs (it would install nothing and return 0); a
// -FU or a switch that merely holds an F goes through.
TEST_F(FleetScripts, WrapperRefusesAnInvalidForceCode) {
  const std::string folder = Folder(/*stand_in=*/true);
  const struct {
    std::vector<std::string> args;
    const char* refused;  // the argument named, or null when SETUP.EXE runs
  } cases[] = {
      {{"-Force", "3"}, "-Force"},
      {{"/D", "-fx", "3"}, "-fx"},
      {{"-FU", "-F"}, "-F"},
      {{"-fu", "/F", "-X-F", "4"}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    const ScriptRun run =
        RunScript(folder, "install.cmd", c.args, [] { WriteFile(LogFile(), kEarlierRun); });
    EXPECT_EQ(run.out, "");
    if (c.refused == nullptr) {
      EXPECT_EQ(run.exit_code, 4);
      ExpectRecord(ReadFile(LogFile()), kEarlierRun, folder, c.args,
                   "exit_with /Q -fu /F -X-F 4\r\n", 4);
      continue;
    }
    EXPECT_EQ(run.exit_code, kWrapperInvalidForceCode);
    ExpectRecord(ReadFile(LogFile()), kEarlierRun, folder, c.args,
                 std::string("install.cmd: ") + c.refused +
                     " is an invalid force code (only -FU forces): SETUP.EXE would install "
                     "nothing and exit with 0, so it was not run.\r\n",
                 kWrapperInvalidForceCode);
  }
}

}  // namespace
}  // namespace qsetup::e2e
