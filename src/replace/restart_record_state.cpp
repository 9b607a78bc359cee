// Reading the restart record without changing it, apart from what a run
// does with it: the status report links this alone.
#include <optional>
#include <string>

#include "replace/restart_record.h"

namespace qsetup {
namespace {

// Two readings of the same start time differ by the clock's corrections
// between them; ten minutes covers months of drift and is shorter than a
// run and a restart of a server.
constexpr std::uint64_t kStartTimeSlack = 10ull * 60 * 10'000'000;

}  // namespace

std::string RestartRecordPath() {
  return std::string("SOFTWARE\\") + kProductKeyName + "\\" + kRestartKeyName;
}

RestartRecordState ReadRestartRecord(RegistryOs& registry, std::optional<std::uint64_t> started,
                                     WinError* error) {
  RegistryKeyPtr key;
  const WinError status =
      registry.OpenLocalMachineKey(RestartRecordPath(), kKeyQueryValue | kKey64BitView, key);
  if (status != kErrorSuccess) {
    if (error != nullptr && status != kErrorFileNotFound) *error = status;
    return RestartRecordState::kNone;
  }
  RegistryValue recorded;
  const WinError queried = key->QueryValue(kStartTimeValue, recorded);
  if (error != nullptr && queried != kErrorSuccess && queried != kErrorFileNotFound) {
    *error = queried;
  }
  const bool has_time = queried == kErrorSuccess && recorded.type == RegistryValue::Type::kQword;
  // Without both times the restart cannot be shown to have happened.
  if (has_time && started && *started > recorded.number + kStartTimeSlack) {
    return RestartRecordState::kStale;
  }
  return queried == kErrorFileNotFound ? RestartRecordState::kUntimed
                                       : RestartRecordState::kCurrent;
}

}  // namespace qsetup
