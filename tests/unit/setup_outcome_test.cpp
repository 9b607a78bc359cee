#include "msi/setup_outcome.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_replace_os.h"
#include "replace/restart_record.h"

namespace qsetup::msi {
namespace {

ProgramRun Exited(std::uint32_t exit_code) {
  return {ProgramRun::End::kExited, exit_code, kErrorSuccess, false};
}

// Fleet tools act on what msiexec returns: only a failed action rolls the
// installation back (1603). A run whose exit code says nothing of an
// installation fails.
TEST(SetupOutcome, EachRunOfSetupHasItsMsiResult) {
  const struct {
    ProgramRun run;
    bool succeeded;
    const char* said;  // by the log line, after "SETUP.EXE "
  } cases[] = {
      {Exited(0), true, "exit code 0: "},
      {Exited(1), true, "exit code 1: "},
      {Exited(2), false, "exit code 2: "},
      {Exited(8), false, "exit code 8: "},
      {Exited(16), true, "exit code 16: "},
      {Exited(3), false, "exit code 3: "},
      {Exited(259), false, "exit code 259: "},
      {Exited(0xC0000005), false, "exit code 3221225477: "},
      {{ProgramRun::End::kExitCodeUnknown, 0, 6, false},
       false,
       "ran, but its exit code could not be read: Windows error 6."},
      {{ProgramRun::End::kNotStarted, 0, 2, false}, false, "Windows error 2."},
      {{ProgramRun::End::kRanOut, 0, kErrorSuccess, true}, false, "; ended."},
      {{ProgramRun::End::kRanOut, 0, kErrorSuccess, false}, false, "; it could not be ended."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    const SetupOutcome outcome = OutcomeOfSetupRun(c.run);
    EXPECT_EQ(outcome.succeeded, c.succeeded);
    EXPECT_EQ(outcome.log_line.rfind("SETUP.EXE ", 0), 0u) << outcome.log_line;
    EXPECT_NE(outcome.log_line.find(c.said), std::string::npos) << outcome.log_line;
  }
  // The bound ends only a run that SETUP.EXE's own bounds do not: a wait for
  // another run's lock, then a run of its own that the wait outlasts, and
  // one tool's wait more.
  EXPECT_GE(std::uint64_t{kSetupMinutes} * kMinuteMs,
            2 * std::uint64_t{kRunLockWaitMs} + std::uint64_t{kToolPollLimit} * kToolPollMs);
}

// The installation asks for a restart (3010) by SETUP.EXE's restart record,
// whatever SETUP.EXE returned: after 1, and after 16 where older service
// registrations were removed, until Windows starts again.
TEST(SetupOutcome, TheRestartRecordAsksForTheRestart) {
  const struct {
    const char* name;
    bool record;
    bool readable;
    bool restart;
    const char* said;
  } cases[] = {
      {"no record", false, true, false, "No restart is owed."},
      {"a record", true, true, true, "A restart is owed (HKEY_LOCAL_MACHINE\\SOFTWARE\\"},
      {"a record that cannot be read", true, false, false, ": Windows error 5; "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeReplaceOs registry;
    registry.AddKey("SOFTWARE\\Orvane\\Quillon 2");
    if (c.record) registry.AddKey(RestartRecordPath()).volatile_key = true;
    registry.local_machine_open_failures = c.readable ? 0 : 1;
    const RestartRequest request = RequestOfRestartRecord(registry);
    EXPECT_EQ(request.restart, c.restart);
    EXPECT_NE(request.log_line.find(c.said), std::string::npos) << request.log_line;
    EXPECT_EQ(registry.writes, std::vector<std::string>{});
  }
}

// The custom action refuses the switches that would make SETUP.EXE exit with
// 0 without installing, and only those: each argument as SETUP.EXE's runtime
// splits the command line.
TEST(SetupOutcome, InvalidForceCodeIsFoundAsSetupSplitsItsSwitches) {
  const struct {
    const char* switches;
    std::optional<std::string> invalid;
  } cases[] = {
      {"/Q", std::nullopt},
      {"/Q -FU", std::nullopt},
      {"-fu /D -FUSB", std::nullopt},
      {"/Q -Force", "-Force"},
      {"/Q\t-F", "-F"},
      {"-FU -fx -F", "-fx"},
      {"/Q \"-fx\"", "-fx"},
      {"-\"F\"x", "-Fx"},
      {"/Q \"\" -F", "-F"},
      // One argument that does not begin with -F.
      {"\"/Q -F\"", std::nullopt},
      {"\\\"-F", std::nullopt},
      {"\\\\\"-F x\"", std::nullopt},
      {"\"-F\"\"U\"", "-F\"U"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.switches);
    EXPECT_EQ(InvalidForceCode(c.switches), c.invalid);
  }
}

// Paths reach SETUP.EXE in the ANSI code page, its texts are OEM: only its
// trace lines of a path are decoded as ANSI.
TEST(SetupOutcome, TraceLinesOfAPathAreAnsi) {
  EXPECT_TRUE(OutputLineIsAnsi("CopyFile source = >C:\\Soci\xe9t\xe9\\SETUP.EXE<"));
  EXPECT_TRUE(OutputLineIsAnsi("lpBuffr2 = >C:\\windows\\system32<"));
  EXPECT_FALSE(
      OutputLineIsAnsi("Copie de C:\\Soci\xe9t\xe9\\SETUP.EXE termin\x82"
                       "e"));
  EXPECT_FALSE(OutputLineIsAnsi("Installation failed"));
}

}  // namespace
}  // namespace qsetup::msi
