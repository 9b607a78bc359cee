// The replacement sequence and the legacy service purge on Wine's registry and
// system directory, through the replace_run fixture, with tool_standin in
// place of the package's tools.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

namespace fs = std::filesystem;

// The keys that the tests create below the Services key.
const std::vector<std::string> kTestKeys = {
    "vanwdgsv_qsetup_a",    "x_vanwdgex_qsetup_b",  "vanwdgex_qsetup_deep",
    "VANWDGSV_QSETUP_CAPS", "vanwdgsv_qsetup_link", "\\SOFTWARE\\qsetup_victim",
};

constexpr char kResetDacl[] =
    "revision 2, 1 ACE(s)\r\n"
    "allowed flags 0x0 mask 0xF003F S-1-5-32-544\r\n";

std::string LowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Removes the entries of `dir` whose names, in any letter case, are in
// `names`.
void RemoveNamed(const fs::path& dir, const std::set<std::string>& names) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (names.count(LowerCase(entry.path().filename().string())) != 0) fs::remove(entry.path());
  }
}

class ReplaceE2e : public ::testing::Test {
 protected:
  void SetUp() override { CleanUp(); }
  void TearDown() override { CleanUp(); }

  static std::string SystemDir() { return UnixSystemDir(); }
  static std::string StagingDir() { return SystemDir() + "/drivers/qln2"; }

  RunResult ServiceKeys(const std::string& command, const std::vector<std::string>& paths) {
    RunOptions options{.args = {command}};
    options.args.insert(options.args.end(), paths.begin(), paths.end());
    return RunWine(FixtureDir() + "/service_keys.exe", options);
  }
  RunResult ReplaceRun(std::vector<std::string> args) {
    return RunWine(FixtureDir() + "/replace_run.exe", {.args = std::move(args)});
  }

  // tool_standin as both tools in the system directory, and a staged
  // package whose TELMXSVC.EXE is tool_standin too.
  void InstallToolsAndStage() {
    const std::string tool = FixtureDir() + "/tool_standin.exe";
    CopyFile(tool, SystemDir() + "/vanwdgsv.exe");
    CopyFile(tool, SystemDir() + "/telmxsvc.exe");
    CopyFile(tool, StagingDir() + "/TELMXSVC.EXE");
    WriteFile(StagingDir() + "/TELMXW.DLL", "staged library");
    WriteFile(StagingDir() + "/TELMXREM.EXE", "staged remover");
  }

  std::string ToolLog() {
    const std::string path = SystemDir() + "/qsetup-tools.log";
    return FileExists(path) ? ReadFile(path) : "";
  }

  void CleanUp() {
    ServiceKeys("unlink", {"vanwdgsv_qsetup_link\\Parameters"});
    ServiceKeys("remove", kTestKeys);
    RunWine(FixtureDir() + "/restart_record.exe", {.args = {"remove"}});
    RemoveNamed(SystemDir(), {"vanwdgsv.exe", "vanwdgsv.exe.keep", "telmxsvc.exe", "telmxrem.exe",
                              "telmxw.dll", "qsetup-tools.log"});
    RemoveNamed(StagingDir(), {"telmxsvc.exe", "telmxrem.exe", "telmxw.dll"});
    std::error_code ec;
    fs::remove(StagingDir(), ec);  // only when nothing else lies there
  }

  ServiceKeysLock lock_;
};

// Keeps the prefix's Wine server running while it lives: Wine forgets a key's
// security when its server ends, which it does between two programs.
class WineServerHold {
 public:
  WineServerHold() : file_(WorkFile()) {
    fs::remove(file_);
    thread_ = std::thread([this] {
      RunWine(FixtureDir() + "/service_keys.exe",
              {.args = {"hold", "Z:" + std::regex_replace(file_, std::regex("/"), "\\")},
               .timeout_seconds = 130});
    });
    for (int i = 0; i < 1000 && !FileExists(file_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~WineServerHold() {
    std::error_code ec;
    fs::remove(file_, ec);
    thread_.join();
  }
  WineServerHold(const WineServerHold&) = delete;
  WineServerHold& operator=(const WineServerHold&) = delete;

  bool holding() const { return FileExists(file_); }

 private:
  static std::string WorkFile() {
    return fs::absolute(FreshWorkDir("server-hold")).string() + "/hold";
  }

  std::string file_;
  std::thread thread_;
};

// Each tool's "\r\n", dots, "\r\n" at the start of a line, shown as "<tool>".
std::string ToolWaits(const std::string& out) {
  static const std::regex wait("(^|\n)\r\n\\.*\r\n");
  return std::regex_replace(out, wait, "$1<tool>");
}

TEST_F(ReplaceE2e, PurgeDeletesTwoLevelsAndResetsTheKeyThatStays) {
  ASSERT_EQ(ServiceKeys("create",
                        {"vanwdgsv_qsetup_a\\Enum", "vanwdgsv_qsetup_a\\Parameters\\Sub",
                         "x_vanwdgex_qsetup_b\\Security", "vanwdgex_qsetup_deep\\Plain",
                         "vanwdgex_qsetup_deep\\Child\\Grand\\Great", "VANWDGSV_QSETUP_CAPS\\Enum"})
                .exit_code,
            0);
  const WineServerHold hold;
  ASSERT_TRUE(hold.holding());
  const RunResult caps_dacl = ServiceKeys("dacl", {"VANWDGSV_QSETUP_CAPS"});

  const RunResult r = ReplaceRun({"purge"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "result 1\r\n");

  EXPECT_EQ(ServiceKeys("exists",
                        {"vanwdgsv_qsetup_a", "x_vanwdgex_qsetup_b", "vanwdgex_qsetup_deep\\Plain",
                         "vanwdgex_qsetup_deep\\Child", "vanwdgex_qsetup_deep\\Child\\Grand\\Great",
                         "VANWDGSV_QSETUP_CAPS\\Enum"})
                .out,
            "vanwdgsv_qsetup_a no\r\n"
            "x_vanwdgex_qsetup_b no\r\n"
            "vanwdgex_qsetup_deep\\Plain no\r\n"
            "vanwdgex_qsetup_deep\\Child yes\r\n"
            "vanwdgex_qsetup_deep\\Child\\Grand\\Great yes\r\n"
            "VANWDGSV_QSETUP_CAPS\\Enum yes\r\n");
  EXPECT_EQ(ServiceKeys("dacl", {"vanwdgex_qsetup_deep"}).out, kResetDacl);
  // A name in capitals is not touched, its DACL included.
  EXPECT_EQ(ServiceKeys("dacl", {"VANWDGSV_QSETUP_CAPS"}).out, caps_dacl.out);
  EXPECT_NE(caps_dacl.out, kResetDacl);
}

// A link below a legacy key goes as the link: the key that it names keeps
// its subkeys, and the status report foresees what the purge does.
TEST_F(ReplaceE2e, PurgeDeletesALinkAndNeverItsTarget) {
  ASSERT_EQ(ServiceKeys("create", {"\\SOFTWARE\\qsetup_victim\\Sub", "vanwdgsv_qsetup_link\\Enum"})
                .exit_code,
            0);
  ASSERT_EQ(ServiceKeys("link", {"vanwdgsv_qsetup_link\\Parameters", "\\SOFTWARE\\qsetup_victim"})
                .exit_code,
            0);
  EXPECT_EQ(ReplaceRun({"foresee"}).out, "deleted 1 kept 0 unknown 0\r\n");

  EXPECT_EQ(ReplaceRun({"purge"}).out, "result 1\r\n");
  EXPECT_EQ(ServiceKeys("exists", {"vanwdgsv_qsetup_link", "\\SOFTWARE\\qsetup_victim\\Sub"}).out,
            "vanwdgsv_qsetup_link no\r\n"
            "\\SOFTWARE\\qsetup_victim\\Sub yes\r\n");
}

TEST_F(ReplaceE2e, PurgeWithNothingToRemove) {
  ASSERT_EQ(ServiceKeys("create", {"VANWDGSV_QSETUP_CAPS"}).exit_code, 0);
  const RunResult r = ReplaceRun({"purge"});
  EXPECT_EQ(r.out, "result 0\r\n");
  EXPECT_EQ(ServiceKeys("exists", {"VANWDGSV_QSETUP_CAPS"}).out, "VANWDGSV_QSETUP_CAPS yes\r\n");
}

TEST_F(ReplaceE2e, ToolsRunInOrderWithTheirCommandLines) {
  InstallToolsAndStage();
  ASSERT_EQ(ServiceKeys("create", {"vanwdgsv_qsetup_a\\Enum"}).exit_code, 0);

  const RunResult r = ReplaceRun({"replace", "verbose"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(ToolWaits(r.out),
            "<tool>[RefreshSystemTools]\r\n"
            "<tool>[RefreshSystemTools]\r\n"
            "lpBuffer = >C:\\windows\\system32\\drivers\\qln2\\<\r\n"
            "lpBuffr2 = >C:\\windows\\system32\\<\r\n"
            "[copy TELMXW.DLL]\r\n"
            "[copy TELMXREM.EXE]\r\n"
            "[copy TELMXSVC.EXE]\r\n"
            "<tool>result 1\r\n");
  // Each started in a new console with a hidden window, in the system
  // directory, not in the installer's current directory.
  constexpr char kHere[] = " | flags 1 show 0 | dir C:\\windows\\system32\r\n";
  EXPECT_EQ(ToolLog(), std::string("\"C:\\windows\\system32\\vanwdgsv.exe\" -remove") + kHere +
                           "\"C:\\windows\\system32\\telmxsvc.exe\" -remove" + kHere +
                           "\"C:\\windows\\system32\\telmxsvc.exe\" -install -QLN2" + kHere);
  EXPECT_EQ(ReadFile(SystemDir() + "/TELMXW.DLL"), "staged library");
  EXPECT_EQ(ReadFile(SystemDir() + "/TELMXREM.EXE"), "staged remover");
  EXPECT_EQ(ServiceKeys("exists", {"vanwdgsv_qsetup_a"}).out, "vanwdgsv_qsetup_a no\r\n");
}

TEST_F(ReplaceE2e, MissingToolsAreSkippedAndMissingFilesFail) {
  const RunResult r = ReplaceRun({"replace"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "[copy TELMXW.DLL]\r\n"
            "[copy TELMXREM.EXE]\r\n"
            "[copy TELMXSVC.EXE]\r\n"
            "result 2\r\n");
  EXPECT_EQ(ToolLog(), "");
}

TEST_F(ReplaceE2e, AToolThatKeepsRunningIsWaitedFor) {
  InstallToolsAndStage();
  const std::string marker = SystemDir() + "/vanwdgsv.exe.keep";
  WriteFile(marker, "");
  // Lets the tool end once it has shown that it runs.
  std::atomic<bool> done = false;
  std::thread release([&] {
    while (!done && ToolLog().find("vanwdgsv.exe") == std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::error_code ec;
    fs::remove(marker, ec);
  });
  const RunResult r = ReplaceRun({"replace"});
  done = true;
  release.join();

  EXPECT_EQ(r.exit_code, 0);
  // The first poll finds the tool running; the wait ends with the tool.
  EXPECT_TRUE(std::regex_search(r.out, std::regex("^\r\n\\.+\r\n\\[RefreshSystemTools\\]")))
      << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 10), "result 0\r\n");
  EXPECT_EQ(ToolLog().rfind("\"C:\\windows\\system32\\vanwdgsv.exe\" -remove |", 0), 0u);
}

}  // namespace
}  // namespace qsetup::e2e
