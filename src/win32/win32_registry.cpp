#include "win32/win32_registry.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "win32/handles.h"
#include "win32/win32_libraries.h"
#include "win32/win32_registry_reads.h"

namespace qsetup::win32 {
namespace {

// Registry calls return their error as a status instead of setting the last
// error; both share one numbering.
WinError Status(LONG status) {
  return static_cast<WinError>(status);
}

// Deletes the key `name` below `key` itself, opened in the registry view
// `view`: a symbolic link as the link. RegDeleteKey would follow a link and
// delete its target; NtDeleteKey deletes the key that its handle names.
LONG DeleteKey(HKEY key, const char* name, REGSAM view) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, DELETE | view, &opened);
  if (status != ERROR_SUCCESS) return status;
  const UniqueHkey owner(opened);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  LONG(NTAPI * delete_key)(HANDLE) = nullptr;
  ULONG(NTAPI * error_of)(LONG) = nullptr;
  if (!Resolve(ntdll, "NtDeleteKey", delete_key) ||
      !Resolve(ntdll, "RtlNtStatusToDosError", error_of)) {
    return ERROR_PROC_NOT_FOUND;
  }
  return static_cast<LONG>(error_of(delete_key(opened)));
}

// A key that SETUP.EXE opens: the reads, and the changes of the registry.
class Win32RegistryKey final : public Win32KeyReads<RegistryKey, Win32RegistryKey> {
 public:
  using Win32KeyReads::Win32KeyReads;

  WinError CreateSubkey(const std::string& name, std::uint32_t access, KeyLifetime lifetime,
                        RegistryKeyPtr& key, bool& created) override {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    const DWORD options =
        lifetime == KeyLifetime::kVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
    const LONG status = ::RegCreateKeyExA(key_.get(), name.c_str(), 0, nullptr, options,
                                          access | view_, nullptr, &opened, &disposition);
    if (status == ERROR_SUCCESS) {
      key = std::make_unique<Win32RegistryKey>(opened, view_);
      created = disposition == REG_CREATED_NEW_KEY;
    }
    return Status(status);
  }

  WinError DeleteSubkey(const std::string& name) override {
    return Status(DeleteKey(key_.get(), name.c_str(), view_));
  }

  WinError SetValue(const std::string& name, const RegistryValue& value) override {
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    switch (value.type) {
      case RegistryValue::Type::kString:
      case RegistryValue::Type::kExpandString:
        type = value.type == RegistryValue::Type::kString ? REG_SZ : REG_EXPAND_SZ;
        data.assign(value.text.begin(), value.text.end());
        data.push_back(0);
        break;
      case RegistryValue::Type::kDword: {
        type = REG_DWORD;
        const DWORD number = static_cast<DWORD>(value.number);
        data.resize(sizeof number);
        std::memcpy(data.data(), &number, sizeof number);
        break;
      }
      case RegistryValue::Type::kQword:
        type = REG_QWORD;
        data.resize(sizeof value.number);
        std::memcpy(data.data(), &value.number, sizeof value.number);
        break;
    }
    return Status(::RegSetValueExA(key_.get(), name.c_str(), 0, type, data.data(),
                                   static_cast<DWORD>(data.size())));
  }

  WinError QueryDaclSize(std::uint32_t& size) override {
    DWORD needed = 0;
    const LONG status =
        ::RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, nullptr, &needed);
    size = needed;
    return Status(status);
  }

  WinError ReadDacl(std::uint32_t size) override {
    UniqueHeapBlock buffer(::HeapAlloc(::GetProcessHeap(), 0, size));
    if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD length = size;
    return Status(::RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION,
                                      static_cast<PSECURITY_DESCRIPTOR>(buffer.get()), &length));
  }

  WinError WriteAdministratorsOnlyDacl() override {
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    PSID sid_value = nullptr;
    if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid_value)) {
      return ::GetLastError();
    }
    const UniqueSid administrators(sid_value);

    // The ACL header and one access-allowed ACE, whose SID takes the place of
    // its last (SidStart) member.
    const DWORD acl_size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) +
                           ::GetLengthSid(administrators.get());
    const UniqueHeapBlock acl_block(::HeapAlloc(::GetProcessHeap(), 0, acl_size));
    if (!acl_block) return ERROR_NOT_ENOUGH_MEMORY;
    const auto acl = static_cast<PACL>(acl_block.get());
    if (!::InitializeAcl(acl, acl_size, ACL_REVISION) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, administrators.get())) {
      return ::GetLastError();
    }

    const UniqueHeapBlock descriptor_block(
        ::HeapAlloc(::GetProcessHeap(), 0, SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (!descriptor_block) return ERROR_NOT_ENOUGH_MEMORY;
    const auto descriptor = static_cast<PSECURITY_DESCRIPTOR>(descriptor_block.get());
    if (!::InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE)) {
      return ::GetLastError();
    }
    return Status(::RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, descriptor));
  }
};

}  // namespace

WinError Win32RegistryOs::OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                                              RegistryKeyReaderPtr& key) {
  return OpenLocalMachine<Win32RegistryKey>(path, access, key);
}

}  // namespace qsetup::win32
