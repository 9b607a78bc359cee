#include "replace/replace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include <string>
#include <vector>

#include "fakes/fake_console_io.h"
#include "fakes/fake_replace_os.h"
#include "fakes/fake_system_directory.h"

namespace qsetup {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::FakeConsoleIo;
using testing::FakeReplaceDeployment;
using testing::FakeReplaceOs;
using testing::FakeTool;

constexpr char kSystemDir[] = "C:\\WINDOWS\\system32";
constexpr char kRestartTool[] = "C:\\WINDOWS\\system32\\vanwdgsv.exe";
constexpr char kServiceTool[] = "C:\\WINDOWS\\system32\\telmxsvc.exe";
constexpr char kOpenServices[] = "open HKLM\\SYSTEM\\CurrentControlSet\\Services\\";
constexpr char kRecordPath[] = "SOFTWARE\\Orvane\\Quillon 2 Setup\\RebootRequired";
constexpr char kReadRecord[] = "open HKLM\\SOFTWARE\\Orvane\\Quillon 2 Setup\\RebootRequired";
constexpr char kStartRestartRemove[] =
    "start C:\\WINDOWS\\system32\\vanwdgsv.exe | \"C:\\WINDOWS\\system32\\vanwdgsv.exe\" -remove";
constexpr char kStartServiceRemove[] =
    "start C:\\WINDOWS\\system32\\telmxsvc.exe | \"C:\\WINDOWS\\system32\\telmxsvc.exe\" -remove";
constexpr char kStartServiceInstall[] =
    "start C:\\WINDOWS\\system32\\telmxsvc.exe | \"C:\\WINDOWS\\system32\\telmxsvc.exe\" "
    "-install -QLN2";
constexpr char kPrepare[] =
    "prepare C:\\WINDOWS\\system32\\drivers\\qln2\\ -> C:\\WINDOWS\\system32\\";
constexpr char kCopyDll[] =
    "copy C:\\WINDOWS\\system32\\drivers\\qln2\\ -> C:\\WINDOWS\\system32\\ TELMXW.DLL";
constexpr char kCopyRem[] =
    "copy C:\\WINDOWS\\system32\\drivers\\qln2\\ -> C:\\WINDOWS\\system32\\ TELMXREM.EXE";
constexpr char kCopySvc[] =
    "copy C:\\WINDOWS\\system32\\drivers\\qln2\\ -> C:\\WINDOWS\\system32\\ TELMXSVC.EXE";

class RunToolTest : public ::testing::Test {
 protected:
  FakeConsoleIo io;
  Console console{io};
  FakeReplaceOs os;
};

TEST_F(RunToolTest, DotsAndWaitsByHowLongTheToolRuns) {
  const struct {
    const char* name;
    FakeTool tool;
    std::string out;
    std::size_t waits;
    int exit_code_reads;
  } cases[] = {
      {"ended at the first poll", {.running_polls = 0}, "\r\n\r\n", 0, 1},
      {"ends during the third wait", {.running_polls = 3}, "\r\n...\r\n", 3, 3},
      {"ended with the code of a running tool",
       {.running_polls = 1, .exit_code = kStillActive},
       "\r\n.\r\n",
       1,
       1},
      {"ends during the last wait",
       {.running_polls = 60},
       "\r\n" + std::string(60, '.') + "\r\n",
       60,
       60},
      {"never ends", {.running_polls = -1}, "\r\n" + std::string(60, '.') + "\r\n", 60, 60},
      {"exit code unreadable", {.exit_code_readable = false}, "\r\n\r\n", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    io.out.clear();
    os.waits.clear();
    os.tools[kServiceTool] = c.tool;
    EXPECT_TRUE(RunTool(os, console, kServiceTool, "-remove", kSystemDir));
    EXPECT_EQ(io.out, c.out);
    EXPECT_EQ(os.waits, std::vector<std::uint32_t>(c.waits, kToolPollMs));
    EXPECT_EQ(os.tools[kServiceTool].exit_code_reads, c.exit_code_reads);
    EXPECT_EQ(os.open_tools, 0);
  }
}

TEST_F(RunToolTest, AToolThatCannotBeStartedPrintsNothing) {
  EXPECT_FALSE(RunTool(os, console, kServiceTool, "-remove", kSystemDir));
  EXPECT_EQ(io.out, "");
  EXPECT_TRUE(os.waits.empty());
}

TEST_F(RunToolTest, TheProgramPathIsQuotedAndNamedAsTheApplication) {
  const std::string program = "C:\\Program Files\\WIN\\system32\\telmxsvc.exe";
  os.tools[program] = {};
  EXPECT_TRUE(RunTool(os, console, program, "-install -QLN2", kSystemDir));
  EXPECT_THAT(os.events, ElementsAre("start " + program + " | \"" + program + "\" -install -QLN2"));
}

class ReplaceDriverTest : public ::testing::Test {
 protected:
  FakeConsoleIo io;
  Console console{io};
  FakeReplaceOs os;
  testing::FakeSystemDirectory system;
  FakeReplaceDeployment deploy{os.events};

  ReplaceDriverTest() { os.AddKey("SOFTWARE"); }

  int Run(bool verbose = false) {
    return ReplaceDriver({os, os, system, console, deploy, verbose});
  }
  void AddLegacyServiceKey() { os.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv"); }
};

TEST_F(ReplaceDriverTest, WithBothToolsPresentEachRemovalIsFollowedByARefresh) {
  os.tools[kRestartTool] = {.running_polls = 2};
  os.tools[kServiceTool] = {.running_polls = 0};
  EXPECT_EQ(Run(), kReplaceDone);
  EXPECT_THAT(os.events,
              ElementsAre(kPrepare, kReadRecord, kStartRestartRemove, "refresh", kOpenServices,
                          kOpenServices, kStartServiceRemove, "refresh", kCopyDll, kCopyRem,
                          kCopySvc, "discard", kStartServiceInstall));
  EXPECT_EQ(io.out, "\r\n..\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(os.open_tools, 0);
  // Never in the installer's own current directory, which users may write.
  EXPECT_THAT(os.tool_directories, ElementsAre(kSystemDir, kSystemDir, kSystemDir));
}

TEST_F(ReplaceDriverTest, AMissingToolIsPassedOverWithoutARefresh) {
  const struct {
    const char* name;
    bool restart_tool, service_tool;
    std::vector<std::string> events;
    std::string out;
  } cases[] = {
      {"no tools",
       false,
       false,
       {kPrepare, kReadRecord, kStartRestartRemove, kOpenServices, kOpenServices,
        kStartServiceRemove, kCopyDll, kCopyRem, kCopySvc, "discard", kStartServiceInstall},
       ""},
      {"only the restart tool",
       true,
       false,
       {kPrepare, kReadRecord, kStartRestartRemove, "refresh", kOpenServices, kOpenServices,
        kStartServiceRemove, kCopyDll, kCopyRem, kCopySvc, "discard", kStartServiceInstall},
       "\r\n\r\n"},
      {"only the service tool",
       false,
       true,
       {kPrepare, kReadRecord, kStartRestartRemove, kOpenServices, kOpenServices,
        kStartServiceRemove, "refresh", kCopyDll, kCopyRem, kCopySvc, "discard",
        kStartServiceInstall},
       "\r\n\r\n\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os.events.clear();
    os.tools.clear();
    io.out.clear();
    if (c.restart_tool) os.tools[kRestartTool] = {};
    if (c.service_tool) os.tools[kServiceTool] = {};
    EXPECT_EQ(Run(), kReplaceDone);
    EXPECT_THAT(os.events, ElementsAreArray(c.events));
    EXPECT_EQ(io.out, c.out);
  }
}

TEST_F(ReplaceDriverTest, ResultByPurgeCopiesAndTheRestartRecord) {
  constexpr std::uint64_t kMinute = 60 * 10'000'000;
  constexpr std::uint64_t kStarted = 133'000'000'000'000'000;
  const struct {
    bool legacy_key;
    // An earlier run's record, which holds the start of the system as an
    // earlier version took it from the clock: this many minutes before the
    // start as the clock tells it now. None without a record.
    std::optional<int> record_age;
    std::vector<std::string> failing_copies;
    int result;
    bool record_after;
    std::vector<std::string> in_use = {};  // files that wait for the next start
  } cases[] = {
      {false, {}, {}, kReplaceDone, false},
      {true, {}, {}, kReplaceRestartNeeded, true},
      {true, {}, {"TELMXSVC.EXE"}, kReplaceCopyFailed, true},
      {false, {}, {"TELMXW.DLL"}, kReplaceCopyFailed, false},
      {true, {}, {"TELMXW.DLL", "TELMXREM.EXE"}, kReplaceCopyFailed, true},
      // The earlier run was ended before it reported the restart.
      {false, 0, {}, kReplaceRestartNeeded, true},
      {false, 5, {}, kReplaceRestartNeeded, true},  // the clock was corrected since
      {false, 0, {"TELMXW.DLL"}, kReplaceCopyFailed, true},
      // The clock was set an hour ahead, or the machine restored from a
      // saved state: Windows has not started again, and the record stands.
      {false, 60, {}, kReplaceRestartNeeded, true},
      {true, 60, {}, kReplaceRestartNeeded, true},
      // Files in use: the restart completes them, and is recorded for them.
      {false, {}, {}, kReplaceRestartNeeded, true, {"TELMXW.DLL"}},
      {false, 60, {}, kReplaceRestartNeeded, true, {"TELMXSVC.EXE"}},
      {false, {}, {"TELMXW.DLL"}, kReplaceCopyFailed, true, {"TELMXSVC.EXE"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "legacy key " << c.legacy_key << ", record age " << c.record_age.value_or(-1)
                 << ", failing " << ::testing::PrintToString(c.failing_copies));
    os.events.clear();
    os.AddKey("SOFTWARE\\Orvane\\Quillon 2 Setup").subkeys.clear();
    if (c.legacy_key) AddLegacyServiceKey();
    if (c.record_age) {
      os.AddKey(kRecordPath).volatile_key = true;
      os.AddKey(kRecordPath).values["systemstarttime"] = {
          RegistryValue::Type::kQword,
          {},
          kStarted - kMinute * static_cast<unsigned>(*c.record_age)};
    }
    deploy.failing_copies = c.failing_copies;
    deploy.in_use = c.in_use;
    std::vector<std::string> at_restart;
    EXPECT_EQ(ReplaceDriver({os, os, system, console, deploy, false, nullptr, &at_restart}),
              c.result);
    EXPECT_EQ(at_restart, c.in_use);
    // Every copy is tried, whatever the earlier ones did.
    EXPECT_EQ(std::count_if(os.events.begin(), os.events.end(),
                            [](const std::string& e) { return e.starts_with("copy "); }),
              3);
    EXPECT_EQ(os.FindKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv"), nullptr);
    const testing::FakeKey* record = os.FindKey(kRecordPath);
    ASSERT_EQ(record != nullptr, c.record_after);
    if (record != nullptr && c.legacy_key) {
      // Made by this run: gone at the next start.
      EXPECT_TRUE(record->volatile_key);
    }
    EXPECT_EQ(os.open_keys, 0);
  }
}

TEST_F(ReplaceDriverTest, ARecordIsTakenBackOnlyWhenItWasMadeForNothing) {
  const struct {
    const char* name;
    bool deletable_first;  // a legacy key before the one that cannot be deleted
    bool earlier_record;
    int result;
  } cases[] = {
      // A legacy key whose DACL is reset but that cannot be deleted: no
      // restart is owed, and no later run may report one.
      {"only a key that cannot be deleted", false, false, kReplaceDone},
      {"one key deleted, a later one not", true, false, kReplaceRestartNeeded},
      {"an earlier run's record", false, true, kReplaceRestartNeeded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os.AddKey("SOFTWARE").subkeys.clear();
    if (c.deletable_first) AddLegacyServiceKey();
    os.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgex").deletable = false;
    if (c.earlier_record) os.AddKey(kRecordPath).volatile_key = true;
    EXPECT_EQ(Run(), c.result);
    EXPECT_NE(os.FindKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgex"), nullptr);
    EXPECT_EQ(os.FindKey(kRecordPath) != nullptr, c.result == kReplaceRestartNeeded);
    EXPECT_EQ(Run(), c.result);
  }
}

TEST_F(ReplaceDriverTest, VerboseShowsBothFoldersBeforeTheFirstCopy) {
  os.tools[kServiceTool] = {};
  deploy.output = &io.out;
  Run(true);
  EXPECT_EQ(deploy.output_at_first_copy,
            "\r\n\r\n"
            "lpBuffer = >C:\\WINDOWS\\system32\\drivers\\qln2\\<\r\n"
            "lpBuffr2 = >C:\\WINDOWS\\system32\\<\r\n");

  io.out.clear();
  FakeReplaceDeployment quiet(os.events);
  quiet.output = &io.out;
  ReplaceDriver({os, os, system, console, quiet, false});
  EXPECT_EQ(quiet.output_at_first_copy, "\r\n\r\n");
}

TEST_F(ReplaceDriverTest, ASystemDirectoryWithABlankStaysOneProgramPath) {
  system.Set("C:\\Program Files\\WIN\\system32");
  Run();
  EXPECT_THAT(os.events,
              ::testing::Contains("start C:\\Program Files\\WIN\\system32\\vanwdgsv.exe | "
                                  "\"C:\\Program Files\\WIN\\system32\\vanwdgsv.exe\" -remove"));
  EXPECT_THAT(os.events,
              ::testing::Contains("start C:\\Program Files\\WIN\\system32\\telmxsvc.exe | "
                                  "\"C:\\Program Files\\WIN\\system32\\telmxsvc.exe\" "
                                  "-install -QLN2"));
}

TEST_F(ReplaceDriverTest, NothingIsRemovedBeforeEveryFileCanTakeItsPlace) {
  const struct {
    const char* name;
    bool system_directory, preparable;
    std::vector<std::string> events;
  } cases[] = {
      {"no system directory", false, true, {}},
      {"a target that cannot take its file", true, false, {kPrepare}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakeReplaceOs fresh;
    testing::FakeSystemDirectory fresh_system;
    FakeReplaceDeployment steps(fresh.events);
    if (!c.system_directory) fresh_system.Fail();
    steps.unpreparable = !c.preparable;
    fresh.tools[kRestartTool] = {};
    fresh.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv");
    EXPECT_EQ(ReplaceDriver({fresh, fresh, fresh_system, console, steps, false}),
              kReplaceCopyFailed);
    EXPECT_THAT(fresh.events, ElementsAreArray(c.events));
    EXPECT_NE(fresh.FindKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv"), nullptr);
    EXPECT_EQ(io.out, "");
  }
}

}  // namespace
}  // namespace qsetup
