#include "driver/event_messages.h"

#include "rules/outcome.h"

namespace qsetup {
namespace {

constexpr EventFactLabel kLabels[] = {
    {kFactVersion, "Version:"},
    {kFactExitCode, "Exit code:"},
    {kFactCommandLine, "Command line:"},
    {kFactSourceDirectory, "Source directory:"},
    {kFactRoute, "Route:"},
    {kFactLegacyServiceKeys, "Legacy service keys:"},
    {kFactFailedCopy, "Failed copy:"},
    {kFactCopyTarget, "Copy target:"},
    {kFactWindowsError, "Windows error:"},
    {kFactFilesAtRestart, "Files at the next start:"},
    {kFactRunLock, "Run lock:"},
};

constexpr EventFactLine kFacts[] = {
    {kFactVersion},      {kFactExitCode},          {kFactCommandLine}, {kFactSourceDirectory},
    {kFactRoute},        {kFactLegacyServiceKeys}, {kFactFailedCopy},  {kFactCopyTarget},
    {kFactWindowsError}, {kFactRunLock},
};

// The same facts, and the files that the next start of Windows completes.
constexpr EventFactLine kFactsWithRestart[] = {
    {kFactVersion},      {kFactExitCode},          {kFactCommandLine}, {kFactSourceDirectory},
    {kFactRoute},        {kFactLegacyServiceKeys}, {kFactFailedCopy},  {kFactCopyTarget},
    {kFactWindowsError}, {kFactFilesAtRestart},    {kFactRunLock},
};

// The same facts, with the Windows error's text beside its number.
constexpr EventFactLine kFactsWithErrorText[] = {
    {kFactVersion},         {kFactExitCode},   {kFactCommandLine},
    {kFactSourceDirectory}, {kFactRoute},      {kFactLegacyServiceKeys},
    {kFactFailedCopy},      {kFactCopyTarget}, {kFactWindowsError, kFactWindowsErrorText},
    {kFactRunLock},
};

constexpr EventMessage kMessages[] = {
    {kEventInstalled, "QLN2_EVENT_INSTALLED", "The Quillon 2 management software was installed.",
     kFacts},
    {kEventRestartNeeded, "QLN2_EVENT_RESTART_NEEDED",
     "The Quillon 2 management software was installed. Older service registrations were removed, "
     "or files in use wait for the next start of Windows (they are named below): restart the "
     "server.",
     kFactsWithRestart},
    {kEventCopyFailed, "QLN2_EVENT_COPY_FAILED",
     "Installation failed: a file could not be copied. The failed copy and its Windows error are "
     "below: fix the cause, such as a directory where the file belongs, missing rights or a full "
     "disk, and run setup again. If the legacy service keys are -, the older software was left as "
     "it was; otherwise it "
     "may already have been removed.",
     kFactsWithErrorText},
    {kEventNoAdapter, "QLN2_EVENT_NO_ADAPTER",
     "The Quillon 2 adapter was not found, and nothing was installed. Check the adapter's USB "
     "connection, or leave this server out.",
     kFacts},
    {kEventAdapterNoDriver, "QLN2_EVENT_ADAPTER_NO_DRIVER",
     "The Quillon 2 management software was installed, but the adapter has no working USB driver. "
     "Check the adapter's USB connection and configuration, and restart the server. Files in use "
     "that are named below are replaced at that restart.",
     kFactsWithRestart},
    {kEventInvalidForceCode, "QLN2_EVENT_INVALID_FORCE_CODE",
     "Nothing was installed: the command line holds an invalid force code (an argument that begins "
     "with -F but not with -FU). The exit code is 0 all the same. Correct the command line to -FU, "
     "or leave the force code out, and run setup again.",
     kFacts},
    {kEventSystemDirectoryUnusable, "QLN2_EVENT_SYSTEM_DIRECTORY_UNUSABLE",
     "Installation failed: the system directory could not be read. Nothing was changed: repair "
     "Windows before running setup again.",
     kFacts},
    {kEventAnotherRunKeptTheMachine, "QLN2_EVENT_ANOTHER_RUN_KEPT_THE_MACHINE",
     "Installation failed: another run of setup kept the machine for twenty minutes. Nothing was "
     "changed: run setup again later.",
     kFacts},
    {kEventSourceDirectoryUnusable, "QLN2_EVENT_SOURCE_DIRECTORY_UNUSABLE",
     "Installation failed: the package directory could not be used. Nothing was changed. Its path "
     "cannot be written in the system's ANSI code page and the directory has no short name "
     "(Windows error 1113), or the path is longer than 255 characters (Windows error 206): copy "
     "the package to a directory with a short name in plain letters, such as "
     "C:\\Windows\\Temp\\qln2, and run setup from there.",
     kFactsWithErrorText},
};

// Each outcome's event has its message, and each message its outcome.
constexpr bool OneMessagePerOutcome() {
  for (const EventMessage& message : kMessages) {
    bool found = false;
    for (const Outcome& outcome : kOutcomes) found = found || outcome.event == message.id;
    if (!found) return false;
  }
  return std::size(kMessages) == std::size(kOutcomes);
}
static_assert(OneMessagePerOutcome(), "one message for each row of the outcome table");

}  // namespace

std::span<const EventFactLabel> EventFactLabels() {
  return kLabels;
}

std::span<const EventMessage> EventMessages() {
  return kMessages;
}

}  // namespace qsetup
