// Key waits on a real console: SETUP.EXE runs under Wine inside a tmux
// session, and keys are typed with send-keys.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "e2e/wine_runner.h"

namespace qsetup::e2e {
namespace {

class TmuxSession {
 public:
  TmuxSession(const std::string& name, const std::string& command)
      : socket_("qsetup-e2e-" + std::to_string(std::hash<std::string>{}(WinePrefix())) + "-" +
                Arch() + "-" + name) {
    RunCommand({"tmux", "-L", socket_, "kill-server"});
    const int rc = RunCommand({"tmux", "-L", socket_, "-f", "/dev/null", "new-session", "-d", "-s",
                               "main", "-x", "120", "-y", "40", command},
                              nullptr, {{"TERM", "xterm"}});
    started_ = rc == 0;
  }
  ~TmuxSession() { RunCommand({"tmux", "-L", socket_, "kill-server"}); }

  bool started() const { return started_; }

  std::string Screen() {
    std::string out;
    RunCommand({"tmux", "-L", socket_, "capture-pane", "-p", "-t", "main"}, &out);
    return out;
  }

  void SendKeys(const std::string& keys) {
    RunCommand({"tmux", "-L", socket_, "send-keys", "-t", "main", keys});
  }

  // Waits until the screen shows `text`, at most `seconds`.
  bool WaitForScreen(const std::string& text, int seconds = 60) {
    return WaitFor([&] { return Screen().find(text) != std::string::npos; }, seconds);
  }

  template <typename Predicate>
  static bool WaitFor(Predicate done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
  }

 private:
  std::string socket_;
  bool started_ = false;
};

// The command line that runs `setup` (the package's SETUP.EXE by default)
// with `args` and leaves its exit code in `rc_file`. The code is written
// beside it and renamed, so that `rc_file` never exists empty.
std::string SetupCommand(const std::string& args, const std::string& rc_file,
                         const std::string& setup = PackageDir() + "/SETUP.EXE") {
  return "env WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=' "
         "LC_ALL=en_US.UTF-8 WINEPREFIX='" +
         WinePrefix() + "' wine '" + setup + "' " + args + "; echo $? > '" + rc_file +
         ".new' && mv '" + rc_file + ".new' '" + rc_file + "'; sleep 600";
}

// A copy of SETUP.EXE in `dir` without catalogs: its failing catalog load
// gives the trace pause that the tests with /D answer.
std::string SetupWithoutCatalogs(const std::string& dir) {
  CopyFile(PackageDir() + "/SETUP.EXE", dir + "/SETUP.EXE");
  return dir + "/SETUP.EXE";
}

std::string ExitCodeIn(const std::string& rc_file) {
  return FileExists(rc_file) ? ReadFile(rc_file) : "<running>";
}

TEST(Keyboard, KeyPressEndsTheFinalWait) {
  const std::string rc = FreshWorkDir("key-final") + "/rc";
  TmuxSession session("final", SetupCommand("", rc));
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.WaitForScreen("Press any key to exit.")) << session.Screen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(ExitCodeIn(rc), "<running>");
  session.SendKeys("a");
  EXPECT_TRUE(TmuxSession::WaitFor([&] { return FileExists(rc); }, 30));
  EXPECT_EQ(ExitCodeIn(rc), "8\n");  // no adapter on this machine
}

// Without catalogs and with /D, a run on this machine pauses twice (the
// catalog that failed to load, then the adapter that was not found) before
// its final wait.
TEST(Keyboard, ArrowKeyLeavesItsSecondValueForTheNextWait) {
  const std::string dir = FreshWorkDir("key-arrow");
  const std::string rc = dir + "/rc";
  TmuxSession session("arrow", SetupCommand("/D", rc, SetupWithoutCatalogs(dir)));
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.WaitForScreen("Main - loadlangtbl failed.")) << session.Screen();
  // The arrow ends the first pause with its first value; the second pause
  // returns its second value at once, so the final wait is next.
  session.SendKeys("Up");
  ASSERT_TRUE(session.WaitForScreen("Press any key to exit.")) << session.Screen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(ExitCodeIn(rc), "<running>");
  session.SendKeys("Enter");
  EXPECT_TRUE(TmuxSession::WaitFor([&] { return FileExists(rc); }, 30)) << session.Screen();
  EXPECT_EQ(ExitCodeIn(rc), "8\n");
}

TEST(Keyboard, EachPauseWaitsForItsOwnKey) {
  const std::string dir = FreshWorkDir("key-letter");
  const std::string rc = dir + "/rc";
  TmuxSession session("letter", SetupCommand("/D", rc, SetupWithoutCatalogs(dir)));
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.WaitForScreen("Main - loadlangtbl failed.")) << session.Screen();
  session.SendKeys("x");
  ASSERT_TRUE(session.WaitForScreen("Didn't find USB SP.")) << session.Screen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(session.Screen().find("Press any key to exit."), std::string::npos) << session.Screen();
  session.SendKeys("Enter");
  ASSERT_TRUE(session.WaitForScreen("Press any key to exit.")) << session.Screen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(ExitCodeIn(rc), "<running>");
  session.SendKeys("F1");  // a key without a character ends the wait too
  EXPECT_TRUE(TmuxSession::WaitFor([&] { return FileExists(rc); }, 30));
  EXPECT_EQ(ExitCodeIn(rc), "8\n");
}

}  // namespace
}  // namespace qsetup::e2e
