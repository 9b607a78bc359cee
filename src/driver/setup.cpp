#include "driver/setup.h"

#include <optional>

#include "catalog/catalog.h"
#include "catalog/messages.h"
#include "deploy/deploy.h"
#include "detect/console_trace.h"
#include "detect/detect.h"
#include "driver/decision.h"
#include "driver/outcome_event.h"
#include "driver/settings.h"
#include "driver/versioned_deployment.h"
#include "replace/last_run.h"
#include "replace/replace.h"
#include "rules/outcome.h"
#include "rules/system_directory.h"

namespace qsetup {
namespace {

// The decision's steps on the real subsystems.
class PlatformOperations final : public DecisionOperations {
 public:
  PlatformOperations(Platform& platform, Console& console, const RunSettings& settings,
                     const MessageTable& messages)
      : trace_(console),
        detect_{platform.detect, settings.verbose ? &trace_ : nullptr,
                settings.force_code == kForceUsb},
        deploy_{platform.deploy, platform.system,  console,
                messages,        settings.verbose, &failed_copy_},
        registry_(platform.registry),
        replace_os_(platform.replace),
        system_(platform.system),
        console_(console),
        settings_(settings),
        // Where nobody can see the console, nobody can answer the overwrite
        // question either: the run goes on as an unattended one would.
        answer_yes_(settings.unattended || !console.Seen()) {
    deploy_.waiting_targets = &waiting_targets_;
  }

  bool FindHidDevice() override { return qsetup::FindHidDevice(detect_) == 1; }
  bool FindExistingDevice() override { return qsetup::FindExistingDevice(detect_, flags_) != 0; }
  bool StagePackage() override {
    // A staged file in use is replaced at the next start of Windows, as an
    // installed one is; whether that start was owed already is asked first.
    restart_owed_ = restart_.Owed();
    staged_ = true;
    DeployContext ctx = deploy_;
    ctx.restart = &restart_;
    ctx.at_restart = &at_restart_;
    return qsetup::StagePackage(ctx, settings_.source_dir, answer_yes_) != kSetCopyFailed;
  }
  int ReplaceDriver() override {
    VersionedDeployment steps(deploy_, answer_yes_);
    ReplaceContext ctx{registry_, replace_os_,       system_,  console_,
                       steps,     settings_.verbose, &legacy_, &at_restart_};
    if (staged_) {
      ctx.restart = &restart_;
      ctx.restart_owed = restart_owed_;
    }
    return qsetup::ReplaceDriver(ctx);
  }

  // Puts the event source's message file into the staging directory.
  bool PlaceMessageFile(const std::string& system_dir) {
    return qsetup::PlaceMessageFile(deploy_, settings_.source_dir, system_dir);
  }

  // What the run's event reports of the steps.
  const FailedCopy& failed_copy() const { return failed_copy_; }
  const std::optional<LegacyRemoval>& legacy() const { return legacy_; }
  const std::vector<std::string>& at_restart() const { return at_restart_; }

 private:
  FailedCopy failed_copy_;                    // the run's first
  std::optional<LegacyRemoval> legacy_;       // once the replacement ran
  std::vector<std::string> at_restart_;       // the files that the next start completes
  std::vector<std::string> waiting_targets_;  // whose copy waits beside them for it
  ConsoleTrace trace_;
  DetectContext detect_;
  DeployContext deploy_;
  RegistryOs& registry_;
  ReplaceOs& replace_os_;
  SystemDirectoryOs& system_;
  Console& console_;
  const RunSettings& settings_;
  const bool answer_yes_;             // the overwrite question is not put
  DetectionFlags flags_;              // the run's: set by the scan, never cleared
  RestartRecord restart_{registry_};  // the run's
  bool staged_ = false;               // the staging asked the record
  bool restart_owed_ = false;         // what the record said then
};

// The run lock as a run takes it: held, or none because there is none to be
// had (the run then goes on alone, as it always could), or busy because
// another run kept it for the whole wait.
struct RunLockHold {
  std::unique_ptr<RunLock> lock;
  bool busy = false;
};

RunLockHold LockOutOtherRuns(DriverOs& os, Console& console, bool verbose, std::uint32_t wait_ms,
                             const std::string& staging_folder, bool& name_taken) {
  std::unique_ptr<RunLock> lock = os.OpenRunLock(staging_folder, name_taken);
  if (!lock) return {};
  LockWait wait = lock->Hold(0);
  if (wait == LockWait::kTimedOut) {
    if (verbose) console.PrintText("Main - waiting for another run of setup to end.\n");
    wait = lock->Hold(wait_ms);
  }
  switch (wait) {
    case LockWait::kHeld:
      return {std::move(lock), false};
    case LockWait::kTimedOut:
      if (verbose) console.PrintText("Main - the other run did not end in time; giving up.\n");
      return {nullptr, true};
    case LockWait::kFailed:
      break;
  }
  return {};
}

// What a run that came to the decision holds until its report: the run lock,
// and the steps, whose facts the report gives.
struct Held {
  RunLockHold hold;
  std::optional<PlatformOperations> steps;
};

// From the read of the system directory to the decision's end: the outcome's
// event. A run that takes the lock holds it in `held`.
EventId Decide(Platform& p, Console& console, const RunSettings& settings,
               const MessageTable& messages, const SourceDirectory& source,
               const SystemDirectory& system_dir, RunFacts& facts, Held& held) {
  if (!source.usable()) {
    // Nothing could be copied from it: the run ends before it changes
    // anything.
    TraceUnusableSourceDirectory(console, settings.verbose, source);
    return kEventSourceDirectoryUnusable;
  }
  if (!UsableSystemDirectory(system_dir)) {
    TracePause(console, settings.verbose, "Main - GetSystemDirectory failed.\n",
               kDriverPausePrompt);
    return kEventSystemDirectoryUnusable;
  }
  // A second run at the same time would replace the files of the first
  // while the first runs its tools from them, and fail: one run at a time
  // changes the machine, and a second waits for the first. A run that
  // waited in vain changes nothing and fails, so that a fleet tool tries
  // again later.
  held.hold = LockOutOtherRuns(p.driver, console, settings.verbose, p.run_lock_wait_ms,
                               StagingFolder(system_dir.path), facts.run_lock_name_taken);
  if (held.hold.busy) return kEventAnotherRunKeptTheMachine;
  PlatformOperations& steps = held.steps.emplace(p, console, settings, messages);
  const Decision decision = RunSetupDecision(steps, settings, console, system_dir.path);
  facts.route = decision.route;
  facts.legacy = steps.legacy();
  facts.failed_copy = &steps.failed_copy();
  facts.at_restart = &steps.at_restart();
  // The decision's outcomes have their exit codes as event ids.
  return static_cast<EventId>(decision.exit_code);
}

// Reports the outcome `event` once: its messages (none before the catalog),
// its event and, for a run that held the machine (`steps`, in `system_dir`),
// the event source before the event and the last run's record after it.
// Returns the exit code.
int ReportRun(Platform& p, Console& console, RunFacts& facts, EventId event,
              const MessageTable* messages = nullptr, PlatformOperations* steps = nullptr,
              const std::string* system_dir = nullptr) {
  const RunOutcome& outcome = RunOutcomeOf(event);
  facts.event = event;
  if (messages != nullptr) PrintOutcome(console, *messages, outcome);
  if (steps != nullptr) {
    // The event, with its source registered so that viewers can render it.
    // Once the source names this version's message file, those of other
    // versions are no longer read.
    const bool in_place = steps->PlaceMessageFile(*system_dir);
    if (EnsureEventSource(p.registry, EventMessageFile(p.system, *system_dir), in_place) &&
        in_place) {
      RemoveOtherMessageFiles(p.deploy, *system_dir);
    }
  }
  // The restart record stays until Windows starts again: every run until
  // then reports the restart, and a run ended at any point loses none.
  ReportOutcome(p.event_log, facts);
  if (steps != nullptr) {
    // The outcome's record, for fleets that do not collect the event log;
    // one that cannot be written changes nothing of the run.
    RecordLastRun(p.registry, outcome.exit_code, event, p.driver.Now(), steps->at_restart());
  }
  return outcome.exit_code;
}

}  // namespace

int SetupMain(int argc, char** argv, Platform& platform) {
  Console console(platform.console);
  const std::string command_line = CommandLineOf(argc, argv);  // before it is upper-cased
  RunSettings settings;
  const SwitchResult switches = ParseSwitches(argc, argv, settings, console);
  const SourceDirectory source =
      ChooseSourceDirectory(argc > 0 && argv[0] != nullptr ? argv[0] : "",
                            platform.source.ReadModulePath(), platform.source);
  if (source.usable()) settings.source_dir = source.path;
  RunFacts facts;
  facts.command_line = command_line.c_str();
  facts.source_dir = &source;
  // An invalid force code ends the run at once: no catalog, no banner, no
  // key wait.
  if (switches == SwitchResult::kInvalidForceCode) {
    return ReportRun(platform, console, facts, kEventInvalidForceCode);
  }

  CatalogStore catalog(platform.catalog, console, settings.source_dir);
  const char* const* texts = nullptr;
  // A source directory that cannot be used has no catalog to offer.
  const bool catalog_held = source.usable() && loadlangtbl(catalog, texts, kMessageCount,
                                                           getlangindex(platform.catalog)) == 0;
  if (!catalog_held) {
    TracePause(console, settings.verbose, "Main - loadlangtbl failed.\n", kDriverPausePrompt);
    texts = BuiltinMessages();
  }
  const MessageTable messages(texts);
  console.PrintText(messages[kMsgBanner]);

  const SystemDirectory system_dir = platform.system.ReadSystemDirectory();
  int exit_code = 0;
  {
    // The lock and the steps are let go before the final key wait.
    Held held;
    const EventId event =
        Decide(platform, console, settings, messages, source, system_dir, facts, held);
    exit_code = ReportRun(platform, console, facts, event, &messages,
                          held.steps ? &*held.steps : nullptr, &system_dir.path);
  }
  if (!settings.unattended) {
    console.PrintText(messages[kMsgPressAnyKey]);
    console.WaitForKey();
  }
  if (catalog_held) freelangtbl(catalog, texts);
  return exit_code;
}

}  // namespace qsetup
