#include "deploy/pending_copy.h"

#include <optional>
#include <string_view>

namespace qsetup {
namespace {

// The digits of the process id in the pending name `name` of `target_name`;
// nullopt when it is not one. An empty id is the name that earlier versions
// used, without one.
std::optional<std::string_view> PendingId(std::string_view name, std::string_view target_name) {
  const std::size_t prefix_length = target_name.size() + sizeof kPendingSuffix - 1;
  if (name.size() < prefix_length) return std::nullopt;
  const std::string_view prefix_end = name.substr(prefix_length);
  if (prefix_end.empty()) return prefix_end;
  if (prefix_end.front() != '.' || prefix_end.size() < 2 || prefix_end.size() > 11) {
    return std::nullopt;
  }
  for (const char c : prefix_end.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return prefix_end.substr(1);
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
    const std::optional<std::string_view> id = PendingId(file.name, target_name);
    if (!id) continue;
    if (!id->empty()) {
      // At most ten digits, which PendingId checked: no overflow.
      std::uint64_t value = 0;
      for (const char digit : *id) value = value * 10 + static_cast<unsigned>(digit - '0');
      if (value != own_id &&
          (value > UINT32_MAX ||
           MayBelongToARunningRun(os, static_cast<std::uint32_t>(value), file))) {
        continue;
      }
    }
    Discard(os, folder + file.name);
  }
}

}  // namespace

void Discard(DeployOs& os, const std::string& path) {
  os.SetAttributes(path, kAttributeNormal);
  os.RemoveFile(path);
}

WinError PutBeside(DeployOs& os, const std::string& source, const std::string& target) {
  RemoveLeftovers(os, target);
  const std::string pending = PendingName(target, os.ProcessId());
  WinError error = os.CopyToNew(source, pending);
  if (error == kErrorSuccess) error = os.FlushFile(pending);
  // A copy that failed may carry the source's read-only attribute.
  if (error != kErrorSuccess) Discard(os, pending);
  return error;
}

bool PrepareCopies(const DeployContext& ctx, const std::string& source_folder,
                   const std::string& target_folder, std::span<const char* const> file_names) {
  for (const char* file_name : file_names) {
    std::string source = source_folder + file_name;
    TakeWaitingCopy(ctx, source);
    const std::string target = target_folder + file_name;
    WinError error = kErrorSuccess;
    if (source.size() > kPathMax || target.size() > kPathMax) {
      error = kErrorFilenameExcedRange;
    } else if (!ctx.os.PathExists(source)) {
      error = kErrorFileNotFound;
    } else if (const ReplaceableTarget check = ctx.os.CheckReplaceable(target);
               check.when == Replaceable::kNever) {
      error = check.error;
    } else {
      error = PutBeside(ctx.os, source, target);
    }
    if (error != kErrorSuccess) {
      DiscardPreparedCopies(ctx);
      Failed(ctx, source, target, error);
      return false;
    }
    KeepPrepared(ctx, target);
  }
  return true;
}

void DiscardPreparedCopies(const DeployContext& ctx) {
  if (ctx.prepared == nullptr) return;
  for (const std::string& target : ctx.prepared->targets) {
    Discard(ctx.os, PendingName(target, ctx.os.ProcessId()));
  }
  ctx.prepared->targets.clear();
}

}  // namespace qsetup
