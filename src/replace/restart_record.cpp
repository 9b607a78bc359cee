#include "replace/restart_record.h"

#include <optional>
#include <string>

namespace qsetup {
namespace {

// Removes the record: it is stale, or was made for nothing.
void ClearRestartRecord(RegistryOs& registry) {
  RegistryKeyPtr product;
  if (registry.OpenLocalMachineKey(std::string("SOFTWARE\\") + kProductKeyName,
                                   kKeyRead | kKey64BitView, product) != kErrorSuccess) {
    return;
  }
  product->DeleteSubkey(kRestartKeyName);
}

}  // namespace

bool RestartRecord::Owed() {
  const std::optional<std::uint64_t> started = os_.SystemStartTime();
  const RestartRecordState state = ReadRestartRecord(registry_, started);
  if (state == RestartRecordState::kStale) ClearRestartRecord(registry_);
  // A run was ended between making the record and writing its time. The
  // record is volatile, so it was made since this start of the system.
  if (state == RestartRecordState::kUntimed && started) {
    RegistryKeyPtr writable;
    if (registry_.OpenLocalMachineKey(RestartRecordPath(), kKeySetValue | kKey64BitView,
                                      writable) == kErrorSuccess) {
      writable->SetValue(kStartTimeValue, {RegistryValue::Type::kQword, {}, *started});
    }
  }
  owed_ = IsOwed(state);
  return owed_;
}

void RestartRecord::BeforeDeletion() {
  if (owed_ || made_) return;
  RegistryKeyPtr software;
  if (registry_.OpenLocalMachineKey("SOFTWARE", kKeyCreateSubKey | kKey64BitView, software) !=
      kErrorSuccess) {
    return;
  }
  // The product's key outlives restarts; only the record itself is
  // volatile, and a volatile key can have no other kind below it.
  RegistryKeyPtr product;
  bool created = false;
  if (software->CreateSubkey(kProductKeyName, kKeyCreateSubKey, KeyLifetime::kStored, product,
                             created) != kErrorSuccess) {
    return;
  }
  RegistryKeyPtr record;
  if (product->CreateSubkey(kRestartKeyName, kKeySetValue, KeyLifetime::kVolatile, record,
                            created) != kErrorSuccess) {
    return;
  }
  made_ = true;
  // A record without the time stays owed until Windows takes it away.
  if (const std::optional<std::uint64_t> started = os_.SystemStartTime()) {
    record->SetValue(kStartTimeValue, {RegistryValue::Type::kQword, {}, *started});
  }
}

bool RestartRecord::Require() {
  BeforeDeletion();
  if (owed_ || made_) needed_ = true;
  return owed_ || made_;
}

void RestartRecord::AfterDeletion(bool deleted) {
  if (deleted) {
    needed_ = true;
  } else if (made_ && !needed_) {
    ClearRestartRecord(registry_);
    made_ = false;
  }
}

}  // namespace qsetup
