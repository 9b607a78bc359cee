#include "driver/setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "catalog/messages.h"

#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_detect_os.h"
#include "fakes/fake_machine.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_replace_os.h"
#include "fakes/fake_system_directory.h"
#include "fakes/fault_plan.h"
#include "support/event_facts.h"
#include "support/written_messages.h"

namespace qsetup {
namespace testing {

void PrintTo(const LoggedEvent& event, std::ostream* os) {
  *os << "type " << static_cast<int>(event.type) << ", id " << event.id << ", strings "
      << ::testing::PrintToString(event.strings);
}

}  // namespace testing
namespace {

using namespace written;

using testing::FakeCatalogOs;
using testing::FakeConsoleIo;
using testing::FakeDriverOs;

constexpr char kStaging[] = "C:\\WINDOWS\\system32\\drivers\\qln2\\";
constexpr char kApplicationLog[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr char kEventSource[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvane Quillon 2 Setup";
const char* const kPackageFiles[] = {"SETUP.EXE",   "TELMXW.DLL",   "TELMXREM.EXE",  "TELMXSVC.EXE",
                                     "ENGLISH.NLS", "JAPANESE.NLS", kMessageFileName};

// The whole installer on a machine made of fakes. By default the machine has
// no adapter, and the package lies in C:\Pkg.
class SetupMainTest : public ::testing::Test, public testing::FakeMachine {
 public:
  void SetUp() override {
    deploy.AddDirectory("C:\\WINDOWS\\system32\\drivers");
    for (const char* file : kPackageFiles) {
      deploy.AddFile(std::string("C:\\Pkg\\") + file, std::string("!@#$2.1$#@!") + file);
    }
    replace.AddKey("SYSTEM\\CurrentControlSet\\Services\\Tcpip");
    replace.AddKey(kApplicationLog);
  }

  int Run(std::vector<std::string> args, std::string command = "C:\\Pkg\\setup.exe") {
    args.insert(args.begin(), command);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return SetupMain(static_cast<int>(argv.size()), argv.data(), setup);
  }

  bool Installed() const {
    for (const char* file : {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"}) {
      if (!deploy.HasFile(std::string("C:\\WINDOWS\\system32\\") + file)) return false;
    }
    return true;
  }
};

TEST_F(SetupMainTest, NoAdapterChangesNothing) {
  console.PressChar(' ');
  EXPECT_EQ(Run({}), 8);
  EXPECT_EQ(console.out, std::string(kBanner) + kNotFound + kFailed + kFinalPrompt);
  EXPECT_TRUE(console.keys.empty());
  EXPECT_TRUE(deploy.copies.empty());
  EXPECT_TRUE(deploy.made_directories.empty());
  // No tool started, no key opened but the event source's and that of the
  // last run's record.
  EXPECT_EQ(replace.events, (std::vector<std::string>{std::string("open HKLM\\") + kApplicationLog,
                                                      "open HKLM\\SOFTWARE"}));
}

TEST_F(SetupMainTest, UnattendedRunsDoNotWait) {
  for (const char* sw : {"/Q", "-x", "/h"}) {
    SCOPED_TRACE(sw);
    console.out.clear();
    EXPECT_EQ(Run({sw}), 8);
    EXPECT_EQ(console.out, std::string(kBanner) + kNotFound + kFailed);
    EXPECT_EQ(console.open_calls, 0);
  }
}

TEST_F(SetupMainTest, NobodySeesTheConsoleSoNothingWaitsForAnAnswer) {
  // A service's window station: a key or an answer would never come.
  console.station_visible = false;
  console.PressChar(' ');
  console.in = "n\r\n";
  const std::string paused = "Press ENTER to continue\r\n";
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* newer = nullptr;  // a file that the run finds newer than the package's
    int exit_code;
    std::string out;
  } cases[] = {
      {"final key wait", {}, nullptr, 8, std::string(kBanner) + kNotFound + kFailed + kFinalPrompt},
      {"trace pauses",
       {"/D"},
       nullptr,
       8,
       "Main - loadlangtbl failed.\r\n" + paused + kBanner + "Didn't find USB SP.\r\n" + paused +
           kNotFound + kFailed + kFinalPrompt},
      // The notice is printed; the question is not, and the copy goes ahead.
      {"overwrite question",
       {},
       "C:\\WINDOWS\\system32\\TELMXREM.EXE",
       0,
       std::string(kBanner) +
           "\r\nC:\\WINDOWS\\system32\\drivers\\qln2\\TELMXREM.EXE is older than "
           "C:\\WINDOWS\\system32\\TELMXREM.EXE.\r\n" +
           kComplete + kFinalPrompt},
      // Staging takes the same answer: no question, and no failed copy. (The
      // package's files are named as the source directory and a separator.)
      {"overwrite question of the staging copy",
       {},
       "C:\\WINDOWS\\system32\\drivers\\qln2\\TELMXW.DLL",
       0,
       std::string(kBanner) +
           "\r\nC:\\Pkg\\\\TELMXW.DLL is older than "
           "C:\\WINDOWS\\system32\\drivers\\qln2\\TELMXW.DLL.\r\n" +
           kComplete + kFinalPrompt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    console.out.clear();
    if (c.newer != nullptr) {
      AttachHidAdapter();
      deploy.AddFile(c.newer, "!@#$9.0$#@!newer");
    }
    EXPECT_EQ(Run(c.args), c.exit_code);
    EXPECT_EQ(console.out, c.out);
    EXPECT_EQ(console.open_calls, 0);
    EXPECT_EQ(console.keys.size(), 1u);
    EXPECT_EQ(console.in_reads, 0);
    // The copy went ahead.
    if (c.newer != nullptr) {
      EXPECT_TRUE(deploy.files.at(deploy.Key(c.newer)).data.starts_with("!@#$2.1$#@!")) << c.newer;
    }
  }
}

TEST_F(SetupMainTest, HidRouteStagesAndInstalls) {
  AttachHidAdapter();
  EXPECT_EQ(Run({"/Q"}), 0);
  EXPECT_EQ(console.out, std::string(kBanner) + kComplete);
  for (const char* file : kPackageFiles) {
    EXPECT_TRUE(deploy.HasFile(std::string(kStaging) + file)) << file;
  }
  EXPECT_TRUE(Installed());
  EXPECT_EQ(detect.device_sets_opened, 0);  // the scan never ran
}

TEST_F(SetupMainTest, LegacyServiceKeyAsksForARestart) {
  AttachHidAdapter();
  replace.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv");
  EXPECT_EQ(Run({"/Q"}), 1);
  EXPECT_EQ(console.out, std::string(kBanner) + kComplete + kReboot);
  EXPECT_EQ(replace.FindKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv"), nullptr);
}

TEST_F(SetupMainTest, MissingPackageFileFailsTheRun) {
  AttachHidAdapter();
  deploy.files.erase(deploy.Key("C:\\Pkg\\TELMXSVC.EXE"));
  EXPECT_EQ(Run({"/Q"}), 2);
  EXPECT_EQ(console.out, std::string(kBanner) + kFailed);
}

TEST_F(SetupMainTest, ScanRouteInstallsWithANotice) {
  AttachUnconfiguredAdapter();
  replace.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgex");  // no restart message
  EXPECT_EQ(Run({"/Q"}), 16);
  EXPECT_EQ(console.out, std::string(kBanner) + kNotWorking + kComplete);
  EXPECT_TRUE(Installed());
}

TEST_F(SetupMainTest, SkipHidLetsTheScanDecideEvenWhenTheAdapterAnswers) {
  AttachHidAdapter();
  EXPECT_EQ(Run({"/H"}), 8);
  EXPECT_EQ(console.out, std::string(kBanner) + kNotFound + kFailed);
  EXPECT_EQ(detect.hid_sets_opened, 1);  // the probe ran; its answer was overruled
  EXPECT_FALSE(Installed());
}

TEST_F(SetupMainTest, ForcedHidRouteWithoutAnAdapter) {
  EXPECT_EQ(Run({"-fu", "/q"}), 0);
  EXPECT_EQ(console.out,
            std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner + kComplete);
  EXPECT_EQ(detect.hid_sets_opened, 0);
  EXPECT_TRUE(Installed());

  // With /H as well, the full scan decides.
  console.out.clear();
  EXPECT_EQ(Run({"-FU", "/H"}), 8);
  EXPECT_EQ(detect.device_sets_opened, 1);
}

TEST_F(SetupMainTest, RunFromTheStagingDirectoryCopiesNothingThere) {
  // The running program's own image cannot be replaced: a copy onto it fails.
  const struct {
    const char* command;
    const char* current_dir;
  } cases[] = {
      {"c:\\windows\\SYSTEM32\\drivers\\qln2\\setup.exe", "C:\\Users\\admin"},
      // Staged onto itself, file by file.
      {"SETUP.EXE", "C:\\WINDOWS\\system32\\drivers\\qln2"},
      {"qln2\\SETUP.EXE", "C:\\WINDOWS\\system32\\drivers"},
      {"..\\QLN2\\setup.exe", "C:\\WINDOWS\\system32\\drivers\\qln2"},
  };
  AttachHidAdapter();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    for (const char* file : kPackageFiles) {
      deploy.AddFile(std::string(kStaging) + file, std::string("!@#$2.1$#@!") + file);
    }
    deploy.locked.insert(deploy.Key(std::string(kStaging) + "SETUP.EXE"));
    ChangeDirectory(c.current_dir);
    deploy.copies.clear();
    EXPECT_EQ(Run({"/Q"}, c.command), 0);
    for (const std::string& copy : deploy.copies) {
      EXPECT_EQ(copy.find(std::string(">") + kStaging), std::string::npos) << copy;
    }
    EXPECT_TRUE(Installed());
  }
}

TEST_F(SetupMainTest, InvalidForceCodeEndsTheRunAtOnce) {
  catalog.files.files["C:\\Pkg\\\\nls\\english.nls"].data = "\x01x";
  EXPECT_EQ(Run({"-FX"}), 0);
  EXPECT_EQ(console.out, "Invalid force code!\r\n");
  EXPECT_TRUE(catalog.files.opened.empty());  // no catalog was looked for
  EXPECT_EQ(console.open_calls, 0);           // and no key awaited
  EXPECT_EQ(detect.hid_sets_opened, 0);
}

TEST_F(SetupMainTest, CatalogOfTheSystemLanguageIsUsed) {
  catalog.lang_id = 0x0407;
  std::string german(1, 81);
  for (int i = 0; i < 81; ++i) {
    german.append("de").append(std::to_string(i)).append(i == 8 ? "\n\r" : "");
    german.push_back('\0');
  }
  catalog.files.files["C:\\Pkg\\\\nls\\german.nls"].data = german;
  EXPECT_EQ(Run({"/Q"}), 8);
  EXPECT_EQ(console.out, "de8\r\n\rde70de28");
}

TEST_F(SetupMainTest, VerboseRunTracesAndPauses) {
  for (int i = 0; i < 2; ++i) console.PressChar('\r');
  EXPECT_EQ(Run({"/D", "/Q"}), 8);
  EXPECT_EQ(console.out, std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") +
                             kBanner + "Didn't find USB SP.\r\nPress ENTER to continue\r\n" +
                             kNotFound + kFailed);
  EXPECT_TRUE(console.keys.empty());  // the pauses waited even though unattended
}

TEST_F(SetupMainTest, UnusableSystemDirectoryFailsWithCode2) {
  AttachHidAdapter();
  const std::uint32_t lengths[] = {0, 260, 519, 520, 4000};
  for (std::uint32_t length : lengths) {
    SCOPED_TRACE(length);
    console.out.clear();
    system.Set(std::string(length, 's'));
    EXPECT_EQ(Run({"/Q"}), 2);
    EXPECT_EQ(console.out, std::string(kBanner) + kFailed);
  }
  EXPECT_EQ(detect.hid_sets_opened, 0);
  EXPECT_TRUE(deploy.copies.empty());

  // 259 characters leave room for the names appended to it.
  system.Set("C:\\" + std::string(256, 's'));
  Run({"/Q"});
  EXPECT_EQ(detect.hid_sets_opened, 1);
}

TEST_F(SetupMainTest, VerboseUnusableSystemDirectory) {
  system.Fail();
  console.PressChar('a');
  console.PressChar('b');
  console.PressChar('c');
  EXPECT_EQ(Run({"/D"}), 2);
  EXPECT_EQ(console.out, std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") +
                             kBanner +
                             "Main - GetSystemDirectory failed.\r\nPress ENTER to continue\r\n" +
                             kFailed + kFinalPrompt);
  EXPECT_TRUE(console.keys.empty());
}

TEST_F(SetupMainTest, RunLockWaitsForAnotherRunWithinItsBound) {
  constexpr char kWaiting[] = "Main - waiting for another run of setup to end.\r\n";
  constexpr char kGaveUp[] = "Main - the other run did not end in time; giving up.\r\n";
  const std::string traced_start =
      std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") + kBanner;
  struct Case {
    const char* name;
    bool lock_available;
    std::uint32_t other_run_ms;
    std::vector<std::string> args;
    int exit_code;
    std::string out;
    std::vector<std::uint32_t> waits;
  };
  const std::uint32_t bound = setup.run_lock_wait_ms;
  const Case cases[] = {
      {"free", true, 0, {"/Q"}, 0, std::string(kBanner) + kComplete, {0}},
      {"another run lets go in time",
       true,
       bound,
       {"/Q", "/D"},
       0,
       traced_start + kWaiting + "CopyFile source = >",
       {0, bound}},
      {"another run never lets go",
       true,
       FakeDriverOs::kNeverLetsGo,
       {"/Q"},
       2,
       std::string(kBanner) + kFailed,
       {0, bound}},
      {"traced: another run never lets go",
       true,
       FakeDriverOs::kNeverLetsGo,
       {"/Q", "/D"},
       2,
       traced_start + kWaiting + kGaveUp + kFailed,
       {0, bound}},
      // A wait that cannot be made, an object of the lock's name that an
      // ordinary user made, or none at all: the run goes on alone.
      {"the wait fails",
       true,
       FakeDriverOs::kWaitFails,
       {"/Q"},
       0,
       std::string(kBanner) + kComplete,
       {0}},
      {"no lock to be had",
       false,
       FakeDriverOs::kNeverLetsGo,
       {"/Q"},
       0,
       std::string(kBanner) + kComplete,
       {}},
  };
  AttachHidAdapter();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The machine as it was before the first case.
    std::erase_if(deploy.files, [](const auto& file) { return file.first.rfind("c:\\pkg", 0); });
    deploy.copies.clear();
    deploy.made_directories.clear();
    replace.events.clear();
    detect.hid_sets_opened = 0;
    console.out.clear();
    driver.lock_waits.clear();
    driver.lock_available = c.lock_available;
    driver.other_run_ms = c.other_run_ms;
    for (int i = 0; i < 2; ++i) console.PressChar('\r');

    EXPECT_EQ(Run(c.args), c.exit_code);
    EXPECT_EQ(console.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(driver.lock_waits, c.waits);
    EXPECT_EQ(driver.locks_held, 0);
    EXPECT_EQ(Installed(), c.exit_code == 0);
    if (c.exit_code == 2) {
      // A run that gave up changed nothing and looked for nothing.
      EXPECT_EQ(console.out, c.out);
      EXPECT_EQ(detect.hid_sets_opened, 0);
      EXPECT_TRUE(deploy.copies.empty());
      EXPECT_TRUE(deploy.made_directories.empty());
      EXPECT_TRUE(replace.events.empty());
    }
    console.keys.clear();
  }
}

TEST_F(SetupMainTest, RunLockCoversTheChangesAndIsLetGoBeforeTheKeyWait) {
  testing::FaultPlan plan;
  plan.record = true;
  driver.faults = &plan;
  deploy.faults = &plan;
  replace.faults = &plan;
  console.faults = &plan;
  replace.tools["C:\\WINDOWS\\system32\\telmxsvc.exe"] = {};
  AttachHidAdapter();
  console.PressChar(' ');
  EXPECT_EQ(Run({}), 0);
  const std::vector<std::string>& ops = plan.operations;
  const auto first = [&](const char* op) { return std::find(ops.begin(), ops.end(), op); };
  const auto last = [&](const char* op) {
    return std::find(ops.rbegin(), ops.rend(), op).base() - 1;
  };
  ASSERT_NE(first("HoldRunLock"), ops.end());
  ASSERT_NE(first("ReleaseRunLock"), ops.end());
  ASSERT_NE(first("MakeDirectory"), ops.end());
  ASSERT_NE(first("ReadKeyboardEvent"), ops.end());
  EXPECT_LT(first("HoldRunLock"), first("MakeDirectory"));         // before staging
  EXPECT_GT(first("ReleaseRunLock"), last("StartTool"));           // after the installation
  EXPECT_GT(first("ReleaseRunLock"), last("MoveOver"));            // and every copy
  EXPECT_LT(first("ReleaseRunLock"), first("ReadKeyboardEvent"));  // before the key wait
}

TEST_F(SetupMainTest, CatalogTextsWithConversionsPrintSafely) {
  std::string hostile(1, 9);
  for (int i = 0; i < 9; ++i) {
    hostile.append(i == 8 ? "%s%n%d%%\n" : "x");
    hostile.push_back('\0');
  }
  catalog.files.files["C:\\Pkg\\\\nls\\english.nls"].data = hostile;
  EXPECT_EQ(Run({"/Q"}), 8);
  EXPECT_EQ(console.out, "%s%n%d%\r\nUnknown MessageUnknown Message");
}

// Every outcome of a run, by the one event that it leaves in the log and the
// registration of the event source.
struct OutcomeRow {
  const char* name;
  std::function<void(SetupMainTest&)> prepare;
  std::vector<std::string> args;
  int exit_code;
  testing::LoggedEvent event;
  const char* message_file;  // registered by the run; null: none
  std::string command = "C:\\Pkg\\setup.exe";
};

constexpr char kSource[] = "C:\\Pkg\\";
constexpr EventType kError = EventType::kError;
constexpr EventType kWarning = EventType::kWarning;
// The message file that runs register, in the staging directory.
const std::string kStagedMessages = std::string(kStaging) + kMessageFileName;
const char* const kRegisteredMessages = kStagedMessages.c_str();
const std::string kWow64Messages =
    std::string("C:\\WINDOWS\\SysWOW64\\drivers\\qln2\\") + kMessageFileName;
// SETUP.EXE in C:\Пакет, whose letters the ANSI code page lacks.
constexpr char16_t kCyrillicSetup[] = u"C:\\\u041F\u0430\u043A\u0435\u0442\\SETUP.EXE";
// SETUP.EXE in a source directory of 256 characters, one more than there is
// room for.
const std::string kTooLongSetup = "C:\\" + std::string(252, 'p') + "\\setup.exe";

std::vector<OutcomeRow> OutcomeRows() {
  const auto hid = [](SetupMainTest& t) { t.AttachHidAdapter(); };
  return {
      {"Installed",
       hid,
       {"/Q"},
       0,
       {EventType::kInformation, 0,
        Facts("0", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "none")},
       kRegisteredMessages},
      {"LegacyKeysRemoved",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.replace.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv");
       },
       {"/Q"},
       1,
       {kWarning, 1,
        Facts("1", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "removed by this run")},
       kRegisteredMessages},
      {"LegacyKeysRemovedWhileARestartWasOwed",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.replace.AddKey("SOFTWARE\\Orvane\\Quillon 2 Setup\\RebootRequired");
         t.replace.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv");
       },
       {"/Q"},
       1,
       {kWarning, 1,
        Facts("1", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "removed by this run")},
       kRegisteredMessages},
      {"RestartOwedByAnEndedRun",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.replace.AddKey("SOFTWARE\\Orvane\\Quillon 2 Setup\\RebootRequired");
       },
       {"/Q"},
       1,
       {kWarning, 1,
        Facts("1", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "removed by an earlier run")},
       kRegisteredMessages},
      // The first copy that failed: staging's, whose source was missing.
      {"MissingPackageFile",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.deploy.files.erase(t.deploy.Key("C:\\Pkg\\TELMXSVC.EXE"));
       },
       {"/Q"},
       2,
       {kError, 2,
        Facts("2", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "-", "C:\\Pkg\\\\TELMXSVC.EXE",
              "C:\\WINDOWS\\system32\\drivers\\qln2\\TELMXSVC.EXE", "2",
              "The system cannot find the file specified.")},
       kRegisteredMessages},
      // Held open: the next start of Windows replaces it.
      {"TargetInUse",
       [](SetupMainTest& t) {
         t.AttachUnconfiguredAdapter();
         t.replace.AddKey("SOFTWARE");
         t.deploy.AddFile("C:\\WINDOWS\\system32\\TELMXW.DLL", "!@#$2.0$#@!");
         t.deploy.locked.insert(t.deploy.Key("C:\\WINDOWS\\system32\\TELMXW.DLL"));
       },
       {"/Q"},
       16,
       {kWarning, 16,
        Facts("16", "C:\\Pkg\\setup.exe /Q", kSource, "hardware-id scan", "none", "-", "-", "-",
              "-", "TELMXW.DLL")},
       kRegisteredMessages},
      {"TargetsInUse",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.replace.AddKey("SOFTWARE");
         t.deploy.AddFile("C:\\WINDOWS\\system32\\TELMXW.DLL", "!@#$2.0$#@!");
         t.deploy.AddFile("C:\\WINDOWS\\system32\\TELMXSVC.EXE", "!@#$2.0$#@!");
         t.deploy.locked.insert(t.deploy.Key("C:\\WINDOWS\\system32\\TELMXW.DLL"));
         t.deploy.running_images.insert(t.deploy.Key("C:\\WINDOWS\\system32\\TELMXSVC.EXE"));
       },
       {"/Q"},
       1,
       {kWarning, 1,
        Facts("1", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "none", "-", "-", "-", "-",
              "TELMXW.DLL, TELMXSVC.EXE")},
       kRegisteredMessages},
      // Staged files in use: the installer loaded by an event viewer, and a
      // library held open, whose copy waits in the staging directory; no
      // legacy key was removed by anyone.
      {"StagedFilesInUse",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.replace.AddKey("SOFTWARE");
         for (const char* file : {"SETUP.EXE", "TELMXW.DLL"}) {
           t.deploy.AddFile(std::string(kStaging) + file, "!@#$2.0$#@!");
         }
         t.deploy.held[t.deploy.Key(std::string(kStaging) + "SETUP.EXE")] =
             testing::FakeDeployOs::kHeldUntilRestart;
         t.deploy.locked.insert(t.deploy.Key(std::string(kStaging) + "TELMXW.DLL"));
       },
       {"/Q"},
       1,
       {kWarning, 1,
        Facts("1", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "none", "-", "-", "-", "-",
              "SETUP.EXE, TELMXW.DLL")},
       kRegisteredMessages},
      // The one that no restart can take: nothing was removed.
      {"DirectoryInATargetsPlace",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.deploy.AddDirectory("C:\\WINDOWS\\system32\\TELMXREM.EXE");
       },
       {"/Q"},
       2,
       {kError, 2,
        Facts("2", "C:\\Pkg\\setup.exe /Q", kSource, "HID probe", "-",
              "C:\\WINDOWS\\system32\\drivers\\qln2\\TELMXREM.EXE",
              "C:\\WINDOWS\\system32\\TELMXREM.EXE", "5", "Access is denied.")},
       kRegisteredMessages},
      {"NoAdapter",
       [](SetupMainTest&) {},
       {"/Q"},
       8,
       {kWarning, 8, Facts("8", "C:\\Pkg\\setup.exe /Q", kSource, "hardware-id scan", "-")},
       kRegisteredMessages},
      // A 32-bit program on 64-bit Windows registers the path under which
      // 64-bit event viewers find the staged message file.
      {"AdapterWithoutDriverOn64BitWindows",
       [](SetupMainTest& t) {
         t.AttachUnconfiguredAdapter();
         t.system.wow64 = "C:\\WINDOWS\\SysWOW64";
       },
       {"/Q"},
       16,
       {kWarning, 16, Facts("16", "C:\\Pkg\\setup.exe /Q", kSource, "hardware-id scan", "none")},
       kWow64Messages.c_str()},
      // The command line as typed, before the switches were upper-cased.
      {"Forced",
       [](SetupMainTest&) {},
       {"-fu", "/q"},
       0,
       {EventType::kInformation, 0,
        Facts("0", "C:\\Pkg\\setup.exe -fu /q", kSource, "forced", "none")},
       kRegisteredMessages},
      {"ForcedScanFromAFolderWithABlank",
       [](SetupMainTest&) {},
       {"-FU", "/H", "", "a\tb"},
       8,
       {kWarning, 8,
        Facts("8", "\"C:\\Program Files\\Pkg\\setup.exe\" -FU /H \"\" \"a\tb\"",
              "C:\\Program Files\\Pkg\\", "hardware-id scan", "-")},
       kRegisteredMessages,
       "C:\\Program Files\\Pkg\\setup.exe"},
      // Nothing was installed, and the exit code says 0.
      {"InvalidForceCode",
       [](SetupMainTest&) {},
       {"/q", "-fx"},
       0,
       {kError, 100, Facts("0", "C:\\Pkg\\setup.exe /q -fx", kSource, "-", "-")},
       nullptr},
      {"SystemDirectoryUnusable",
       [](SetupMainTest& t) { t.system.Fail(); },
       {"/Q"},
       2,
       {kError, 102, Facts("2", "C:\\Pkg\\setup.exe /Q", kSource, "-", "-")},
       nullptr},
      // A directory whose name the ANSI code page cannot hold: the command
      // path lost its letters, and the short form names it.
      {"ShortFormOfAPathThatTheCodePageCannotHold",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.source_dir.module = {kCyrillicSetup, false, "C:\\8D2B~1\\SETUP.EXE"};
         for (const char* file : kPackageFiles) {
           t.deploy.AddFile(std::string("C:\\8D2B~1\\") + file, "!@#$2.1$#@!");
         }
       },
       {"/Q"},
       0,
       {EventType::kInformation, 0,
        Facts("0", "C:\\?????\\setup.exe /Q", "C:\\8D2B~1\\", "HID probe", "none")},
       kRegisteredMessages,
       "C:\\?????\\setup.exe"},
      // Nothing was changed; the source directory as Windows names it.
      {"SourceDirectoryWithoutShortName",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.source_dir.module = {kCyrillicSetup, false, ""};
       },
       {"/Q"},
       2,
       {kError, 302,
        Facts("2", "C:\\?????\\setup.exe /Q",
              testing::Utf8(u"C:\\\u041F\u0430\u043A\u0435\u0442\\"), "-", "-", "-", "-", "1113",
              "No mapping for the Unicode character exists in the target multi-byte code page.")},
       nullptr,
       "C:\\?????\\setup.exe"},
      {"SourceDirectoryTooLong",
       [](SetupMainTest& t) { t.AttachHidAdapter(); },
       {"/Q"},
       2,
       {kError, 302,
        Facts("2", kTooLongSetup + " /Q", kTooLongSetup.substr(0, 256), "-", "-", "-", "-", "206",
              "The filename or extension is too long.")},
       nullptr,
       kTooLongSetup},
      {"AnotherRunKeptTheMachine",
       [](SetupMainTest& t) { t.driver.other_run_ms = FakeDriverOs::kNeverLetsGo; },
       {"/Q"},
       2,
       {kWarning, 202, Facts("2", "C:\\Pkg\\setup.exe /Q", kSource, "-", "-")},
       nullptr},
      // An object of the lock's name that no run made: the lock file still
      // keeps runs apart, and the event tells of the object.
      {"RunLockNameTaken",
       [](SetupMainTest& t) {
         t.driver.name_taken = true;
         t.driver.other_run_ms = FakeDriverOs::kNeverLetsGo;
       },
       {"/Q"},
       2,
       {kWarning, 202,
        Facts("2", "C:\\Pkg\\setup.exe /Q", kSource, "-", "-", "-", "-", "-", "-", "-",
              "its name was taken by an object that no run made")},
       nullptr},
      // Started by a launcher that named the program apart from a bare
      // command path, in another current directory: the package of the
      // program's own directory.
      {"PackageFromTheProgramsOwnDirectory",
       [](SetupMainTest& t) {
         t.AttachHidAdapter();
         t.source_dir.command_names_program = false;
         t.source_dir.current_dir = "C:\\Evil";
       },
       {"/Q"},
       0,
       {EventType::kInformation, 0, Facts("0", "SETUP.EXE /Q", kSource, "HID probe", "none")},
       kRegisteredMessages,
       "SETUP.EXE"},
  };
}

void PrintTo(const OutcomeRow& row, std::ostream* os) {
  *os << row.name;
}

class OutcomeEventTest : public SetupMainTest, public ::testing::WithParamInterface<OutcomeRow> {};

TEST_P(OutcomeEventTest, OneEventWithTheFactsOfTheRun) {
  const OutcomeRow& row = GetParam();
  row.prepare(*this);
  EXPECT_EQ(Run(row.args, row.command), row.exit_code);
  EXPECT_EQ(event_log.events, std::vector<testing::LoggedEvent>{row.event});
  const testing::FakeKey* source = replace.FindKey(kEventSource);
  if (row.message_file == nullptr) {
    EXPECT_EQ(source, nullptr);
    return;
  }
  ASSERT_NE(source, nullptr);
  const std::map<std::string, RegistryValue> values = {
      {"eventmessagefile", {RegistryValue::Type::kExpandString, row.message_file}},
      {"typessupported", {RegistryValue::Type::kDword, {}, 7}}};
  EXPECT_EQ(source->values, values);
}

INSTANTIATE_TEST_SUITE_P(EveryOutcome, OutcomeEventTest, ::testing::ValuesIn(OutcomeRows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SetupMainTest, EventSourceIsRewrittenOnlyWhenItNamesAnotherFile) {
  testing::FaultPlan plan;
  replace.faults = &plan;
  testing::FakeKey& source = replace.AddKey(kEventSource);
  const std::string staged_setup = std::string(kStaging) + "SETUP.EXE";
  const struct {
    std::string file;
    std::uint32_t types;
    bool staging;  // the staging directory is there, and the message file can be put there
    bool rewritten;
  } cases[] = {
      {kRegisteredMessages, 7, false, false},
      {kRegisteredMessages, 4, false, true},
      // An earlier version's file: given up only for this version's in place.
      {staged_setup, 7, true, true},
      {staged_setup, 7, false, false},
      {"C:\\WINDOWS\\SysWOW64\\drivers\\qln2\\QLN2MSG-2.0.0.DLL", 7, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.file << ", types " << c.types << ", staging " << c.staging);
    deploy.directories.erase(deploy.Key(kStaging));
    deploy.files.erase(deploy.Key(kRegisteredMessages));
    if (c.staging) deploy.AddDirectory(kStaging);
    source.values = {{"eventmessagefile", {RegistryValue::Type::kExpandString, c.file}},
                     {"typessupported", {RegistryValue::Type::kDword, {}, c.types}}};
    plan.operations.clear();
    plan.record = true;
    EXPECT_EQ(Run({"/Q"}), 8);
    const bool rewritten =
        std::count(plan.operations.begin(), plan.operations.end(), "SetValue") == 2;
    EXPECT_EQ(rewritten, c.rewritten);
    EXPECT_EQ(source.values.at("eventmessagefile").text,
              c.rewritten ? kRegisteredMessages : c.file);
    EXPECT_EQ(source.values.at("typessupported").number, c.rewritten ? 7u : c.types);
    EXPECT_EQ(deploy.HasFile(kRegisteredMessages), c.staging);
  }
}

// Event viewers hold the registered message file loaded: it cannot be
// replaced, renamed or deleted then. A second run, an upgrade and a repair
// end as they would without it, and the file stays as it is.
TEST_F(SetupMainTest, RunsSucceedWhileTheRegisteredMessageFileIsLoaded) {
  const std::string older = std::string(kStaging) + "QLN2MSG-2.0.0.DLL";
  const std::string oldest = std::string(kStaging) + "QLN2MSG-1.9.0.DLL";
  const struct {
    const char* name;
    std::function<void(SetupMainTest&)> before;  // after a first run
    std::vector<std::string> args;
    bool copied = false;  // the message file: only read where it is in place
  } cases[] = {
      {"second run", [](SetupMainTest&) {}, {"/Q"}},
      {"repair", [](SetupMainTest&) {}, {"-FU", "/Q"}},
      {"repair of a damaged message file",
       [](SetupMainTest& t) {
         t.deploy.files.at(t.deploy.Key(kRegisteredMessages)).data = "damaged";
       },
       {"-FU", "/Q"},
       true},
      // The earlier version's file is given up, and removed where it can be.
      {"upgrade",
       [&](SetupMainTest& t) {
         t.deploy.AddFile(older, "!@#$2.0$#@!messages");
         t.deploy.AddFile(oldest, "!@#$1.9$#@!messages");
         t.deploy.files.erase(t.deploy.Key(kRegisteredMessages));
         t.replace.FindKey(kEventSource)->values["eventmessagefile"].text = older;
       },
       {"/Q"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    deploy.files.clear();
    deploy.locked.clear();
    for (const char* file : kPackageFiles) {
      deploy.AddFile(std::string("C:\\Pkg\\") + file, std::string("!@#$2.1$#@!") + file);
    }
    AttachHidAdapter();
    ASSERT_EQ(Run({"/Q"}), 0);
    c.before(*this);
    const std::string loaded = replace.FindKey(kEventSource)->values.at("eventmessagefile").text;
    ASSERT_TRUE(deploy.HasFile(loaded));
    const std::string content = deploy.File(loaded).data;
    deploy.locked = {deploy.Key(loaded)};
    deploy.copies.clear();
    EXPECT_EQ(Run(c.args), 0);
    EXPECT_EQ(std::any_of(deploy.copies.begin(), deploy.copies.end(),
                          [](const std::string& copy) {
                            return copy.find(std::string(">") + kRegisteredMessages) !=
                                   std::string::npos;
                          }),
              c.copied);
    EXPECT_TRUE(Installed());
    EXPECT_EQ(deploy.File(loaded).data, content);
    EXPECT_EQ(replace.FindKey(kEventSource)->values.at("eventmessagefile").text,
              kRegisteredMessages);
    EXPECT_TRUE(deploy.HasFile(kRegisteredMessages));
    EXPECT_FALSE(deploy.HasFile(oldest));
  }
}

TEST_F(SetupMainTest, UnusableSourceDirectoryEndsTheRunBeforeItChangesAnything) {
  const ModulePath no_short_name = {kCyrillicSetup, false, ""};
  const std::string traced =
      std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") + kBanner;
  struct Case {
    const char* name;
    ModulePath module;
    std::string command;
    std::vector<std::string> args;
    std::string out;
    int pauses = 0;
  };
  const Case cases[] = {
      {"no short name",
       no_short_name,
       "C:\\?????\\setup.exe",
       {"/Q"},
       std::string(kBanner) + kFailed},
      {"too long", source_dir.module, kTooLongSetup, {"/Q"}, std::string(kBanner) + kFailed},
      {"traced: no short name",
       no_short_name,
       "C:\\?????\\setup.exe",
       {"/Q", "/D"},
       traced + "Main - source directory = >C:\\<U+041F><U+0430><U+043A><U+0435><U+0442>\\<\r\n" +
           "Main - the source directory has no short name in the ANSI code page.\r\n" +
           "Press ENTER to continue\r\n" + kFailed,
       2},
      {"traced: too long",
       source_dir.module,
       kTooLongSetup,
       {"/Q", "/D"},
       traced + "Main - source directory = >" + kTooLongSetup.substr(0, 256) + "<\r\n" +
           "Main - the source directory is longer than 255 characters.\r\n" +
           "Press ENTER to continue\r\n" + kFailed,
       2},
  };
  AttachHidAdapter();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    console.out.clear();
    for (int i = 0; i < c.pauses; ++i) console.PressChar('\r');
    source_dir.module = c.module;
    EXPECT_EQ(Run(c.args, c.command), 2);
    EXPECT_EQ(console.out, c.out);
    EXPECT_TRUE(console.keys.empty());
    // Nothing was looked for, opened, made or copied.
    EXPECT_TRUE(catalog.files.opened.empty());
    EXPECT_EQ(detect.hid_sets_opened, 0);
    EXPECT_TRUE(deploy.copies.empty());
    EXPECT_TRUE(deploy.made_directories.empty());
    EXPECT_TRUE(replace.events.empty());
  }
}

}  // namespace
}  // namespace qsetup
