#include "replace/replace.h"

#include <optional>

namespace qsetup {
namespace {

// Runs the tool that `path_in` names in the system directory, which is read
// anew for each tool. A system directory that cannot be read leaves the tool
// unstarted.
bool RunSystemTool(const ReplaceContext& ctx, std::string (*path_in)(const std::string& folder),
                   const char* arguments) {
  const SystemDirectory system_dir = ctx.system.ReadSystemDirectory();
  if (!system_dir.Fitted()) return false;
  return RunTool(ctx.os, ctx.console, path_in(SystemFolder(system_dir.path)), arguments,
                 system_dir.path);
}

std::string LegacyToolPath(const std::string& folder) {
  return folder + kLegacyToolName;
}

// Adds `name` to `names` unless it is there (a staged file's name, say).
void AddOnce(std::vector<std::string>& names, const char* name) {
  for (const std::string& listed : names) {
    if (listed == name) return;
  }
  names.push_back(name);
}

}  // namespace

std::string QuoteProgramPath(const std::string& path) {
  // Windows file names cannot hold a quote, so nothing inside needs escaping.
  return "\"" + path + "\"";
}

bool RunTool(ReplaceOs& os, Console& console, const std::string& program,
             const std::string& arguments, const std::string& system_dir) {
  ToolProcessPtr tool =
      os.StartTool(program, QuoteProgramPath(program) + " " + arguments, system_dir);
  if (!tool) return false;
  console.PrintText("\n");
  for (int poll = 0; poll < kToolPollLimit; ++poll) {
    // An exit code that cannot be read will not become readable by waiting.
    const std::optional<std::uint32_t> exit_code = tool->ExitCode();
    if (!exit_code || *exit_code != kStillActive) break;
    console.PrintText(".");
    // A tool that ends during the wait has ended, whatever exit code it chose
    // (it may be the very value that means "still running").
    if (tool->Wait(kToolPollMs) == ToolWait::kEnded) break;
  }
  console.PrintText("\n");
  return true;
}

int ReplaceDriver(const ReplaceContext& ctx) {
  // Nothing is removed before each file of the service is known to take its
  // place, now or at the next start of Windows.
  const SystemDirectory first_read = ctx.system.ReadSystemDirectory();
  if (!first_read.Fitted() || !ctx.deploy.PrepareServiceFiles(StagingFolder(first_read.path),
                                                              SystemFolder(first_read.path))) {
    return kReplaceCopyFailed;
  }

  // An earlier run since the system's last start deleted legacy service
  // keys: the restart they need is still owed, and this run reports it too.
  RestartRecord own_record(ctx.registry);
  RestartRecord& restart = ctx.restart != nullptr ? *ctx.restart : own_record;
  const bool restart_owed = ctx.restart != nullptr ? ctx.restart_owed : own_record.Owed();

  if (RunSystemTool(ctx, LegacyToolPath, kServiceToolRemove)) ctx.deploy.RefreshSystemTools();

  const bool purged = PurgeLegacyServices(ctx.registry, restart) != 0;
  if (ctx.removal != nullptr) {
    *ctx.removal = purged         ? LegacyRemoval::kThisRun
                   : restart_owed ? LegacyRemoval::kEarlierRun
                                  : LegacyRemoval::kNone;
  }

  if (RunSystemTool(ctx, ServiceToolPath, kServiceToolRemove)) ctx.deploy.RefreshSystemTools();

  const SystemDirectory system_dir = ctx.system.ReadSystemDirectory();
  if (!system_dir.Fitted()) {
    // Without the system directory none of the service's files can be put in
    // place, and its installation cannot be found.
    ctx.deploy.DiscardPreparedCopies();
    return kReplaceCopyFailed;
  }
  const std::string staging_folder = StagingFolder(system_dir.path);
  const std::string system_folder = SystemFolder(system_dir.path);
  if (ctx.verbose) {
    ctx.console.PrintText("lpBuffer = >%s<\n", staging_folder.c_str());
    ctx.console.PrintText("lpBuffr2 = >%s<\n", system_folder.c_str());
  }
  bool copy_failed = false;
  bool at_restart = ctx.at_restart != nullptr && !ctx.at_restart->empty();
  for (const char* file_name : kServiceFiles) {
    switch (ctx.deploy.InstallFile(staging_folder, system_folder, file_name, restart)) {
      case InstallOutcome::kDone:
        break;
      case InstallOutcome::kAtRestart:
        at_restart = true;
        if (ctx.at_restart != nullptr) AddOnce(*ctx.at_restart, file_name);
        break;
      case InstallOutcome::kFailed:
        copy_failed = true;
        break;
    }
  }
  ctx.deploy.DiscardPreparedCopies();

  RunTool(ctx.os, ctx.console, ServiceToolPath(system_folder), kServiceToolInstall,
          system_dir.path);
  return ReplacementResult(copy_failed, purged, restart_owed, at_restart);
}

}  // namespace qsetup
