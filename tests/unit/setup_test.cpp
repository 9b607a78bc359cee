#include "driver/setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "catalog/messages.h"

#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_detect_os.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_replace_os.h"
#include "fakes/fake_system_directory.h"
#include "fakes/fault_plan.h"
#include "support/written_messages.h"

namespace qsetup {
namespace {

using namespace written;

using testing::FakeCatalogOs;
using testing::FakeConsoleIo;
using testing::FakeDriverOs;

constexpr char kStaging[] = "C:\\WINDOWS\\system32\\drivers\\qln2\\";
constexpr char kPackageFiles[][13] = {"SETUP.EXE",    "TELMXW.DLL",  "TELMXREM.EXE",
                                      "TELMXSVC.EXE", "ENGLISH.NLS", "JAPANESE.NLS"};

// The whole installer on a machine made of fakes. By default the machine has
// no adapter, and the package lies in C:\Pkg.
class SetupMainTest : public ::testing::Test {
 protected:
  FakeConsoleIo console_io;
  FakeCatalogOs catalog_os;
  FakeDriverOs driver_os;
  testing::FakeDetectOs detect_os;
  testing::FakeDeployOs deploy_os;
  testing::FakeReplaceOs replace_os;
  testing::FakeSystemDirectory system_os;
  Platform platform{console_io, catalog_os, driver_os,  system_os,
                    detect_os,  deploy_os,  replace_os, replace_os};

  void SetUp() override {
    deploy_os.AddDirectory("C:\\WINDOWS\\system32\\drivers");
    for (const char* file : kPackageFiles) {
      deploy_os.AddFile(std::string("C:\\Pkg\\") + file, std::string("!@#$2.1$#@!") + file);
    }
    replace_os.AddKey("SYSTEM\\CurrentControlSet\\Services\\Tcpip");
  }

  void AttachHidAdapter() {
    detect_os.hid_interfaces.push_back({"\\\\?\\hid#vid_7a5c&pid_4001", {0x7A5C, 0x4001}});
  }
  void AttachUnconfiguredAdapter() {
    detect_os.devices.push_back({testing::MultiSz({"USB\\Vid_7a5c&Pid_4001&Rev_0100"}), 0});
  }

  int Run(std::vector<std::string> args, std::string command = "C:\\Pkg\\setup.exe") {
    args.insert(args.begin(), command);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return SetupMain(static_cast<int>(argv.size()), argv.data(), platform);
  }

  bool Installed() const {
    for (const char* file : {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"}) {
      if (!deploy_os.HasFile(std::string("C:\\WINDOWS\\system32\\") + file)) return false;
    }
    return true;
  }
};

TEST_F(SetupMainTest, NoAdapterChangesNothing) {
  console_io.PressChar(' ');
  EXPECT_EQ(Run({}), 8);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kNotFound + kFailed + kFinalPrompt);
  EXPECT_TRUE(console_io.keys.empty());
  EXPECT_TRUE(deploy_os.copies.empty());
  EXPECT_TRUE(deploy_os.made_directories.empty());
  EXPECT_TRUE(replace_os.events.empty());  // no tool started, no key opened
}

TEST_F(SetupMainTest, UnattendedRunsDoNotWait) {
  for (const char* sw : {"/Q", "-x", "/h"}) {
    SCOPED_TRACE(sw);
    console_io.out.clear();
    EXPECT_EQ(Run({sw}), 8);
    EXPECT_EQ(console_io.out, std::string(kBanner) + kNotFound + kFailed);
    EXPECT_EQ(console_io.open_calls, 0);
  }
}

TEST_F(SetupMainTest, HidRouteStagesAndInstalls) {
  AttachHidAdapter();
  EXPECT_EQ(Run({"/Q"}), 0);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kComplete);
  for (const char* file : kPackageFiles) {
    EXPECT_TRUE(deploy_os.HasFile(std::string(kStaging) + file)) << file;
  }
  EXPECT_TRUE(Installed());
  EXPECT_EQ(detect_os.device_sets_opened, 0);  // the scan never ran
}

TEST_F(SetupMainTest, LegacyServiceKeyAsksForARestart) {
  AttachHidAdapter();
  replace_os.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv");
  EXPECT_EQ(Run({"/Q"}), 1);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kComplete + kReboot);
  EXPECT_EQ(replace_os.FindKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgsv"), nullptr);
}

TEST_F(SetupMainTest, MissingPackageFileFailsTheRun) {
  AttachHidAdapter();
  deploy_os.files.erase(deploy_os.Key("C:\\Pkg\\TELMXSVC.EXE"));
  EXPECT_EQ(Run({"/Q"}), 2);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kFailed);
}

TEST_F(SetupMainTest, ScanRouteInstallsWithANotice) {
  AttachUnconfiguredAdapter();
  replace_os.AddKey("SYSTEM\\CurrentControlSet\\Services\\vanwdgex");  // no restart message
  EXPECT_EQ(Run({"/Q"}), 16);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kNotWorking + kComplete);
  EXPECT_TRUE(Installed());
}

TEST_F(SetupMainTest, SkipHidLetsTheScanDecideEvenWhenTheAdapterAnswers) {
  AttachHidAdapter();
  EXPECT_EQ(Run({"/H"}), 8);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kNotFound + kFailed);
  EXPECT_EQ(detect_os.hid_sets_opened, 1);  // the probe ran; its answer was overruled
  EXPECT_FALSE(Installed());
}

TEST_F(SetupMainTest, ForcedHidRouteWithoutAnAdapter) {
  EXPECT_EQ(Run({"-fu", "/q"}), 0);
  EXPECT_EQ(console_io.out,
            std::string("Skipping hardware detection - forcing Taskel.\r\n") + kBanner + kComplete);
  EXPECT_EQ(detect_os.hid_sets_opened, 0);
  EXPECT_TRUE(Installed());

  // With /H as well, the full scan decides.
  console_io.out.clear();
  EXPECT_EQ(Run({"-FU", "/H"}), 8);
  EXPECT_EQ(detect_os.device_sets_opened, 1);
}

TEST_F(SetupMainTest, RunFromTheStagingDirectoryStagesNothing) {
  AttachHidAdapter();
  for (const char* file : {"TELMXW.DLL", "TELMXREM.EXE", "TELMXSVC.EXE"}) {
    deploy_os.AddFile(std::string(kStaging) + file, "!@#$2.1$#@!");
  }
  EXPECT_EQ(Run({"/Q"}, "c:\\windows\\SYSTEM32\\drivers\\qln2\\setup.exe"), 0);
  for (const std::string& copy : deploy_os.copies) {
    EXPECT_EQ(copy.find(std::string(">") + kStaging), std::string::npos) << copy;
  }
  EXPECT_FALSE(deploy_os.HasFile(std::string(kStaging) + "SETUP.EXE"));
  EXPECT_TRUE(Installed());
}

TEST_F(SetupMainTest, InvalidForceCodeEndsTheRunAtOnce) {
  catalog_os.files.files["C:\\Pkg\\\\nls\\english.nls"].data = "\x01x";
  EXPECT_EQ(Run({"-FX"}), 0);
  EXPECT_EQ(console_io.out, "Invalid force code!\r\n");
  EXPECT_TRUE(catalog_os.files.opened.empty());  // no catalog was looked for
  EXPECT_EQ(console_io.open_calls, 0);           // and no key awaited
  EXPECT_EQ(detect_os.hid_sets_opened, 0);
}

TEST_F(SetupMainTest, CatalogOfTheSystemLanguageIsUsed) {
  catalog_os.lang_id = 0x0407;
  std::string german(1, 81);
  for (int i = 0; i < 81; ++i) {
    german.append("de").append(std::to_string(i)).append(i == 8 ? "\n\r" : "");
    german.push_back('\0');
  }
  catalog_os.files.files["C:\\Pkg\\\\nls\\german.nls"].data = german;
  EXPECT_EQ(Run({"/Q"}), 8);
  EXPECT_EQ(console_io.out, "de8\r\n\rde70de28");
}

TEST_F(SetupMainTest, VerboseRunTracesAndPauses) {
  for (int i = 0; i < 2; ++i) console_io.PressChar('\r');
  EXPECT_EQ(Run({"/D", "/Q"}), 8);
  EXPECT_EQ(console_io.out,
            std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") + kBanner +
                "Didn't find USB SP.\r\nPress ENTER to continue\r\n" + kNotFound + kFailed);
  EXPECT_TRUE(console_io.keys.empty());  // the pauses waited even though unattended
}

TEST_F(SetupMainTest, UnusableSystemDirectoryFailsWithCode2) {
  AttachHidAdapter();
  const std::uint32_t lengths[] = {0, 260, 519, 520, 4000};
  for (std::uint32_t length : lengths) {
    SCOPED_TRACE(length);
    console_io.out.clear();
    system_os.Set(std::string(length, 's'));
    EXPECT_EQ(Run({"/Q"}), 2);
    EXPECT_EQ(console_io.out, std::string(kBanner) + kFailed);
  }
  EXPECT_EQ(detect_os.hid_sets_opened, 0);
  EXPECT_TRUE(deploy_os.copies.empty());

  // 259 characters leave room for the names appended to it.
  system_os.Set("C:\\" + std::string(256, 's'));
  Run({"/Q"});
  EXPECT_EQ(detect_os.hid_sets_opened, 1);
}

TEST_F(SetupMainTest, VerboseUnusableSystemDirectory) {
  system_os.Fail();
  console_io.PressChar('a');
  console_io.PressChar('b');
  console_io.PressChar('c');
  EXPECT_EQ(Run({"/D"}), 2);
  EXPECT_EQ(console_io.out,
            std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") + kBanner +
                "Main - GetSystemDirectory failed.\r\nPress ENTER to continue\r\n" + kFailed +
                kFinalPrompt);
  EXPECT_TRUE(console_io.keys.empty());
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
  const std::uint32_t bound = platform.run_lock_wait_ms;
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
      // An object of the lock's name that an ordinary user made, or none at
      // all: the run goes on alone.
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
    std::erase_if(deploy_os.files, [](const auto& file) { return file.first.rfind("c:\\pkg", 0); });
    deploy_os.copies.clear();
    deploy_os.made_directories.clear();
    replace_os.events.clear();
    detect_os.hid_sets_opened = 0;
    console_io.out.clear();
    driver_os.lock_waits.clear();
    driver_os.lock_available = c.lock_available;
    driver_os.other_run_ms = c.other_run_ms;
    for (int i = 0; i < 2; ++i) console_io.PressChar('\r');

    EXPECT_EQ(Run(c.args), c.exit_code);
    EXPECT_EQ(console_io.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(driver_os.lock_waits, c.waits);
    EXPECT_EQ(driver_os.locks_held, 0);
    EXPECT_EQ(Installed(), c.exit_code == 0);
    if (c.exit_code == 2) {
      // A run that gave up changed nothing and looked for nothing.
      EXPECT_EQ(console_io.out, c.out);
      EXPECT_EQ(detect_os.hid_sets_opened, 0);
      EXPECT_TRUE(deploy_os.copies.empty());
      EXPECT_TRUE(deploy_os.made_directories.empty());
      EXPECT_TRUE(replace_os.events.empty());
    }
    console_io.keys.clear();
  }
}

TEST_F(SetupMainTest, RunLockCoversTheChangesAndIsLetGoBeforeTheKeyWait) {
  testing::FaultPlan plan;
  plan.record = true;
  driver_os.faults = &plan;
  deploy_os.faults = &plan;
  replace_os.faults = &plan;
  console_io.faults = &plan;
  replace_os.tools["C:\\WINDOWS\\system32\\telmxsvc.exe"] = {};
  AttachHidAdapter();
  console_io.PressChar(' ');
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
  catalog_os.files.files["C:\\Pkg\\\\nls\\english.nls"].data = hostile;
  EXPECT_EQ(Run({"/Q"}), 8);
  EXPECT_EQ(console_io.out, "%s%n%d%\r\nUnknown MessageUnknown Message");
}

}  // namespace
}  // namespace qsetup
