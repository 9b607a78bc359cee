// The purge foreseen without changing anything: the status report links
// this, not the purge itself.
#include <string>

#include "replace/replace.h"

namespace qsetup {
namespace {

// Opens `name` below `parent` for reading and tells whether the key gives the
// purge `rights`. A key that may not be read cannot be opened with rights
// that include reading either.
PurgeFate Grants(RegistryKeyReader& parent, const std::string& name, std::uint32_t rights,
                 bool elevated, RegistryKeyReaderPtr& key, WinError& error) {
  const WinError opened = parent.OpenSubkey(name, kKeyRead, key);
  bool granted = false;
  if (opened != kErrorAccessDenied || (rights & kKeyRead) != kKeyRead) {
    error = opened == kErrorSuccess ? key->CheckAccess(rights, granted) : opened;
    if (error != kErrorSuccess) return PurgeFate::kUnknown;
  }
  if (granted) return PurgeFate::kDeleted;
  if (!elevated) {
    error = kErrorElevationRequired;
    return PurgeFate::kUnknown;
  }
  return PurgeFate::kKept;
}

// The fate of the subkeys of `key` that the purge meets at `level` below the
// service key (1: children, 2: grandchildren, 3: their subkeys, which are
// never deleted). kDeleted when the purge deletes every one of them.
PurgeFate ForeseeSubkeys(RegistryKeyReader& key, int level, bool elevated, WinError& error) {
  std::string name;
  for (std::uint32_t index = 0;; ++index) {
    const WinError status = key.EnumSubkey(index, name);
    if (status == kErrorNoMoreItems) return PurgeFate::kDeleted;
    // A subkey whose name the walk cannot read, or one below the
    // grandchildren, stays, and its parents with it.
    if (status == kErrorMoreData || (status == kErrorSuccess && level > 2)) return PurgeFate::kKept;
    if (status != kErrorSuccess) {
      error = status;
      return PurgeFate::kUnknown;
    }
    RegistryKeyReaderPtr sub;
    PurgeFate fate =
        Grants(key, name, level == 1 ? kChildRights : kGrandchildRights, elevated, sub, error);
    if (fate == PurgeFate::kDeleted) fate = ForeseeSubkeys(*sub, level + 1, elevated, error);
    if (fate != PurgeFate::kDeleted) return fate;
  }
}

}  // namespace

PurgeFate ForeseePurge(RegistryKeyReader& services, const std::string& name, bool elevated,
                       WinError& error) {
  error = kErrorSuccess;
  RegistryKeyReaderPtr service;
  const PurgeFate fate = Grants(services, name, kServiceKeyRights, elevated, service, error);
  return fate == PurgeFate::kDeleted ? ForeseeSubkeys(*service, 1, elevated, error) : fate;
}

LegacyServiceKeys CountLegacyServiceKeys(RegistryReader& registry, UnknownFates& unknown,
                                         bool elevated) {
  LegacyServiceKeys keys;
  RegistryKeyReaderPtr services;
  keys.error = registry.OpenLocalMachineKey(kServicesPath, kKeyRead, services);
  if (keys.error != kErrorSuccess) return keys;
  std::string name;
  for (std::uint32_t index = 0;; ++index) {
    const WinError status = services->EnumSubkey(index, name);
    if (status == kErrorNoMoreItems) break;
    // A name too long for the buffer is one that the purge passes over too.
    if (status == kErrorMoreData) continue;
    if (status != kErrorSuccess) {
      keys.error = status;
      break;
    }
    if (!IsLegacyServiceName(name)) continue;
    WinError error = kErrorSuccess;
    switch (ForeseePurge(*services, name, elevated, error)) {
      case PurgeFate::kDeleted:
        ++keys.deleted;
        break;
      case PurgeFate::kKept:
        ++keys.kept;
        break;
      case PurgeFate::kUnknown:
        ++keys.unknown;
        unknown.Unknown(name, error);
        break;
    }
  }
  return keys;
}

}  // namespace qsetup
