#include <algorithm>
#include <iterator>
#include <string>

#include "replace/replace.h"

namespace qsetup {
namespace {

constexpr int kPurgePasses = 2;

// What the enumeration of one index gave.
enum class Entry { kName, kUnreadable, kEnd };

Entry EnumEntry(RegistryKey& key, std::uint32_t index, std::string& name) {
  const WinError status = key.EnumSubkey(index, name);
  if (status == kErrorSuccess) return Entry::kName;
  // A name longer than the buffer was not read, and an empty name would
  // stand for the key itself: the walk passes over it, and it stays.
  if (status == kErrorMoreData) return Entry::kUnreadable;
  return Entry::kEnd;
}

// Deletes every subkey of `key` that has no subkeys of its own.
void DeleteLeafSubkeys(RegistryKey& key) {
  std::string name;
  for (std::uint32_t index = 0;;) {
    const Entry entry = EnumEntry(key, index, name);
    if (entry == Entry::kEnd) break;
    // After a deletion the walk stays on this index: the next subkey has
    // moved into its place.
    if (entry == Entry::kUnreadable || key.DeleteSubkey(name) != kErrorSuccess) ++index;
  }
}

// Deletes the service key `name` below `services` with its children and
// grandchildren, after resetting its DACL. True when the service key was
// deleted.
bool RemoveServiceKey(RegistryKey& services, const std::string& name, RestartRecord& restart) {
  RegistryKeyPtr service;
  if (services.OpenSubkey(name, kServiceKeyRights, service) != kErrorSuccess) return false;

  std::string child_name;
  for (std::uint32_t index = 0;;) {
    const Entry entry = EnumEntry(*service, index, child_name);
    if (entry == Entry::kEnd) break;
    RegistryKeyPtr child;
    if (entry == Entry::kUnreadable ||
        service->OpenSubkey(child_name, kChildRights, child) != kErrorSuccess) {
      ++index;
      continue;
    }
    DeleteLeafSubkeys(*child);
    const bool deleted = service->DeleteSubkey(child_name) == kErrorSuccess;
    child.reset();
    if (!deleted) ++index;
  }

  if (!ResetKeyDacl(services, name)) return false;
  // Once the key is gone no later run can tell that the restart it needs is
  // still owed: the record has to be there first.
  restart.BeforeDeletion();
  const bool deleted = services.DeleteSubkey(name) == kErrorSuccess;
  restart.AfterDeletion(deleted);
  return deleted;
}

}  // namespace

int PurgeLegacyServices(RegistryOs& registry, RestartRecord& restart) {
  // One flag per pattern: a second pass is made while one is still clear.
  bool removed[std::size(kLegacyPatterns)] = {};
  const auto all_removed = [&removed] {
    return std::all_of(std::begin(removed), std::end(removed), [](bool r) { return r; });
  };
  for (int pass = 0; pass < kPurgePasses && !all_removed(); ++pass) {
    RegistryKeyPtr services;
    if (registry.OpenLocalMachineKey(kServicesPath, kKeyRead, services) != kErrorSuccess) continue;
    std::string name;
    for (std::uint32_t index = 0;;) {
      const Entry entry = EnumEntry(*services, index, name);
      if (entry == Entry::kEnd) break;
      if (entry == Entry::kUnreadable) {
        ++index;
        continue;
      }
      bool deleted = false;
      // A name that holds both patterns is tried again; once deleted, the
      // second attempt finds no key to open.
      for (std::size_t p = 0; p < std::size(kLegacyPatterns); ++p) {
        if (HoldsPattern(name, kLegacyPatterns[p]) && RemoveServiceKey(*services, name, restart)) {
          removed[p] = deleted = true;
        }
      }
      if (!deleted) ++index;
    }
  }
  return std::any_of(std::begin(removed), std::end(removed), [](bool r) { return r; }) ? 1 : 0;
}

bool ResetKeyDacl(RegistryKey& parent, const std::string& name) {
  RegistryKeyPtr key;
  if (parent.OpenSubkey(name, kReadControl, key) != kErrorSuccess) return false;
  std::uint32_t size = 0;
  if (key->QueryDaclSize(size) != kErrorInsufficientBuffer) return false;
  // The old DACL is not used; being able to read it is a condition of the
  // reset.
  if (key->ReadDacl(size) != kErrorSuccess) return false;

  key.reset();
  if (parent.OpenSubkey(name, kWriteDac, key) != kErrorSuccess) return false;
  return key->WriteAdministratorsOnlyDacl() == kErrorSuccess;
}

}  // namespace qsetup
