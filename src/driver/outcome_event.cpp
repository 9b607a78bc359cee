#include "driver/outcome_event.h"

#include <cstring>
#include <optional>

#include "base/ascii.h"
#include "console/format.h"
#include "rules/outcome.h"
#include "version.h"

namespace qsetup {
namespace {

constexpr char kNoFact[] = "-";

constexpr char kMessageFileValue[] = "EventMessageFile";
constexpr char kTypesValue[] = "TypesSupported";
constexpr std::uint64_t kTypesSupported = 0x0007;  // error, warning, information

const char* LegacyText(const std::optional<LegacyRemoval>& legacy) {
  if (!legacy) return kNoFact;
  switch (*legacy) {
    case LegacyRemoval::kThisRun:
      return "removed by this run";
    case LegacyRemoval::kEarlierRun:
      return "removed by an earlier run";
    case LegacyRemoval::kNone:
      break;
  }
  return "none";
}

// What the source's registration names.
enum class Registration {
  kNone,        // no key, or no message file
  kOtherFile,   // another message file
  kOtherTypes,  // `message_file`, but not the types or not as REG_EXPAND_SZ
  kDone,        // `message_file`, as it is written
};

Registration ReadRegistration(RegistryKey& application, const std::string& message_file) {
  RegistryKeyPtr key;
  RegistryValue file;
  RegistryValue types;
  if (application.OpenSubkey(kEventSourceName, kKeyQueryValue, key) != kErrorSuccess ||
      key->QueryValue(kMessageFileValue, file) != kErrorSuccess) {
    return Registration::kNone;
  }
  if (file.text != message_file) return Registration::kOtherFile;
  return file.type == RegistryValue::Type::kExpandString &&
                 key->QueryValue(kTypesValue, types) == kErrorSuccess &&
                 types.type == RegistryValue::Type::kDword && types.number == kTypesSupported
             ? Registration::kDone
             : Registration::kOtherTypes;
}

// True when `a` and `b` can both be read and hold the same bytes.
bool SameContent(DeployOs& os, const std::string& a, const std::string& b) {
  const ReadableFilePtr first = os.OpenForReading(a);
  if (!first) return false;
  const ReadableFilePtr second = os.OpenForReading(b);
  if (!second) return false;
  const std::optional<std::uint64_t> size = first->Size();
  if (!size || size != second->Size()) return false;
  char one[4096];
  char two[sizeof one];
  std::uint64_t compared = 0;
  while (compared < *size) {
    const std::size_t length = first->Read(one, sizeof one);
    if (length == 0 || second->Read(two, length) != length || std::memcmp(one, two, length) != 0) {
      return false;
    }
    compared += length;
  }
  return compared == *size;
}

}  // namespace

std::string CommandLineOf(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
    const char* const arg = argv[i];
    bool quoted = *arg == '\0';
    for (const char* c = arg; *c != '\0'; ++c) quoted = quoted || *c == ' ' || *c == '\t';
    if (i > 0) line.append(1, ' ');
    if (quoted) line.append(1, '"');
    line.append(arg);
    if (quoted) line.append(1, '"');
  }
  return line;
}

void ReportOutcome(EventLogOs& log, const RunFacts& facts) {
  char exit_code[11];
  char error_number[11];
  const FailedCopy* copy = facts.failed_copy;
  const bool copy_failed = copy != nullptr && copy->error != kErrorSuccess;
  const SourceDirectory* source = facts.source_dir;
  WinError error = kErrorSuccess;
  if (copy_failed) {
    error = copy->error;
  } else if (facts.event == kEventSourceDirectoryUnusable && source != nullptr) {
    error = source->error;
  }
  const std::u16string error_text = error != kErrorSuccess ? log.ErrorText(error) : u"";
  const RunOutcome& outcome = RunOutcomeOf(facts.event);
  std::string at_restart;
  if (facts.at_restart != nullptr) {
    for (const std::string& file : *facts.at_restart) {
      at_restart.append(at_restart.empty() ? "" : ", ").append(file);
    }
  }
  EventString source_dir = kNoFact;
  if (source != nullptr && !source->windows_path.empty()) {
    source_dir = source->windows_path;
  } else if (source != nullptr && !source->path.empty()) {
    source_dir = source->path;
  }
  const EventString strings[] = {
      QSETUP_PRODUCT_VERSION,
      Decimal(outcome.exit_code, exit_code),
      *facts.command_line != '\0' ? facts.command_line : kNoFact,
      source_dir,
      RouteText(facts.route),
      LegacyText(facts.legacy),
      copy_failed ? std::string_view(copy->source) : kNoFact,
      copy_failed ? std::string_view(copy->target) : kNoFact,
      error != kErrorSuccess ? Decimal(error, error_number) : kNoFact,
      !error_text.empty() ? EventString(error_text) : EventString(kNoFact),
      !at_restart.empty() ? std::string_view(at_restart) : kNoFact,
      facts.run_lock_name_taken ? "its name was taken by an object that no run made" : kNoFact,
  };
  static_assert(std::size(strings) == kLastFact, "one insertion string per fact, in their order");
  log.Report(static_cast<EventType>(outcome.type), facts.event, strings);
}

bool PlaceMessageFile(const DeployContext& ctx, const std::string& source_dir,
                      const std::string& system_dir) {
  const std::string staging = StagingFolder(system_dir);
  const std::string target = staging + kMessageFileName;
  const std::string source = source_dir + "\\" + kMessageFileName;
  if (SameContent(ctx.os, target, source)) return true;
  // A run that staged nothing makes no staging directory for it.
  if (!ctx.os.PathExists(staging.substr(0, staging.size() - 1))) return false;
  return CopyWhole(ctx, source, target) == kErrorSuccess;
}

std::string EventMessageFile(SystemDirectoryOs& system, const std::string& system_dir) {
  return StagingFolder(NativeSystemDirectory(system, system_dir)).append(kMessageFileName);
}

bool EnsureEventSource(RegistryOs& registry, const std::string& message_file, bool in_place) {
  RegistryKeyPtr application;
  if (registry.OpenLocalMachineKey(kApplicationLogKey, kKeyCreateSubKey | kKey64BitView,
                                   application) != kErrorSuccess) {
    return false;
  }
  switch (ReadRegistration(*application, message_file)) {
    case Registration::kDone:
      return false;
    case Registration::kOtherFile:
      // A file that is there is not given up for one that is not.
      if (!in_place) return false;
      break;
    case Registration::kNone:
    case Registration::kOtherTypes:
      break;
  }
  RegistryKeyPtr source;
  bool created = false;
  if (application->CreateSubkey(kEventSourceName, kKeySetValue, KeyLifetime::kStored, source,
                                created) != kErrorSuccess) {
    return false;
  }
  const bool written =
      source->SetValue(kMessageFileValue, {RegistryValue::Type::kExpandString, message_file}) ==
          kErrorSuccess &&
      source->SetValue(kTypesValue, {RegistryValue::Type::kDword, {}, kTypesSupported}) ==
          kErrorSuccess;
  source.reset();
  // A key without its values would send viewers nowhere. One that was
  // there keeps each value old or new.
  if (!written && created) application->DeleteSubkey(kEventSourceName);
  return written;
}

void RemoveOtherMessageFiles(DeployOs& os, const std::string& system_dir) {
  const std::string staging = StagingFolder(system_dir);
  // Pending copies (".~qln2" after the name) are their runs' own.
  for (const FoundFile& file : os.FilesStartingWith(staging + kMessageFilePrefix)) {
    const std::string_view name = file.name;
    if (name.size() > 4 && EqualsIgnoringAsciiCase(name.substr(name.size() - 4), ".DLL") &&
        !EqualsIgnoringAsciiCase(name, kMessageFileName)) {
      os.RemoveFile(staging + file.name);
    }
  }
}

}  // namespace qsetup
