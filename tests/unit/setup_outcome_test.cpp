#include "msi/setup_outcome.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qsetup::msi {
namespace {

// Fleet tools act on what msiexec returns: only a failed action rolls the
// installation back (1603), only a restart request makes it 3010.
TEST(SetupOutcome, EachExitCodeOfSetupHasItsMsiResult) {
  const struct {
    std::uint32_t exit_code;
    bool succeeded;
    bool restart;
  } cases[] = {
      {0, true, false},  {1, true, true},   {2, false, false},   {8, false, false},
      {16, true, false}, {3, false, false}, {259, false, false}, {0xC0000005, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exit_code);
    const SetupOutcome outcome = OutcomeOfExitCode(c.exit_code);
    EXPECT_EQ(outcome.succeeded, c.succeeded);
    EXPECT_EQ(outcome.restart, c.restart);
    // The log names the code, whatever it means.
    EXPECT_EQ(
        outcome.log_line.rfind("SETUP.EXE exit code " + std::to_string(c.exit_code) + ": ", 0), 0u)
        << outcome.log_line;
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
