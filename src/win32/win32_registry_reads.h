// The registry's reads on the Windows API, one body each for both kinds of
// key: the full one of SETUP.EXE (win32_registry.cpp) and the read-only one
// of QLN2STAT.EXE.
#pragma once

#include <windows.h>

#include <string>

#include "base/registry.h"

namespace qsetup::win32 {

// Opens `name` below `parent` with `access` (which names the view) into
// `opened`. Returns the registry status.
WinError OpenRegistryKey(HKEY parent, const std::string& name, std::uint32_t access, HKEY& opened);

// As OpenRegistryKey, for the key `name` itself: a symbolic link is opened
// as the link, never followed to its target (REG_OPTION_OPEN_LINK).
WinError OpenRegistrySubkey(HKEY parent, const std::string& name, std::uint32_t access,
                            HKEY& opened);

// As RegistryKey::EnumSubkey and RegistryKey::QueryValue.
WinError EnumRegistrySubkey(HKEY key, std::uint32_t index, std::string& name);
WinError QueryRegistryValue(HKEY key, const std::string& name, RegistryValue& value);

// As RegistryKey::CheckAccess (win32_registry_access.cpp).
WinError CheckKeyAccess(HKEY key, std::uint32_t access, bool& granted);

}  // namespace qsetup::win32
