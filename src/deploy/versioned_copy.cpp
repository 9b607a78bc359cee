#include <algorithm>
#include <cstdint>
#include <string>

#include "deploy/pending_copy.h"
#include "deploy/question.h"
#include "deploy/version_stamp.h"

namespace qsetup {
namespace {

// The waits between the tries of a rename over a target that a program holds
// open, each twice the one before, about two seconds in all: a scanner or a
// backup agent that reads a file lets go of it within that time.
constexpr std::uint32_t kFirstReleaseWaitMs = 64;
constexpr std::uint32_t kLastReleaseWaitMs = 1024;

// True when `error` is a rename's refusal of a target that is open or in use.
bool RefusedInUse(WinError error) {
  return error == kErrorAccessDenied || error == kErrorSharingViolation;
}

// Renames `from` over `to`, trying again after each release wait while `to`
// is held. Returns the Windows error of the last try.
WinError MoveOverWhenReleased(DeployOs& os, const std::string& from, const std::string& to) {
  WinError error = os.MoveOver(from, to);
  for (std::uint32_t wait = kFirstReleaseWaitMs; wait <= kLastReleaseWaitMs && RefusedInUse(error);
       wait *= 2) {
    os.Wait(wait);
    error = os.MoveOver(from, to);
  }
  return error;
}

void TracePaths(const DeployContext& ctx, const std::string& source, const std::string& target) {
  if (!ctx.verbose) return;
  ctx.console.PrintText("CopyFile source = >%s<\n", source.c_str());
  ctx.console.PrintText("CopyFile dest = >%s<\n", target.c_str());
}

// Takes the prepared copy of `target` out of the run's list; false when
// there is none.
bool TakePrepared(const DeployContext& ctx, const std::string& target) {
  if (ctx.prepared == nullptr) return false;
  std::vector<std::string>& targets = ctx.prepared->targets;
  const auto it = std::find(targets.begin(), targets.end(), target);
  if (it == targets.end()) return false;
  targets.erase(it);
  return true;
}

// Puts `pending` in the place of `target`, which a program has in use. A
// running program's image can be renamed: it steps aside, the new file takes
// its place now, and the old one is deleted at the next start of Windows.
// A file that a program holds open cannot be: the system renames `pending`
// over it at that start. Either way the restart is recorded first: without
// the record nothing is left for the restart, and `in_use`, the error of the
// rename that found the target in use, is the copy's. Returns the Windows
// error of the step that failed; `pending` is left as it was then.
WinError ReplaceInUse(const DeployContext& ctx, const std::string& pending,
                      const std::string& target, WinError in_use) {
  DeployOs& os = ctx.os;
  if (!ctx.restart->Require()) return in_use;
  // The old image's deletion is left for the restart before it steps
  // aside, so that a run ended in between leaves no file behind for good;
  // the deletion of a name that nothing took is dropped then.
  const std::string aside = AsideName(target, os.ProcessId());
  if (os.DeleteAtRestart(aside) == kErrorSuccess && os.MoveOver(target, aside) == kErrorSuccess) {
    if (os.MoveOver(pending, target) == kErrorSuccess) return kErrorSuccess;
    if (const WinError error = os.MoveOver(aside, target); error != kErrorSuccess) return error;
  }
  const std::string waiting = WaitingCopyName(target);
  WinError error = os.MoveOver(pending, waiting);
  if (error != kErrorSuccess) return error;
  error = os.ReplaceAtRestart(waiting, target);
  if (error != kErrorSuccess) {
    os.MoveOver(waiting, pending);
  } else if (ctx.waiting_targets != nullptr) {
    ctx.waiting_targets->push_back(target);
  }
  return error;
}

// Copies `source` over `target` so that the target ends either with the
// source's full contents or with its own: the system's file copy may leave a
// partial file behind when it fails part way, so it writes a copy beside the
// target (or takes the one prepared there), which then replaces the target
// in one rename. The copy is on the disk before it takes the target's name,
// so that not even a power cut can leave a target that has the name but not
// yet the data. Where the context allows it, a target in use is replaced at
// the next start of Windows, and `at_restart` is set. Returns the Windows
// error of the step that failed.
WinError ReplaceTarget(const DeployContext& ctx, const std::string& source,
                       const std::string& target, bool& at_restart) {
  DeployOs& os = ctx.os;
  const std::string pending = PendingName(target, os.ProcessId());
  const bool prepared = TakePrepared(ctx, target);
  if (!prepared) {
    if (const WinError error = PutBeside(os, source, target); error != kErrorSuccess) return error;
  }
  WinError error = MoveOverWhenReleased(os, pending, target);
  if (error == kErrorSuccess) {
    // A copy that an earlier run left for the restart would put its file
    // back over this one.
    Discard(os, WaitingCopyName(target));
    return kErrorSuccess;
  }
  // Still refused: a program has the target in use, unless no restart could
  // replace it either.
  if (ctx.restart != nullptr && RefusedInUse(error) &&
      os.CheckReplaceable(target).when != Replaceable::kNever) {
    error = ReplaceInUse(ctx, pending, target, error);
    if (error == kErrorSuccess) {
      at_restart = true;
      return kErrorSuccess;
    }
  }
  // A prepared copy stays for the copy that the run makes later; any other
  // goes, with the source's read-only attribute that it may carry.
  if (prepared) {
    KeepPrepared(ctx, target);
  } else {
    Discard(os, pending);
  }
  return error;
}

}  // namespace

std::string PendingName(const std::string& target, std::uint32_t process_id) {
  return target + kPendingSuffix + "." + std::to_string(process_id);
}

void KeepPrepared(const DeployContext& ctx, const std::string& target) {
  ctx.prepared->targets.push_back(target);
}

void TakeWaitingCopy(const DeployContext& ctx, std::string& source) {
  if (ctx.waiting_targets == nullptr) return;
  for (const std::string& target : *ctx.waiting_targets) {
    if (target == source) {
      source = WaitingCopyName(source);
      return;
    }
  }
}

int Failed(const DeployContext& ctx, const std::string& source, const std::string& target,
           WinError error) {
  FailedCopy* const first = ctx.first_failure;
  if (first != nullptr && first->error == kErrorSuccess) {
    first->source = source;
    first->target = target;
    first->error = error;
  }
  return kCopyFailed;
}

int CopyVersionedFile(const DeployContext& ctx, const std::string& source_folder,
                      const std::string& target_folder, const std::string& file_name,
                      bool answer_yes) {
  std::string source = source_folder + file_name;
  TakeWaitingCopy(ctx, source);
  const std::string target = target_folder + file_name;
  TracePaths(ctx, source, target);

  if (source.size() > kPathMax || target.size() > kPathMax) {
    if (ctx.verbose) {
      ctx.console.PrintText("CopyFile error on source file = >%s<\n", source.c_str());
    }
    return Failed(ctx, source, target, kErrorFilenameExcedRange);
  }
  if (!ctx.os.PathExists(source)) {
    TracePaths(ctx, source, target);
    return Failed(ctx, source, target, kErrorFileNotFound);
  }
  // A file copied onto itself is in place already; the copy would fail
  // where it is in use, as the running program's own image is.
  if (ctx.os.SameFile(source, target)) return kCopyDone;

  // Read-only, hidden and system targets could not be replaced otherwise.
  ctx.os.SetAttributes(target, kAttributeNormal);

  if (ctx.os.PathExists(target) && CompareVersionStamps(ctx, source, target) == -1) {
    ctx.console.PrintText("\n");
    ctx.console.PrintText(ctx.messages[kMsgSourceOlder], source.c_str(), target.c_str());
    QuestionText question;
    FormatTo(question, ctx.messages[kMsgCopyAnyway], {});
    // Only a yes replaces the newer target; no and cancel both keep it.
    if (AskQuestion(ctx, question.c_str(), answer_yes) != kAnswerYes) return kCopyDone;
  }

  bool at_restart = false;
  const WinError error = ReplaceTarget(ctx, source, target, at_restart);
  if (error == kErrorSuccess) {
    if (at_restart && ctx.at_restart != nullptr) ctx.at_restart->push_back(file_name);
    return kCopyDone;
  }
  if (ctx.verbose) {
    ctx.console.PrintText("CopyFile error on source file = >%s<\n", source.c_str());
  }
  return Failed(ctx, source, target, error);
}

WinError CopyWhole(const DeployContext& ctx, const std::string& source, const std::string& target) {
  DeployContext plain = ctx;
  plain.prepared = nullptr;
  plain.restart = nullptr;
  bool at_restart = false;
  return ReplaceTarget(plain, source, target, at_restart);
}

}  // namespace qsetup
