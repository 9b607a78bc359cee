#include "win32/win32_registry_reads.h"

#include <cstring>
#include <vector>

namespace qsetup::win32 {
namespace {

// Room for any key name: names are at most 255 characters.
constexpr DWORD kKeyNameBuffer = 512;

// Registry calls return their error as a status instead of setting the last
// error; both share one numbering.
WinError Status(LONG status) {
  return static_cast<WinError>(status);
}

}  // namespace

WinError OpenRegistryKey(HKEY parent, const std::string& name, std::uint32_t access, HKEY& opened) {
  opened = nullptr;
  return Status(::RegOpenKeyExA(parent, name.c_str(), 0, access, &opened));
}

WinError OpenRegistrySubkey(HKEY parent, const std::string& name, std::uint32_t access,
                            HKEY& opened) {
  opened = nullptr;
  return Status(::RegOpenKeyExA(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, &opened));
}

WinError EnumRegistrySubkey(HKEY key, std::uint32_t index, std::string& name) {
  char buffer[kKeyNameBuffer] = {};
  DWORD length = sizeof buffer;
  FILETIME last_write;
  const LONG status =
      ::RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, &last_write);
  if (status == ERROR_SUCCESS) {
    name.assign(buffer, ::strnlen(buffer, sizeof buffer));
  } else {
    name.clear();  // what a name too long for the buffer left there is no name
  }
  return Status(status);
}

WinError QueryRegistryValue(HKEY key, const std::string& name, RegistryValue& value) {
  DWORD type = 0;
  DWORD size = 0;
  LONG status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return Status(status);
  // One byte more than asked for: a string written without its NUL still
  // ends in one.
  std::vector<BYTE> data(size + 1, 0);
  status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
  if (status != ERROR_SUCCESS) return Status(status);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      value.type =
          type == REG_SZ ? RegistryValue::Type::kString : RegistryValue::Type::kExpandString;
      value.text.assign(reinterpret_cast<const char*>(data.data()),
                        ::strnlen(reinterpret_cast<const char*>(data.data()), size));
      return kErrorSuccess;
    case REG_DWORD: {
      if (size != sizeof(DWORD)) return kErrorInvalidData;
      DWORD number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      value.type = RegistryValue::Type::kDword;
      value.number = number;
      return kErrorSuccess;
    }
    case REG_QWORD:
      if (size != sizeof value.number) return kErrorInvalidData;
      value.type = RegistryValue::Type::kQword;
      std::memcpy(&value.number, data.data(), sizeof value.number);
      return kErrorSuccess;
    default:
      return kErrorInvalidData;
  }
}

}  // namespace qsetup::win32
