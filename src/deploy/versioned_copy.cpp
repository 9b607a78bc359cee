#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

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

// The question, formatted once into a buffer of its own.
class QuestionText final : public TextSink {
 public:
  void Append(std::string_view piece) override {
    const std::size_t n = std::min(piece.size(), kQuestionMax - length_);
    piece.copy(text_.data() + length_, n);
    length_ += n;
  }
  void AppendBlanks(std::size_t count) override {
    const std::size_t n = std::min(count, kQuestionMax - length_);
    std::fill_n(text_.data() + length_, n, ' ');
    length_ += n;
  }
  const char* c_str() {
    text_[length_] = '\0';
    return text_.data();
  }

 private:
  std::array<char, kQuestionMax + 1> text_;
  std::size_t length_ = 0;
};

// The copy that is made beside a target before it replaces it is named
// after the target, this suffix and the process id, so that runs at the same
// time never share one.
constexpr char kPendingSuffix[] = ".~qln2";

std::string PendingName(const std::string& target, std::uint32_t process_id) {
  return target + kPendingSuffix + "." + std::to_string(process_id);
}

// Removes a file even when it is read-only, hidden or system.
void Discard(DeployOs& os, const std::string& path) {
  os.SetAttributes(path, kAttributeNormal);
  os.RemoveFile(path);
}

// The process id in the pending name `name` of `target_name`; nullopt when it
// is not one. An empty id is the name that earlier versions used, without
// one.
std::optional<std::string> PendingId(std::string_view name, std::string_view target_name) {
  const std::size_t prefix_length = target_name.size() + sizeof kPendingSuffix - 1;
  if (name.size() < prefix_length) return std::nullopt;
  const std::string_view prefix_end = name.substr(prefix_length);
  if (prefix_end.empty()) return std::string();
  if (prefix_end.front() != '.' || prefix_end.size() < 2 || prefix_end.size() > 11) {
    return std::nullopt;
  }
  for (const char c : prefix_end.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return std::string(prefix_end.substr(1));
}

// True when the pending copy `file` may belong to a run that is still going
// on: the process of its id runs, and it started before the copy was made
// (a process that started later only took over the id of one that ended).
// What cannot be told is left to the run that may own it.
bool MayBelongToARunningRun(DeployOs& os, std::uint32_t process_id, const FoundFile& file) {
  const ProcessStatus process = os.FindProcess(process_id);
  switch (process.state) {
    case ProcessStatus::State::kNone:
      return false;
    case ProcessStatus::State::kRunning:
      return process.started == 0 || process.started <= file.created;
    case ProcessStatus::State::kUnknown:
      break;
  }
  return true;
}

// Removes the pending copies of `target` that interrupted runs left: those of
// processes that no longer run, this process's own id (which no other
// running process can have), and the unnumbered name of earlier versions.
// A pending copy of a run that may still be going on is left to it.
void RemoveLeftovers(DeployOs& os, const std::string& target) {
  const std::size_t slash = target.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string target_name = target.substr(folder.size());
  const std::uint32_t own_id = os.ProcessId();
  for (const FoundFile& file : os.FilesStartingWith(target + kPendingSuffix)) {
    const std::optional<std::string> id = PendingId(file.name, target_name);
    if (!id) continue;
    if (!id->empty()) {
      const unsigned long long value = std::stoull(*id);
      if (value != own_id &&
          (value > UINT32_MAX ||
           MayBelongToARunningRun(os, static_cast<std::uint32_t>(value), file))) {
        continue;
      }
    }
    Discard(os, folder + file.name);
  }
}

// A failed copy: kept as the run's first, unless an earlier one failed.
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

void TracePaths(const DeployContext& ctx, const std::string& source, const std::string& target) {
  if (!ctx.verbose) return;
  ctx.console.PrintText("CopyFile source = >%s<\n", source.c_str());
  ctx.console.PrintText("CopyFile dest = >%s<\n", target.c_str());
}

// Copies `source` over `target` so that the target ends either with the
// source's full contents or with its own: the system's file copy may leave a
// partial file behind when it fails part way, so it writes a copy beside the
// target, which then replaces the target in one rename. The copy is on the
// disk before it takes the target's name, so that not even a power cut can
// leave a target that has the name but not yet the data. Returns the Windows
// error of the step that failed.
WinError ReplaceTarget(DeployOs& os, const std::string& source, const std::string& target) {
  RemoveLeftovers(os, target);
  const std::string pending = PendingName(target, os.ProcessId());
  WinError error = os.CopyToNew(source, pending);
  if (error == kErrorSuccess) error = os.FlushFile(pending);
  if (error == kErrorSuccess) error = os.MoveOver(pending, target);
  // A copy that failed, and one that could not take the target's place, may
  // carry the source's read-only attribute.
  if (error != kErrorSuccess) Discard(os, pending);
  return error;
}

}  // namespace

int AskQuestion(const DeployContext& ctx, const char* question, bool answer_yes) {
  if (answer_yes) return kAnswerYes;
  const AnswerWords words = AnswerWordsOf(ctx.messages);
  AnswerLine line{};
  for (;;) {
    ctx.console.PrintText("%s", question);
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

  const WinError error = ReplaceTarget(ctx.os, source, target);
  if (error == kErrorSuccess) return kCopyDone;
  if (ctx.verbose) ctx.console.PrintText("CopyFile error on source file = >%s<\n", source.c_str());
  return Failed(ctx, source, target, error);
}

}  // namespace qsetup
