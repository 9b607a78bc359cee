#include "win32/win32_replace.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "win32/handles.h"

namespace qsetup::win32 {
namespace {

// Room for any key name: names are at most 255 characters.
constexpr DWORD kKeyNameBuffer = 512;

// Registry calls return their error as a status instead of setting the last
// error; both share one numbering.
WinError Status(LONG status) {
  return static_cast<WinError>(status);
}

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}

  WinError OpenSubkey(const std::string& name, std::uint32_t access, RegistryKeyPtr& key) override {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(key_.get(), name.c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS) key = std::make_unique<Win32RegistryKey>(opened);
    return Status(status);
  }

  WinError EnumSubkey(std::uint32_t index, std::string& name) override {
    char buffer[kKeyNameBuffer] = {};
    DWORD length = sizeof buffer;
    FILETIME last_write;
    const LONG status =
        ::RegEnumKeyExA(key_.get(), index, buffer, &length, nullptr, nullptr, nullptr, &last_write);
    if (status == ERROR_SUCCESS) {
      name.assign(buffer, ::strnlen(buffer, sizeof buffer));
    } else {
      name.clear();  // what a name too long for the buffer left there is no name
    }
    return Status(status);
  }

  WinError DeleteSubkey(const std::string& name) override {
    return Status(::RegDeleteKeyA(key_.get(), name.c_str()));
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

 private:
  UniqueHkey key_;
};

class Win32ToolProcess final : public ToolProcess {
 public:
  Win32ToolProcess(HANDLE process, HANDLE thread) : process_(process), thread_(thread) {}

  std::optional<std::uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }

  ToolWait Wait(std::uint32_t milliseconds) override {
    switch (::WaitForSingleObject(process_.get(), milliseconds)) {
      case WAIT_OBJECT_0:
        return ToolWait::kEnded;
      case WAIT_TIMEOUT:
        return ToolWait::kTimedOut;
      default:
        // A wait that cannot be made still has to hold the poll apart from
        // the next one.
        ::Sleep(milliseconds);
        return ToolWait::kTimedOut;
    }
  }

 private:
  UniqueHandle process_;
  UniqueHandle thread_;
};

}  // namespace

WinError Win32ReplaceOs::OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                                             RegistryKeyPtr& key) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) key = std::make_unique<Win32RegistryKey>(opened);
  return Status(status);
}

ToolProcessPtr Win32ReplaceOs::StartTool(const std::string& application,
                                         const std::string& command_line) {
  STARTUPINFOA startup;
  ::GetStartupInfoA(&startup);
  startup.lpReserved = nullptr;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;

  // CreateProcessA may write into the command line.
  std::vector<char> command(command_line.begin(), command_line.end());
  command.push_back('\0');
  PROCESS_INFORMATION info;
  if (!::CreateProcessA(application.c_str(), command.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info)) {
    return nullptr;
  }
  return std::make_unique<Win32ToolProcess>(info.hProcess, info.hThread);
}

}  // namespace qsetup::win32
