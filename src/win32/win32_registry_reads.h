// The registry's reads on the Windows API, one body each for both kinds of
// key: the whole key of SETUP.EXE (win32_registry.cpp) and the reader of
// QLN2STAT.EXE and the MSI's actions (win32_registry_reader.cpp).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/registry.h"
#include "win32/handles.h"

namespace qsetup::win32 {

// Opens `name` below `parent` with `access` (which names the view) into
// `opened`. Returns the registry status.
WinError OpenRegistryKey(HKEY parent, const std::string& name, std::uint32_t access, HKEY& opened);

// As OpenRegistryKey, for the key `name` itself: a symbolic link is opened
// as the link, never followed to its target (REG_OPTION_OPEN_LINK).
WinError OpenRegistrySubkey(HKEY parent, const std::string& name, std::uint32_t access,
                            HKEY& opened);

// As RegistryKeyReader::EnumSubkey and RegistryKeyReader::QueryValue.
WinError EnumRegistrySubkey(HKEY key, std::uint32_t index, std::string& name);
WinError QueryRegistryValue(HKEY key, const std::string& name, RegistryValue& value);

// As RegistryKeyReader::CheckAccess (win32_registry_access.cpp).
WinError CheckKeyAccess(HKEY key, std::uint32_t access, bool& granted);

// An open key with the reads of `Interface` (RegistryKeyReader, or
// RegistryKey, whose changes `Key` adds), for the class `Key` that derives
// from it: its subkeys open as `Key`, in the key's registry view.
template <class Interface, class Key>
class Win32KeyReads : public Interface {
 public:
  Win32KeyReads(HKEY key, REGSAM view) : key_(key), view_(view) {}

  using Interface::OpenSubkey;
  WinError OpenSubkey(const std::string& name, std::uint32_t access,
                      RegistryKeyReaderPtr& key) override {
    HKEY opened = nullptr;
    const WinError status = OpenRegistrySubkey(key_.get(), name, access | view_, opened);
    if (status == kErrorSuccess) key = std::make_unique<Key>(opened, view_);
    return status;
  }
  WinError EnumSubkey(std::uint32_t index, std::string& name) override {
    return EnumRegistrySubkey(key_.get(), index, name);
  }
  WinError QueryValue(const std::string& name, RegistryValue& value) override {
    return QueryRegistryValue(key_.get(), name, value);
  }
  WinError CheckAccess(std::uint32_t access, bool& granted) override {
    return CheckKeyAccess(key_.get(), access, granted);
  }

 protected:
  UniqueHkey key_;
  REGSAM view_;  // KEY_WOW64_64KEY or none
};

// Opens `path` below HKEY_LOCAL_MACHINE with `access` as a `Key`, which
// keeps the view that `access` names for its subkeys.
template <class Key>
WinError OpenLocalMachine(const std::string& path, std::uint32_t access,
                          RegistryKeyReaderPtr& key) {
  HKEY opened = nullptr;
  const WinError status = OpenRegistryKey(HKEY_LOCAL_MACHINE, path, access, opened);
  if (status == kErrorSuccess) key = std::make_unique<Key>(opened, access & KEY_WOW64_64KEY);
  return status;
}

}  // namespace qsetup::win32
