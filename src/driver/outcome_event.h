// The event that every run leaves in the Application log: an id for its
// outcome (rules/event_ids.h), which event queries select on, and the facts
// of the run as insertion strings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/registry.h"
#include "base/system_directory.h"
#include "catalog/messages.h"
#include "console/console.h"
#include "deploy/deploy.h"
#include "driver/event_log_os.h"
#include "replace/replace.h"
#include "rules/event_ids.h"
#include "rules/outcome.h"
#include "rules/route.h"
#include "rules/source_directory.h"

namespace qsetup {

// What a run reports about itself. The texts belong to the run.
struct RunFacts {
  EventId event = kEventInstalled;  // with its exit code, by its row of the outcome table
  const char* command_line = "";    // as the program was given it
  const SourceDirectory* source_dir = nullptr;  // the run's, or the one it could not use
  Route route = Route::kNone;
  std::optional<LegacyRemoval> legacy;      // none: the replacement did not come to the purge
  const FailedCopy* failed_copy = nullptr;  // the run's first; none when error is kErrorSuccess
  const std::vector<std::string>* at_restart = nullptr;  // files that the next start completes
  bool run_lock_name_taken = false;  // an object of the run lock's name was no run's
};

// The program's arguments as one command line, each in quotes where it is
// empty or holds a blank.
std::string CommandLineOf(int argc, char** argv);

// Prints the closing messages of `outcome`, as its row of the outcome table
// names them.
inline void PrintOutcome(Console& console, const MessageTable& messages,
                         const RunOutcome& outcome) {
  for (int i = 0; i < outcome.printed; ++i) {
    console.PrintText(messages[static_cast<MessageId>(outcome.messages[i])]);
  }
}

// Writes the run's event: its type and id by the outcome, and the facts of
// EventFact as its insertion strings, in their order (the exit code and the
// Windows error in decimal); in the event of a source directory that cannot
// be used, the Windows error tells why. A fact that the run has not is "-".
void ReportOutcome(EventLogOs& log, const RunFacts& facts);

// Puts this version's message file (kMessageFileName) from `source_dir`
// into the staging directory below `system_dir`, unless a file of its name
// is there with its content already: that one, which a viewer may hold
// loaded, is only read. Writes nothing where the staging directory is not
// there. True when the file is there with the source's content.
bool PlaceMessageFile(const DeployContext& ctx, const std::string& source_dir,
                      const std::string& system_dir);

// The message file of the event source, in the staging directory, by the
// path under which 64-bit programs (event viewers) find it.
std::string EventMessageFile(SystemDirectoryOs& system, const std::string& system_dir);

// Registers the event source with `message_file`, unless it is registered
// so already; a registration that names another file is changed only when
// `message_file` is `in_place`. A key that this call made and could not
// complete is taken away again. True when this call wrote the registration.
bool EnsureEventSource(RegistryOs& registry, const std::string& message_file, bool in_place);

// Removes the message files of other versions from the staging directory
// below `system_dir`, each where it can: a viewer may hold one loaded.
void RemoveOtherMessageFiles(DeployOs& os, const std::string& system_dir);

}  // namespace qsetup
