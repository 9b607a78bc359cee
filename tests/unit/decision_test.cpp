#include "driver/decision.h"

#include <gtest/gtest.h>

#include "driver/outcome_event.h"
#include "fakes/fake_console_io.h"
#include "support/written_messages.h"

namespace qsetup {
namespace {

using namespace written;

using testing::FakeConsoleIo;

class FakeOperations : public DecisionOperations {
 public:
  bool hid = false;
  bool existing = false;
  int replace_result = kReplaceDone;
  bool staged = true;          // staging put every file in place
  std::string calls;           // one letter per call: H, E, S, R
  Console* console = nullptr;  // staging leaves a mark in the output when set

  bool FindHidDevice() override {
    calls += 'H';
    return hid;
  }
  bool FindExistingDevice() override {
    calls += 'E';
    return existing;
  }
  bool StagePackage() override {
    calls += 'S';
    if (console != nullptr) console->PrintText("<staged>");
    return staged;
  }
  int ReplaceDriver() override {
    calls += 'R';
    return replace_result;
  }
};

constexpr char kSystemDir[] = "C:\\WINDOWS\\system32";

struct Outcome {
  int exit_code;
  std::string out;
  std::string calls;
};

Outcome Decide(FakeOperations steps, RunSettings settings = {}, bool mark_staging = false) {
  FakeConsoleIo io;
  for (int i = 0; i < 4; ++i) io.PressChar('\r');
  Console console(io);
  if (mark_staging) steps.console = &console;
  if (settings.source_dir.empty()) settings.source_dir = "Z:\\pkg\\";
  const Decision decision = RunSetupDecision(steps, settings, console, kSystemDir);
  // The run's end prints the outcome's messages right after the decision.
  PrintOutcome(console, MessageTable(BuiltinMessages()),
               RunOutcomeOf(static_cast<EventId>(decision.exit_code)));
  return {decision.exit_code, io.out, steps.calls};
}

TEST(SetupDecision, EachRowOfTheDecisionTable) {
  struct Row {
    const char* name;
    bool hid, existing;
    int replace;
    Outcome expected;
    bool staged = true;
  };
  const Row rows[] = {
      {"HID route, done", true, false, kReplaceDone, {0, kComplete, "HSR"}},
      {"HID route, restart",
       true,
       false,
       kReplaceRestartNeeded,
       {1, std::string(kComplete) + kReboot, "HSR"}},
      {"HID route, copy failed", true, false, kReplaceCopyFailed, {2, kFailed, "HSR"}},
      {"scan route, nothing found",
       false,
       false,
       kReplaceDone,
       {8, std::string(kNotFound) + kFailed, "HE"}},
      {"scan route, found, done",
       false,
       true,
       kReplaceDone,
       {16, std::string(kNotWorking) + kComplete, "HESR"}},
      {"scan route, found, restart",
       false,
       true,
       kReplaceRestartNeeded,
       {16, std::string(kNotWorking) + kComplete, "HESR"}},
      {"scan route, found, copy failed", false, true, kReplaceCopyFailed, {2, kFailed, "HESR"}},
      // Staging that did not put every file in place ends the run before
      // the replacement removes anything.
      {"HID route, staging failed", true, false, kReplaceDone, {2, kFailed, "HS"}, false},
      {"scan route, found, staging failed", false, true, kReplaceDone, {2, kFailed, "HES"}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeOperations steps;
    steps.hid = row.hid;
    steps.existing = row.existing;
    steps.replace_result = row.replace;
    steps.staged = row.staged;
    const Outcome got = Decide(steps);
    EXPECT_EQ(got.exit_code, row.expected.exit_code);
    EXPECT_EQ(got.out, row.expected.out);
    EXPECT_EQ(got.calls, row.expected.calls);
  }
}

TEST(SetupDecision, SkipHidOverrulesTheProbe) {
  FakeOperations steps;
  steps.hid = true;  // the adapter answers over HID, or -FU said so
  RunSettings settings;
  settings.skip_hid = true;
  const Outcome got = Decide(steps, settings);
  EXPECT_EQ(got.exit_code, 8);
  EXPECT_EQ(got.calls, "HE");  // the probe still runs; the scan decides
}

TEST(SetupDecision, NoStagingWhenRunningFromTheStagingDirectory) {
  for (const char* source :
       {"C:\\WINDOWS\\system32\\drivers\\qln2\\", "c:\\windows\\SYSTEM32\\DRIVERS\\QLN2\\"}) {
    SCOPED_TRACE(source);
    FakeOperations steps;
    steps.hid = true;
    RunSettings settings;
    settings.source_dir = source;
    EXPECT_EQ(Decide(steps, settings).calls, "HR");
    steps.hid = false;
    steps.existing = true;
    EXPECT_EQ(Decide(steps, settings).calls, "HER");
  }
  // Anything that is not literally the staging directory stages.
  for (const char* source : {"C:\\WINDOWS\\system32\\drivers\\qln2", ".", "qln2\\",
                             "C:\\WINDOWS\\system32\\drivers\\qln2\\\\"}) {
    SCOPED_TRACE(source);
    FakeOperations steps;
    steps.hid = true;
    RunSettings settings;
    settings.source_dir = source;
    EXPECT_EQ(Decide(steps, settings).calls, "HSR");
  }
}

TEST(SetupDecision, TracePausesUnderTheVerboseFlag) {
  RunSettings verbose;
  verbose.verbose = true;
  FakeOperations hid;
  hid.hid = true;
  // On the HID route the pause comes after staging, on the scan route before.
  EXPECT_EQ(Decide(hid, verbose, true).out,
            std::string("<staged>Found USB SP.\r\nPress ENTER to continue\r\n") + kComplete);
  FakeOperations none;
  EXPECT_EQ(
      Decide(none, verbose).out,
      std::string("Didn't find USB SP.\r\nPress ENTER to continue\r\n") + kNotFound + kFailed);
  FakeOperations scan;
  scan.existing = true;
  scan.replace_result = kReplaceCopyFailed;
  EXPECT_EQ(
      Decide(scan, verbose, true).out,
      std::string("Found Taskel but NO DRIVER.\r\nPress ENTER to continue\r\n<staged>") + kFailed);
}

}  // namespace
}  // namespace qsetup
