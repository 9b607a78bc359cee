#include "msi/setup_outcome.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qsetup::msi
