#include "deploy/deploy.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string_view>

#include "catalog/messages.h"
#include "deploy/question.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_system_directory.h"
#include "support/written_messages.h"

namespace qsetup {
namespace {

using namespace written;

using testing::FakeConsoleIo;
using testing::FakeDeployOs;

constexpr char kPkg[] = "C:\\pkg\\";
constexpr char kSys[] = "C:\\WINDOWS\\system32\\";
constexpr char kStaging[] = "C:\\WINDOWS\\system32\\drivers\\qln2\\";

std::string Stamped(std::string_view version, std::string_view body = "body") {
  return "MZ!@#$" + std::string(version) + "$#@!" + std::string(body);
}

class DeployTest : public ::testing::Test {
 protected:
  FakeConsoleIo io;
  Console console{io};
  FakeDeployOs os;
  testing::FakeSystemDirectory system;
  std::array<const char*, kMessageCount> texts{};

  DeployTest() {
    std::copy_n(BuiltinMessages(), kMessageCount, texts.begin());
    os.AddDirectory("C:\\pkg");
  }

  DeployContext Ctx(bool verbose = false) {
    return DeployContext{os, system, console, MessageTable(texts.data()), verbose};
  }

  int Copy(const char* name, bool answer_yes = false, bool verbose = false) {
    return CopyVersionedFile(Ctx(verbose), kPkg, kSys, name, answer_yes);
  }

  static std::string Notice(const char* name) {
    return std::string("\r\n") + kPkg + name + " is older than " + kSys + name + ".\r\n";
  }
};

// --- the overwrite question ---------------------------------------------------

TEST_F(DeployTest, AnswersWithTheBuiltinWords) {
  const struct {
    const char* input;
    int answer;
    int asked;
  } cases[] = {
      {"y\n", kAnswerYes, 1},
      {"Y\n", kAnswerYes, 1},
      {"yes\n", kAnswerYes, 1},
      {"YES\r\n", kAnswerYes, 1},
      {"y please\n", kAnswerYes, 1},
      {"n\n", kAnswerNo, 1},
      {"N\n", kAnswerNo, 1},
      {"no\n", kAnswerNo, 1},
      {"No\n", kAnswerNo, 1},
      {"nope\n", kAnswerNo, 1},
      {"cancel\n", kAnswerCancel, 1},
      {"CANCEL\n", kAnswerCancel, 1},
      {"cancelled\n", kAnswerCancel, 1},
      {"  \tyes\n", kAnswerYes, 1},
      {"\t no\n", kAnswerNo, 1},
      {"\n   \nYes\n", kAnswerYes, 3},
      {"can\nc\nx\n?y\ny\n", kAnswerYes, 5},
      {"yes", kAnswerYes, 1},  // a last line without a line feed
      // The input ends: the answer is no, asked no more.
      {"", kAnswerNo, 1},
      {"maybe\n \n", kAnswerNo, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    FakeConsoleIo local_io;
    Console local(local_io);
    local_io.in = c.input;
    const DeployContext ctx{os, system, local, MessageTable(texts.data()), false};
    EXPECT_EQ(AskQuestion(ctx, "Copy? (y/n):\n", false), c.answer);
    std::string expected;
    for (int i = 0; i < c.asked; ++i) expected += "Copy? (y/n):\r\n";
    EXPECT_EQ(local_io.out, expected);
  }
}

TEST_F(DeployTest, AnswersWithCatalogWords) {
  const struct {
    const char* no;
    const char* yes;
    const char* cancel;
    const char* input;
    int answer;
    int asked;
  } cases[] = {
      {"nein", "ja", "abbrechen", "Ja\n", kAnswerYes, 1},
      {"nein", "ja", "abbrechen", "NEIN danke\n", kAnswerNo, 1},
      {"nein", "ja", "abbrechen", "y\nn\nabbrechen\n", kAnswerCancel, 3},
      {"nein", "ja", "abbrechen", "nei\n", kAnswerNo, 2},  // then the input ends
      // An empty word matches any line with a graphic character; the first
      // empty word in the order cancel, yes, no decides.
      {"n", "y", "", "n\n", kAnswerCancel, 1},
      {"n", "", "cancel", "n\n", kAnswerYes, 1},
      {"n", "", "cancel", "cancel\n", kAnswerCancel, 1},
      {"", "y", "cancel", "whatever\n", kAnswerNo, 1},
      {"", "", "", "  \n.\n", kAnswerCancel, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.input));
    texts[kMsgAnswerNo] = c.no;
    texts[kMsgAnswerYes] = c.yes;
    texts[kMsgAnswerCancel] = c.cancel;
    FakeConsoleIo local_io;
    Console local(local_io);
    local_io.in = c.input;
    const DeployContext ctx{os, system, local, MessageTable(texts.data()), false};
    EXPECT_EQ(AskQuestion(ctx, "?", false), c.answer);
    EXPECT_EQ(local_io.out, std::string(static_cast<std::size_t>(c.asked), '?'));
  }
}

TEST_F(DeployTest, AnswerYesFlagAsksNothing) {
  io.in = "n\n";
  EXPECT_EQ(AskQuestion(Ctx(), "Copy?\n", true), kAnswerYes);
  EXPECT_EQ(io.out, "");
  EXPECT_EQ(io.in_reads, 0);
}

TEST(SkipToGraphic, FindsTheFirstPrintableNonBlank) {
  EXPECT_EQ(SkipToGraphic(nullptr), nullptr);
  EXPECT_EQ(SkipToGraphic(""), nullptr);
  EXPECT_EQ(SkipToGraphic(" \t\r\x7f\x80\xff"), nullptr);
  const char text[] = " \t\x7f\x80!x";
  EXPECT_EQ(SkipToGraphic(text), text + 4);
  const char tilde[] = "~";
  EXPECT_EQ(SkipToGraphic(tilde), tilde);
}

// --- the versioned copy ---------------------------------------------------------

TEST_F(DeployTest, MissingTargetIsCopiedWithoutComparing) {
  os.AddFile("C:\\pkg\\A.DLL", Stamped("1"));
  EXPECT_EQ(Copy("A.DLL"), kCopyDone);
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").data, Stamped("1"));
  // Written beside the target under a name of this process's own first, and
  // on the disk before it took the target's name.
  EXPECT_EQ(os.unflushed_renames, 0);
  EXPECT_EQ(os.copies,
            std::vector<std::string>{"C:\\pkg\\A.DLL>C:\\WINDOWS\\system32\\A.DLL.~qln2.4242"});
  EXPECT_TRUE(os.opened.empty());
  EXPECT_EQ(io.out, "");
  EXPECT_EQ(os.FileCount(), 2u);  // nothing left beside the target
}

TEST_F(DeployTest, EqualNewerOrUnstampedSourceReplacesSilently) {
  const struct {
    std::string source, target;
  } cases[] = {
      {Stamped("2.1", "new"), Stamped("2.1", "old")},
      {Stamped("2.2", "new"), Stamped("2.1", "old")},
      {"no marker new", Stamped("9", "old")},
      {Stamped("1", "new"), "no marker old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    os.AddFile("C:\\pkg\\A.DLL", c.source);
    os.AddFile("C:\\WINDOWS\\system32\\A.DLL", c.target);
    EXPECT_EQ(Copy("A.DLL"), kCopyDone);
    EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").data, c.source);
  }
  EXPECT_EQ(io.out, "");
}

TEST_F(DeployTest, OlderSourceAsksAndFollowsTheAnswer) {
  const struct {
    const char* input;
    bool copied;
    int asked;
  } cases[] = {
      {"n\n", false, 1},      {"y\n", true, 1}, {"   \nYES\n", true, 2},
      {"cancel\n", false, 1}, {"", false, 1},  // the input has ended
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    io.out.clear();
    io.in = c.input;
    os.AddFile("C:\\pkg\\A.DLL", Stamped("1.0", "older"));
    os.AddFile("C:\\WINDOWS\\system32\\A.DLL", Stamped("1.1", "newer"), kAttributeReadOnly);
    EXPECT_EQ(Copy("A.DLL"), kCopyDone);
    std::string expected = Notice("A.DLL");
    for (int i = 0; i < c.asked; ++i) expected += kQuestion;
    EXPECT_EQ(io.out, expected);
    const testing::FakeDeployFile& target = os.File("C:\\WINDOWS\\system32\\A.DLL");
    EXPECT_EQ(target.data, Stamped(c.copied ? "1.0" : "1.1", c.copied ? "older" : "newer"));
    EXPECT_EQ(target.attributes, kAttributeNormal);  // reset before the question
    EXPECT_EQ(os.FileCount(), 2u);
  }
}

TEST_F(DeployTest, UnattendedCopyShowsTheNoticeOnly) {
  os.AddFile("C:\\pkg\\A.DLL", Stamped("1", "older"));
  os.AddFile("C:\\WINDOWS\\system32\\A.DLL", Stamped("2", "newer"));
  io.in = "n\n";
  EXPECT_EQ(Copy("A.DLL", true), kCopyDone);
  EXPECT_EQ(io.out, Notice("A.DLL"));
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").data, Stamped("1", "older"));
  EXPECT_EQ(io.in_reads, 0);
}

TEST_F(DeployTest, ProtectedTargetsAreOverwritten) {
  for (const std::uint32_t attributes : {kAttributeReadOnly, kAttributeHidden | kAttributeSystem,
                                         kAttributeReadOnly | kAttributeHidden}) {
    SCOPED_TRACE(attributes);
    os.AddFile("C:\\pkg\\A.DLL", "new", kAttributeNormal);
    os.AddFile("C:\\WINDOWS\\system32\\A.DLL", "old", attributes);
    EXPECT_EQ(Copy("A.DLL"), kCopyDone);
    EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").data, "new");
    EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").attributes, kAttributeNormal);
  }
}

TEST_F(DeployTest, MissingSourceFailsAndLeavesTheTarget) {
  os.AddFile("C:\\WINDOWS\\system32\\A.DLL", "old", kAttributeReadOnly | kAttributeHidden);
  EXPECT_EQ(Copy("A.DLL"), kCopyFailed);
  EXPECT_EQ(io.out, "");
  EXPECT_EQ(Copy("A.DLL", false, true), kCopyFailed);
  const std::string lines =
      "CopyFile source = >C:\\pkg\\A.DLL<\r\nCopyFile dest = >C:\\WINDOWS\\system32\\A.DLL<\r\n";
  EXPECT_EQ(io.out, lines + lines);
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").attributes,
            kAttributeReadOnly | kAttributeHidden);
  EXPECT_TRUE(os.copies.empty());
}

TEST_F(DeployTest, FailedCopiesLeaveTheTargetAsItWas) {
  enum Fault { kBreaksHalfWay, kFlushFails, kTargetLocked, kRenameFails, kFolderMissing };
  // A read-only source (a package on read-only media) gives a read-only copy.
  for (const std::uint32_t source_attributes : {kAttributeNormal, kAttributeReadOnly})
    for (const Fault fault :
         {kBreaksHalfWay, kFlushFails, kTargetLocked, kRenameFails, kFolderMissing}) {
      SCOPED_TRACE(::testing::Message() << "fault " << fault << ", source " << source_attributes);
      FakeDeployOs fresh;
      fresh.AddDirectory("C:\\pkg");
      const std::string target =
          fault == kFolderMissing ? "C:\\nowhere\\A.DLL" : "C:\\WINDOWS\\system32\\A.DLL";
      fresh.AddFile("C:\\pkg\\A.DLL", "the whole new file", source_attributes);
      if (fault != kFolderMissing) fresh.AddFile(target, "old");
      if (fault == kBreaksHalfWay) fresh.copy_breaks.insert(fresh.Key("C:\\pkg\\A.DLL"));
      if (fault == kTargetLocked) fresh.locked.insert(fresh.Key(target));
      if (fault == kRenameFails) fresh.move_fails.insert(fresh.Key(target));
      if (fault == kFlushFails) fresh.flush_fails.insert(fresh.Key(target + ".~qln2.4242"));
      FakeConsoleIo local_io;
      Console local(local_io);
      const DeployContext ctx{fresh, system, local, MessageTable(texts.data()), true};
      const std::string folder = target.substr(0, target.rfind('\\') + 1);
      EXPECT_EQ(CopyVersionedFile(ctx, kPkg, folder, "A.DLL", false), kCopyFailed);
      if (fault != kFolderMissing) {
        EXPECT_EQ(fresh.File(target).data, "old");
      }
      EXPECT_EQ(fresh.FileCount(), fault == kFolderMissing ? 1u : 2u);  // no partial copy left
      EXPECT_EQ(local_io.out, "CopyFile source = >C:\\pkg\\A.DLL<\r\nCopyFile dest = >" + target +
                                  "<\r\nCopyFile error on source file = >C:\\pkg\\A.DLL<\r\n");
    }
}

// The restart record as the copy asks for it.
struct FakeRestartRecorder final : RestartRecorder {
  bool fails = false;  // it cannot be written
  int asked = 0;
  bool Require() override {
    ++asked;
    return !fails;
  }
};

TEST_F(DeployTest, TargetsInUseAreReplacedOnceReleasedOrAtTheRestart) {
  const std::string target = "C:\\WINDOWS\\system32\\A.DLL";
  const std::string waiting = target + ".~qln2next";
  const std::string aside = target + ".~qln2old.4242";
  constexpr int kForever = FakeDeployOs::kHeldUntilRestart;
  const struct {
    const char* name;
    std::function<void(FakeDeployOs&)> prepare;
    bool record_fails;
    int result;
    const char* now;            // the target's content after the copy
    const char* after_restart;  // and after the next start of Windows
    bool at_restart;            // named as completed by that start
    std::size_t waits;
  } cases[] = {
      // A scanner holds it with all sharing flags for a moment.
      {"refused once, then released", [&](FakeDeployOs& fs) { fs.held[fs.Key(target)] = 1; }, false,
       kCopyDone, "new", "new", false, 1},
      {"refused twice", [&](FakeDeployOs& fs) { fs.held[fs.Key(target)] = 2; }, false, kCopyDone,
       "new", "new", false, 2},
      // Held for good, but shared for deletion: it steps aside.
      {"held with all sharing flags", [&](FakeDeployOs& fs) { fs.held[fs.Key(target)] = kForever; },
       false, kCopyDone, "new", "new", true, 5},
      {"a program runs from it",
       [&](FakeDeployOs& fs) { fs.running_images.insert(fs.Key(target)); }, false, kCopyDone, "new",
       "new", true, 5},
      // Held without sharing deletion: the copy waits for the restart.
      {"held open", [&](FakeDeployOs& fs) { fs.locked.insert(fs.Key(target)); }, false, kCopyDone,
       "old", "new", true, 5},
      // Without the record nothing is left for the restart.
      {"the record cannot be written",
       [&](FakeDeployOs& fs) { fs.held[fs.Key(target)] = kForever; }, true, kCopyFailed, "old",
       "old", false, 5},
      {"the rename fails for another reason",
       [&](FakeDeployOs& fs) {
         fs.locked.insert(fs.Key(target));
         fs.move_errors[fs.Key(target)] = kErrorDiskFull;
       },
       false, kCopyFailed, "old", "old", false, 0},
      // A later run that replaced the file at once: the copy that an
      // earlier one left for the restart would put the older file back.
      {"an earlier run's copy waits",
       [&](FakeDeployOs& fs) {
         fs.AddFile(waiting, "older");
         fs.at_restart.emplace_back(fs.Key(waiting), fs.Key(target));
       },
       false, kCopyDone, "new", "new", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDeployOs fresh;
    fresh.AddDirectory("C:\\pkg");
    fresh.AddFile("C:\\pkg\\A.DLL", "new");
    fresh.AddFile(target, "old");
    c.prepare(fresh);
    FakeRestartRecorder need;
    need.fails = c.record_fails;
    std::vector<std::string> at_restart;
    DeployContext ctx{fresh, system, console, MessageTable(texts.data()), false};
    ctx.restart = &need;
    ctx.at_restart = &at_restart;
    EXPECT_EQ(CopyVersionedFile(ctx, kPkg, kSys, "A.DLL", true), c.result);
    EXPECT_EQ(fresh.File(target).data, c.now);
    EXPECT_EQ(at_restart,
              c.at_restart ? std::vector<std::string>{"A.DLL"} : std::vector<std::string>{});
    EXPECT_EQ(fresh.waits.size(), c.waits);
    // Bounded: about two seconds in all.
    std::uint32_t waited = 0;
    for (const std::uint32_t wait : fresh.waits) waited += wait;
    EXPECT_LE(waited, 2000u);
    EXPECT_EQ(need.asked > 0, c.at_restart || c.record_fails);
    EXPECT_FALSE(fresh.HasFile(target + ".~qln2.4242")) << "a pending copy was left";
    fresh.Restart();
    EXPECT_EQ(fresh.File(target).data, c.after_restart);
    EXPECT_FALSE(fresh.HasFile(waiting));
    EXPECT_FALSE(fresh.HasFile(aside));
  }
}

TEST_F(DeployTest, ThePreparedCopiesAreWhatIsInstalled) {
  os.AddFile("C:\\pkg\\A.DLL", "new");
  os.AddFile("C:\\pkg\\B.DLL", "new");
  os.AddFile("C:\\WINDOWS\\system32\\B.DLL", "old");
  PreparedCopies prepared;
  DeployContext ctx = Ctx();
  ctx.prepared = &prepared;
  const char* const files[] = {"A.DLL", "B.DLL"};
  ASSERT_TRUE(PrepareCopies(ctx, kPkg, kSys, files));
  EXPECT_EQ(os.copies.size(), 2u);
  // The package is gone by the time of the copies: they take what was
  // prepared, and copy nothing again.
  os.files.erase(os.Key("C:\\pkg\\A.DLL"));
  os.AddFile("C:\\pkg\\B.DLL", "changed after the check");
  os.AddFile("C:\\pkg\\A.DLL", "changed after the check");
  for (const char* file : files)
    EXPECT_EQ(CopyVersionedFile(ctx, kPkg, kSys, file, true), kCopyDone);
  EXPECT_EQ(os.copies.size(), 2u);
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").data, "new");
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\B.DLL").data, "new");
  EXPECT_TRUE(prepared.targets.empty());
  EXPECT_EQ(os.FileCount(), 4u);
}

TEST_F(DeployTest, LeftoversOfInterruptedRunsGoAndCopiesOfRunningOnesStay) {
  const std::string pending = "C:\\WINDOWS\\system32\\A.DLL.~qln2";
  // Process 77 started before its copy was made, 78 in the same clock tick;
  // 56 took over the id of the process that made its copy; 57's start
  // cannot be told, nor whether 58 runs.
  os.running = {{77, 500}, {78, 600}, {56, 700}, {57, 0}};
  os.unknown_processes = {58};
  const struct {
    const char* suffix;
    bool stays;
  } leftovers[] = {
      {"", false},             // of an earlier version, unnumbered
      {".4242", false},        // of this process's id
      {".13", false},          // of a process that has ended
      {".4294967292", false},  // of a process with the largest kind of id, ended
      {".77", true},           // of a run that is still going on
      {".78", true},           // of a run that made it as it started
      {".58", true},           // of a process that may still run
      {".56", false},          // of a process whose id another one has now
      {".57", true},           // of a process that may be the one that made it
      {".77x", true},          // not a pending copy
      {".99999999999", true},  // no process has that id
  };
  for (const auto& leftover : leftovers) {
    os.AddFile(pending + leftover.suffix, "half", kAttributeReadOnly, 600);
  }
  os.AddFile("C:\\pkg\\A.DLL", "new");
  EXPECT_EQ(Copy("A.DLL"), kCopyDone);
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").data, "new");
  for (const auto& leftover : leftovers) {
    EXPECT_EQ(os.HasFile(pending + leftover.suffix), leftover.stays) << leftover.suffix;
  }
}

TEST_F(DeployTest, PathsThatDoNotFitFailInsteadOfBeingCut) {
  const std::string long_folder = "C:\\pkg\\" + std::string(520 - 7 - 1 - 5, 'd') + "\\";
  os.AddDirectory(long_folder);
  os.AddFile(long_folder + "A.DLL", "new");  // 520 characters
  os.AddFile("C:\\WINDOWS\\system32\\A.DLL", "old", kAttributeReadOnly);
  EXPECT_EQ(CopyVersionedFile(Ctx(true), long_folder, kSys, "A.DLL", false), kCopyFailed);
  const std::string source = long_folder + "A.DLL";
  EXPECT_EQ(io.out, "CopyFile source = >" + source + "<\r\nCopyFile dest = >" + kSys +
                        "A.DLL<\r\nCopyFile error on source file = >" + source + "<\r\n");
  EXPECT_EQ(CopyVersionedFile(Ctx(), kSys, long_folder, "A.DLL", false), kCopyFailed);
  EXPECT_TRUE(os.copies.empty());
  EXPECT_EQ(os.File("C:\\WINDOWS\\system32\\A.DLL").attributes, kAttributeReadOnly);
  // One character less fits.
  const std::string fitting = long_folder.substr(0, long_folder.size() - 2) + "\\";
  os.AddDirectory(fitting);
  os.AddFile(fitting + "A.DLL", "new");
  EXPECT_EQ(CopyVersionedFile(Ctx(), fitting, kSys, "A.DLL", false), kCopyDone);
}

TEST_F(DeployTest, QuestionFromTheCatalogIsCutAndPrintedAsItStands) {
  const std::string long_question = "Sure %s? 100%% " + std::string(300, 'q') + "\n";
  texts[kMsgCopyAnyway] = long_question.c_str();
  os.AddFile("C:\\pkg\\A.DLL", Stamped("1"));
  os.AddFile("C:\\WINDOWS\\system32\\A.DLL", Stamped("2"));
  io.in = "n\n";
  EXPECT_EQ(Copy("A.DLL"), kCopyDone);
  // Formatted once: "%%" became "%", then 255 characters, line feed lost.
  const std::string question = ("Sure %s? 100% " + std::string(300, 'q')).substr(0, 255);
  EXPECT_EQ(io.out, Notice("A.DLL") + question);
}

// --- the deployment sets ------------------------------------------------------------

class DeploymentSetsTest : public DeployTest {
 protected:
  static constexpr const char* kPackage[] = {"SETUP.EXE",    "TELMXW.DLL",  "TELMXREM.EXE",
                                             "TELMXSVC.EXE", "ENGLISH.NLS", "JAPANESE.NLS"};
  void AddPackage() {
    for (const char* f : kPackage) os.AddFile(std::string(kPkg) + f, Stamped("2", f));
  }
};

TEST_F(DeploymentSetsTest, StagesTheWholePackage) {
  AddPackage();
  EXPECT_EQ(StagePackage(Ctx(), "C:\\pkg", false), kSetCopied);
  EXPECT_EQ(os.made_directories, std::vector<std::string>{kStaging});
  for (const char* f : kPackage) {
    SCOPED_TRACE(f);
    EXPECT_EQ(os.File(std::string(kStaging) + f).data, Stamped("2", f));
  }
  // In the package's order, which the installer's own file comes first in.
  ASSERT_EQ(os.copies.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(os.copies[i].substr(0, os.copies[i].find('>')), std::string(kPkg) + kPackage[i]);
  }
  EXPECT_EQ(io.out, "");
  // A second run finds the directory in place and copies again.
  EXPECT_EQ(StagePackage(Ctx(), "C:\\pkg", false), kSetCopied);
  EXPECT_EQ(os.copies.size(), 12u);
}

TEST_F(DeploymentSetsTest, MissingFilesFailTheSetButNotTheOthers) {
  AddPackage();
  os.files.erase(os.Key("C:\\pkg\\JAPANESE.NLS"));
  EXPECT_EQ(StagePackage(Ctx(), "C:\\pkg", false), kSetCopyFailed);
  for (const char* f : kPackage) {
    SCOPED_TRACE(f);
    EXPECT_EQ(os.HasFile(std::string(kStaging) + f), std::string_view(f) != "JAPANESE.NLS");
  }

  os.files.erase(os.Key(std::string(kStaging) + "TELMXREM.EXE"));
  EXPECT_EQ(RefreshSystemTools(Ctx(), false), kSetCopyFailed);
  EXPECT_FALSE(os.HasFile(std::string(kSys) + "TELMXREM.EXE"));
  EXPECT_TRUE(os.HasFile(std::string(kSys) + "TELMXSVC.EXE"));
}

TEST_F(DeploymentSetsTest, StagingFailsWithoutTheDriverDirectory) {
  AddPackage();
  os.directories.erase(os.Key("C:\\WINDOWS\\system32\\drivers"));
  EXPECT_EQ(StagePackage(Ctx(), "C:\\pkg", false), kSetCopyFailed);
  EXPECT_EQ(os.copies.size(), 6u);
  EXPECT_EQ(os.FileCount(), 6u);
}

TEST_F(DeploymentSetsTest, UnreadableSystemDirectoryCopiesNothing) {
  AddPackage();
  for (const std::uint32_t length : {0u, 600u}) {
    system.Set(std::string(length, 's'));
    EXPECT_EQ(StagePackage(Ctx(), "C:\\pkg", false), kSetCopyFailed);
    EXPECT_EQ(RefreshSystemTools(Ctx(), false), kSetCopyFailed);
  }
  EXPECT_TRUE(os.copies.empty());
  EXPECT_TRUE(os.made_directories.empty());
}

TEST_F(DeploymentSetsTest, SourceDirectoryWithItsSeparatorIsFound) {
  AddPackage();
  EXPECT_EQ(StagePackage(Ctx(true), "C:\\pkg\\", false), kSetCopied);
  EXPECT_NE(io.out.find("CopyFile source = >C:\\pkg\\\\SETUP.EXE<\r\n"), std::string::npos);
  EXPECT_EQ(os.File(std::string(kStaging) + "SETUP.EXE").data, Stamped("2", "SETUP.EXE"));
}

TEST_F(DeploymentSetsTest, RefreshAsksBeforeReplacingANewerTool) {
  os.AddDirectory(kStaging);
  os.AddFile(std::string(kStaging) + "TELMXREM.EXE", Stamped("1", "staged"));
  os.AddFile(std::string(kStaging) + "TELMXSVC.EXE", Stamped("1", "staged"));
  os.AddFile(std::string(kSys) + "TELMXREM.EXE", Stamped("3", "installed"));
  io.in = "n\n";
  EXPECT_EQ(RefreshSystemTools(Ctx(), false), kSetCopied);
  EXPECT_EQ(io.out, std::string("\r\n") + kStaging + "TELMXREM.EXE is older than " + kSys +
                        "TELMXREM.EXE.\r\n" + kQuestion);
  EXPECT_EQ(os.File(std::string(kSys) + "TELMXREM.EXE").data, Stamped("3", "installed"));
  EXPECT_EQ(os.File(std::string(kSys) + "TELMXSVC.EXE").data, Stamped("1", "staged"));

  // Unattended, the older tool replaces the newer one without a question.
  io.out.clear();
  EXPECT_EQ(RefreshSystemTools(Ctx(), true), kSetCopied);
  EXPECT_EQ(os.File(std::string(kSys) + "TELMXREM.EXE").data, Stamped("1", "staged"));
  EXPECT_EQ(io.out.find(kQuestion), std::string::npos);
}

}  // namespace
}  // namespace qsetup
