#include "replace/restart_record.h"

#include <string>

namespace qsetup {
namespace {

// Removes the record: it was made for nothing.
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
  owed_ = RestartRecorded(registry_);
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
