#include "win32/handles.h"
#include "win32/win32_registry.h"
#include "win32/win32_registry_reads.h"

namespace qsetup::win32 {
namespace {

// The access rights that reading asks for; the views are no rights.
constexpr std::uint32_t kReadRights = KEY_READ | KEY_WOW64_64KEY | KEY_WOW64_32KEY;

// A key of the registry of a program that only reads it: it opens subkeys
// for reading, lists them and reads values. Everything else, every change of
// the registry first of all, is refused without asking Windows.
class Win32ReadOnlyKey final : public RegistryKey {
 public:
  Win32ReadOnlyKey(HKEY key, REGSAM view) : key_(key), view_(view) {}

  WinError OpenSubkey(const std::string& name, std::uint32_t access, RegistryKeyPtr& key) override {
    if ((access & ~kReadRights) != 0) return kErrorAccessDenied;
    HKEY opened = nullptr;
    const WinError status = OpenRegistrySubkey(key_.get(), name, access | view_, opened);
    if (status == kErrorSuccess) key = std::make_unique<Win32ReadOnlyKey>(opened, view_);
    return status;
  }
  WinError EnumSubkey(std::uint32_t index, std::string& name) override {
    return EnumRegistrySubkey(key_.get(), index, name);
  }
  WinError QueryValue(const std::string& name, RegistryValue& value) override {
    return QueryRegistryValue(key_.get(), name, value);
  }

  WinError CreateSubkey(const std::string&, std::uint32_t, KeyLifetime, RegistryKeyPtr&,
                        bool&) override {
    return kErrorAccessDenied;
  }
  WinError DeleteSubkey(const std::string&) override { return kErrorAccessDenied; }
  WinError SetValue(const std::string&, const RegistryValue&) override {
    return kErrorAccessDenied;
  }
  WinError QueryDaclSize(std::uint32_t&) override { return kErrorAccessDenied; }
  WinError ReadDacl(std::uint32_t) override { return kErrorAccessDenied; }
  WinError WriteAdministratorsOnlyDacl() override { return kErrorAccessDenied; }
  WinError CheckAccess(std::uint32_t access, bool& granted) override {
    return CheckKeyAccess(key_.get(), access, granted);
  }

 private:
  UniqueHkey key_;
  REGSAM view_;
};

}  // namespace

WinError Win32ReadOnlyRegistryOs::OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                                                      RegistryKeyPtr& key) {
  if ((access & ~kReadRights) != 0) return kErrorAccessDenied;
  HKEY opened = nullptr;
  const WinError status = OpenRegistryKey(HKEY_LOCAL_MACHINE, path, access, opened);
  if (status == kErrorSuccess) {
    key = std::make_unique<Win32ReadOnlyKey>(opened, access & KEY_WOW64_64KEY);
  }
  return status;
}

}  // namespace qsetup::win32
