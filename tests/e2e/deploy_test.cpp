// The versioned copy and the deployment sets under Wine, through the
// deploy_probe fixture: real files, real attributes, answers on redirected
// standard input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "e2e/wine_runner.h"
#include "support/written_messages.h"

namespace qsetup::e2e {
namespace {

using namespace written;

namespace fs = std::filesystem;

constexpr char kWinSystem[] = "C:\\windows\\system32\\";

std::string Probe() {
  return FixtureDir() + "/deploy_probe.exe";
}

std::string Stamped(const std::string& version, const std::string& body) {
  return "MZ" + std::string(60, '\0') + "!@#$" + version + "$#@!" + body;
}

unsigned Mode(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 0777;
}

void PutFile(const std::string& path, const std::string& data, unsigned mode = 0644) {
  if (fs::exists(path)) fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  fs::remove(path);
  WriteFile(path, data);
  fs::permissions(path, static_cast<fs::perms>(mode));
}

// Removes what a test put into the prefix's system directory, however the
// test ends.
class SystemFiles {
 public:
  explicit SystemFiles(std::vector<std::string> names) : names_(std::move(names)) { Clean(); }
  ~SystemFiles() { Clean(); }
  // A name relative to the system directory, or an absolute Unix path.
  std::string Path(const std::string& name) const {
    return name.front() == '/' ? name : UnixSystemDir() + "/" + name;
  }

 private:
  void Clean() {
    for (const std::string& name : names_) {
      const fs::path path = Path(name);
      std::error_code ignored;
      fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
      fs::remove(path, ignored);
      for (const std::string& pending : PendingCopies(path.string())) {
        fs::remove(path.parent_path() / pending, ignored);
      }
    }
  }
  std::vector<std::string> names_;
};

std::string Notice(const std::string& source_folder, const std::string& name) {
  return "\r\n" + source_folder + name + " is older than " + kWinSystem + name + ".\r\n";
}

TEST(Deploy, OlderSourceFollowsTheAnswer) {
  const std::string name = "QDEPANS.DLL";
  const SystemFiles system({name});
  const std::string src = FreshWorkDir("deploy-answers");
  const std::string src_win = WindowsPath(src) + "\\";
  PutFile(src + "/" + name, Stamped("2.0", "older"));
  const struct {
    const char* input;
    bool copied;
    int asked;
  } cases[] = {
      {"n\n", false, 1},      {"y\n", true, 1}, {"   \r\nYES\r\n", true, 2},
      {"cancel\n", false, 1}, {"", false, 1},  // standard input at its end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    PutFile(system.Path(name), Stamped("2.1", "newer"));
    const RunResult r =
        RunWine(Probe(), {.args = {"copy", src_win, kWinSystem, name}, .stdin_data = c.input});
    EXPECT_EQ(r.exit_code, 0);
    std::string expected = Notice(src_win, name);
    for (int i = 0; i < c.asked; ++i) expected += kQuestion;
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(ReadFile(system.Path(name)),
              c.copied ? Stamped("2.0", "older") : Stamped("2.1", "newer"));
    EXPECT_EQ(PendingCopies(system.Path(name)), std::vector<std::string>{});
  }
}

TEST(Deploy, UnattendedRunPrintsTheNoticeAndCopies) {
  const std::string name = "QDEPUNAT.DLL";
  const SystemFiles system({name});
  const std::string src = FreshWorkDir("deploy-unattended");
  const std::string src_win = WindowsPath(src) + "\\";
  PutFile(src + "/" + name, Stamped("1", "older"));
  PutFile(system.Path(name), Stamped("7", "newer"));
  const RunResult r =
      RunWine(Probe(), {.args = {"copy", src_win, kWinSystem, name, "/Q"}, .stdin_data = "n\n"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, Notice(src_win, name));
  EXPECT_EQ(ReadFile(system.Path(name)), Stamped("1", "older"));
}

TEST(Deploy, ReadOnlyTargetIsOverwritten) {
  const std::string name = "QDEPRO.DLL";
  const SystemFiles system({name});
  const std::string src = FreshWorkDir("deploy-readonly");
  // From read-only media: the copy beside the target is read-only as well
  // until it has been flushed.
  PutFile(src + "/" + name, Stamped("3", "new"), 0444);
  PutFile(system.Path(name), Stamped("2", "old"), 0444);
  const RunResult r =
      RunWine(Probe(), {.args = {"copy", WindowsPath(src) + "\\", kWinSystem, name}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(system.Path(name)), Stamped("3", "new"));
  // With the source's attributes, as the system's copy gives them.
  EXPECT_EQ(Mode(system.Path(name)), 0444u);
  EXPECT_EQ(PendingCopies(system.Path(name)), std::vector<std::string>{});
}

TEST(Deploy, TargetInUseFailsTheCopyAndNothingIsLeftBesideIt) {
  const std::string name = "QDEPHELD.DLL";
  const SystemFiles system({name});
  const std::string src = FreshWorkDir("deploy-held");
  // A read-only source, as on read-only media: its copy is read-only too.
  PutFile(src + "/" + name, Stamped("3", "new"), 0444);
  PutFile(system.Path(name), Stamped("2", "old"));
  const HeldFile held(std::string(kWinSystem) + name);
  const RunResult r =
      RunWine(Probe(), {.args = {"copy", WindowsPath(src) + "\\", kWinSystem, name, "/D"}});
  EXPECT_EQ(r.exit_code, 103);
  EXPECT_NE(r.out.find("CopyFile error on source file = >"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(system.Path(name)), Stamped("2", "old"));
  EXPECT_EQ(PendingCopies(system.Path(name)), std::vector<std::string>{});
}

TEST(Deploy, MissingSourceFailsAndKeepsTheTargetsAttributes) {
  const std::string name = "QDEPMISS.DLL";
  const SystemFiles system({name});
  const std::string src_win = WindowsPath(FreshWorkDir("deploy-missing")) + "\\";
  PutFile(system.Path(name), Stamped("2", "old"), 0444);

  const RunResult quiet = RunWine(Probe(), {.args = {"copy", src_win, kWinSystem, name}});
  EXPECT_EQ(quiet.exit_code, 103);
  EXPECT_EQ(quiet.out, "");

  const RunResult traced = RunWine(Probe(), {.args = {"copy", src_win, kWinSystem, name, "/D"}});
  EXPECT_EQ(traced.exit_code, 103);
  const std::string lines = "CopyFile source = >" + src_win + name + "<\r\nCopyFile dest = >" +
                            kWinSystem + name + "<\r\n";
  EXPECT_EQ(traced.out, lines + lines);

  EXPECT_EQ(Mode(system.Path(name)), 0444u);
  EXPECT_EQ(ReadFile(system.Path(name)), Stamped("2", "old"));
}

TEST(Deploy, CopyIntoAMissingFolderFails) {
  const std::string src = FreshWorkDir("deploy-nofolder");
  const std::string src_win = WindowsPath(src) + "\\";
  const std::string target_win = WindowsPath(src) + "\\absent\\";
  PutFile(src + "/QDEP.DLL", "data");
  const RunResult r = RunWine(Probe(), {.args = {"copy", src_win, target_win, "QDEP.DLL", "/D"}});
  EXPECT_EQ(r.exit_code, 103);
  EXPECT_EQ(r.out, "CopyFile source = >" + src_win + "QDEP.DLL<\r\nCopyFile dest = >" + target_win +
                       "QDEP.DLL<\r\nCopyFile error on source file = >" + src_win +
                       "QDEP.DLL<\r\n");
  EXPECT_FALSE(fs::exists(src + "/absent"));
}

TEST(Deploy, StagesThePackageAndRefreshesTheTools) {
  const std::vector<std::string> package = {"SETUP.EXE",    "TELMXW.DLL",  "TELMXREM.EXE",
                                            "TELMXSVC.EXE", "ENGLISH.NLS", "JAPANESE.NLS"};
  std::vector<std::string> placed = {"TELMXREM.EXE", "TELMXSVC.EXE"};
  const std::string staging = UnixSystemDir() + "/drivers/qln2";
  // The staging directory goes too, unless it was there before.
  const std::unique_ptr<const char, std::function<void(const char*)>> remove_staging(
      fs::exists(staging) ? nullptr : "", [&staging](const char*) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
      });
  for (const std::string& f : package) placed.push_back(staging + "/" + f);
  const SystemFiles system(placed);
  const std::string src = FreshWorkDir("deploy-stage");
  for (const std::string& f : package) PutFile(src + "/" + f, Stamped("5", f));

  // 19: the length of C:\windows\system32.
  RunResult r = RunWine(Probe(), {.args = {"stage", WindowsPath(src), "/Q"}});
  EXPECT_EQ(r.exit_code, 19);
  EXPECT_EQ(r.out, "");
  for (const std::string& f : package) {
    SCOPED_TRACE(f);
    EXPECT_EQ(ReadFile(staging + "/" + f), Stamped("5", f));
  }

  // A second run, with a file missing: the others are still staged.
  fs::remove(src + "/JAPANESE.NLS");
  PutFile(src + "/TELMXW.DLL", Stamped("6", "again"));
  r = RunWine(Probe(), {.args = {"stage", WindowsPath(src), "/Q"}});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(ReadFile(staging + "/TELMXW.DLL"), Stamped("6", "again"));

  r = RunWine(Probe(), {.args = {"refresh", "/Q"}});
  EXPECT_EQ(r.exit_code, 19);
  EXPECT_EQ(ReadFile(system.Path("TELMXREM.EXE")), Stamped("5", "TELMXREM.EXE"));
  EXPECT_EQ(ReadFile(system.Path("TELMXSVC.EXE")), Stamped("5", "TELMXSVC.EXE"));

  fs::remove(staging + "/TELMXREM.EXE");
  r = RunWine(Probe(), {.args = {"refresh", "/Q"}});
  EXPECT_EQ(r.exit_code, 2);
}

}  // namespace
}  // namespace qsetup::e2e
