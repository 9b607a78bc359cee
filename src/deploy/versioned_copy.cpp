#include <cstring>

#include "console/format.h"
#include "deploy/deploy.h"
#include "deploy/question.h"
#include "deploy/version_stamp.h"

namespace qsetup {
namespace {

// Longest source or target path: they live in 520-byte buffers elsewhere in
// the installer, and a path is never cut to fit.
constexpr std::size_t kPathMax = 519;

// Longest question text; a longer message is cut.
constexpr std::size_t kQuestionMax = 255;

// Name of the copy that is made beside a target before it replaces it.
constexpr char kPendingSuffix[] = ".~qln2";

void TracePaths(const DeployContext& ctx, const std::string& source, const std::string& target) {
  if (!ctx.verbose) return;
  ctx.console.PrintText("CopyFile source = >%s<\n", source.c_str());
  ctx.console.PrintText("CopyFile dest = >%s<\n", target.c_str());
}

// Copies `source` over `target` so that the target ends either with the
// source's full contents or with its own: the system's file copy may leave a
// partial file behind when it fails part way, so it writes a copy beside the
// target, which then replaces the target in one rename.
bool ReplaceTarget(DeployOs& os, const std::string& source, const std::string& target) {
  const std::string pending = target + kPendingSuffix;
  os.SetAttributes(pending, kAttributeNormal);  // a leftover of an interrupted run
  if (!os.CopyOver(source, pending)) {
    os.RemoveFile(pending);
    return false;
  }
  if (!os.MoveOver(pending, target)) {
    os.RemoveFile(pending);
    return false;
  }
  return true;
}

}  // namespace

int AskQuestion(const DeployContext& ctx, const std::string& question, bool answer_yes) {
  if (answer_yes) return kAnswerYes;
  const AnswerWords words = AnswerWordsOf(ctx.messages);
  AnswerLine line{};
  for (;;) {
    ctx.console.PrintText("%s", question.c_str());
    // No line can ever come again: keep what is there.
    if (!ctx.console.ReadAnswerLine(line)) return kAnswerNo;
    if (const std::optional<AnswerCode> answer = MatchAnswer(line.data(), words)) return *answer;
  }
}

int CopyVersionedFile(const DeployContext& ctx, const std::string& source_folder,
                      const std::string& target_folder, const std::string& file_name,
                      bool answer_yes) {
  const std::string source = source_folder + file_name;
  const std::string target = target_folder + file_name;
  TracePaths(ctx, source, target);

  if (source.size() > kPathMax || target.size() > kPathMax) {
    if (ctx.verbose)
      ctx.console.PrintText("CopyFile error on source file = >%s<\n", source.c_str());
    return kCopyFailed;
  }
  if (!ctx.os.PathExists(source)) {
    TracePaths(ctx, source, target);
    return kCopyFailed;
  }

  // Read-only, hidden and system targets could not be replaced otherwise.
  ctx.os.SetAttributes(target, kAttributeNormal);

  if (ctx.os.PathExists(target) && CompareVersionStamps(ctx, source, target) == -1) {
    ctx.console.PrintText("\n");
    ctx.console.PrintText(ctx.messages[kMsgSourceOlder], source.c_str(), target.c_str());
    std::string question = FormatText(ctx.messages[kMsgCopyAnyway], {});
    if (question.size() > kQuestionMax) question.resize(kQuestionMax);
    // Only a yes replaces the newer target; no and cancel both keep it.
    if (AskQuestion(ctx, question, answer_yes) != kAnswerYes) return kCopyDone;
  }

  if (ReplaceTarget(ctx.os, source, target)) return kCopyDone;
  if (ctx.verbose) ctx.console.PrintText("CopyFile error on source file = >%s<\n", source.c_str());
  return kCopyFailed;
}

}  // namespace qsetup
