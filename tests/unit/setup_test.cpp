#include "driver/setup.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_detect_os.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_replace_os.h"

namespace qsetup {
namespace {

using testing::FakeCatalogOs;
using testing::FakeConsoleIo;
using testing::FakeDriverOs;

constexpr char kBanner[] = "Orvane Quillon 2 software installation\r\n\r";
constexpr char kFinalPrompt[] = "Press any key to exit.";
constexpr char kFailed[] = "\r\nInstallation failed\r\n";

class SetupMainTest : public ::testing::Test {
 protected:
  FakeConsoleIo console_io;
  FakeCatalogOs catalog_os;
  FakeDriverOs driver_os;
  testing::FakeDetectOs detect_os;
  testing::FakeDeployOs deploy_os;
  testing::FakeReplaceOs replace_os;
  Platform platform{console_io, catalog_os, driver_os, detect_os, deploy_os, replace_os};

  int Run(std::vector<std::string> args, std::string command = "C:\\Pkg\\setup.exe") {
    args.insert(args.begin(), command);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return SetupMain(static_cast<int>(argv.size()), argv.data(), platform);
  }
};

TEST_F(SetupMainTest, PlainRunPrintsTheBannerAndWaitsForAKey) {
  console_io.PressChar(' ');
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(console_io.out, std::string(kBanner) + kFinalPrompt);
  EXPECT_TRUE(console_io.keys.empty());
}

TEST_F(SetupMainTest, UnattendedRunsDoNotWait) {
  for (const char* sw : {"/Q", "-x", "/h"}) {
    FakeConsoleIo io;
    Platform p{io, catalog_os, driver_os, detect_os, deploy_os, replace_os};
    std::string cmd = "setup.exe", arg = sw;
    char* argv[] = {cmd.data(), arg.data()};
    EXPECT_EQ(SetupMain(2, argv, p), 0);
    EXPECT_EQ(io.out, kBanner) << sw;
    EXPECT_EQ(io.open_calls, 0) << sw;
  }
}

TEST_F(SetupMainTest, InvalidForceCodeEndsTheRunAtOnce) {
  catalog_os.files.files["C:\\Pkg\\\\nls\\english.nls"].data = "\x01x";
  EXPECT_EQ(Run({"-FX"}), 0);
  EXPECT_EQ(console_io.out, "Invalid force code!\r\n");
  EXPECT_TRUE(catalog_os.files.opened.empty());  // no catalog was looked for
  EXPECT_EQ(console_io.open_calls, 0);           // and no key awaited
}

TEST_F(SetupMainTest, CatalogOfTheSystemLanguageIsUsed) {
  catalog_os.lang_id = 0x0407;
  std::string german(1, 81);
  for (int i = 0; i < 81; ++i) {
    german.append("de").append(std::to_string(i)).append(i == 8 ? "\n\r" : "");
    german.push_back('\0');
  }
  catalog_os.files.files["C:\\Pkg\\\\nls\\german.nls"].data = german;
  EXPECT_EQ(Run({"/Q"}), 0);
  EXPECT_EQ(console_io.out, "de8\r\n\r");
}

TEST_F(SetupMainTest, VerboseRunTracesAMissingCatalog) {
  console_io.PressChar('\r');
  EXPECT_EQ(Run({"/D", "/Q"}), 0);
  EXPECT_EQ(console_io.out,
            std::string("Main - loadlangtbl failed.\r\nPress ENTER to continue\r\n") + kBanner);
  EXPECT_TRUE(console_io.keys.empty());  // the pause waited even though unattended
}

TEST_F(SetupMainTest, UnusableSystemDirectoryFailsWithCode2) {
  const std::uint32_t lengths[] = {0, 260, 519, 520, 4000};
  for (std::uint32_t length : lengths) {
    SCOPED_TRACE(length);
    console_io.out.clear();
    driver_os.system_dir = {length, length < 520 ? std::string(length, 's') : std::string()};
    EXPECT_EQ(Run({"/Q"}), 2);
    EXPECT_EQ(console_io.out, std::string(kBanner) + kFailed);
  }
  console_io.out.clear();
  driver_os.system_dir = {259, std::string(259, 's')};
  EXPECT_EQ(Run({"/Q"}), 0);
  EXPECT_EQ(console_io.out, kBanner);
}

TEST_F(SetupMainTest, VerboseUnusableSystemDirectory) {
  driver_os.system_dir = {0, ""};
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

TEST_F(SetupMainTest, CatalogTextsWithConversionsPrintSafely) {
  std::string hostile(1, 9);
  for (int i = 0; i < 9; ++i) {
    hostile.append(i == 8 ? "%s%n%d%%\n" : "x");
    hostile.push_back('\0');
  }
  catalog_os.files.files["C:\\Pkg\\\\nls\\english.nls"].data = hostile;
  EXPECT_EQ(Run({"/Q"}), 0);
  EXPECT_EQ(console_io.out, "%s%n%d%\r\n");
}

}  // namespace
}  // namespace qsetup
