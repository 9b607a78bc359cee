#include "msi/folder_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "msi/action_log.h"
#include "msi/folder_tree.h"
#include "msi/setup_outcome.h"
#include "win32/handles.h"

namespace qsetup::msi {
namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates `folder` (no closing separator) with `security` unless it exists,
// and its missing parents as Windows makes folders. Returns the Windows
// error, 0 when the folder is there.
DWORD CreateFolder(const std::wstring& folder, PSECURITY_DESCRIPTOR security) {
  if (IsDirectory(folder)) return 0;
  const std::size_t separator = folder.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0 && folder[separator - 1] != L':') {
    if (const DWORD error = CreateFolder(folder.substr(0, separator), nullptr); error != 0) {
      return error;
    }
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
  if (::CreateDirectoryW(folder.c_str(), &attributes)) return 0;
  const DWORD error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS && IsDirectory(folder) ? 0 : error;
}

// `path` for the wide file functions; past MAX_PATH a drive path goes
// behind \\?\, which lifts the limit (the installer's paths are full ones).
std::wstring ApiPath(const std::string& path) {
  std::wstring wide = WidenReplacing(path);
  if (wide.size() >= MAX_PATH - 12 && wide.size() > 2 && wide[1] == L':') {
    wide.insert(0, L"\\\\?\\");
  }
  return wide;
}

// The backup and restore privileges, enabled while it lives: the system holds
// both, disabled. With them a handle opened for backup reads and sets the
// owner and DACL of an entry whose DACL keeps the system out, and any SID may
// become its owner. Where they cannot be enabled the entries that need them
// fail to open, and the action says so.
class BackupPrivileges {
 public:
  BackupPrivileges() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      return;
    }
    token_.reset(token);
    struct {
      DWORD count;
      LUID_AND_ATTRIBUTES privileges[2];
    } wanted{2, {{{}, SE_PRIVILEGE_ENABLED}, {{}, SE_PRIVILEGE_ENABLED}}};
    if (!::LookupPrivilegeValueW(nullptr, L"SeBackupPrivilege", &wanted.privileges[0].Luid) ||
        !::LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &wanted.privileges[1].Luid)) {
      return;
    }
    DWORD size = sizeof previous_;
    adjusted_ =
        ::AdjustTokenPrivileges(token_.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&wanted),
                                sizeof previous_, &previous_.header, &size) != 0;
  }
  ~BackupPrivileges() {
    // Back to their state before: only what was changed is in `previous_`.
    if (adjusted_) {
      ::AdjustTokenPrivileges(token_.get(), FALSE, &previous_.header, 0, nullptr, nullptr);
    }
  }
  BackupPrivileges(const BackupPrivileges&) = delete;
  BackupPrivileges& operator=(const BackupPrivileges&) = delete;

 private:
  win32::UniqueHandle token_;
  struct {
    TOKEN_PRIVILEGES header;
    LUID_AND_ATTRIBUTES more[1];
  } previous_{};
  bool adjusted_ = false;
};

// The SID of the account that the action runs as (its thread's, else its
// process's), "S-1-5-18" for the deferred action; empty when it cannot be
// read.
std::string ActionAccount() {
  HANDLE token = nullptr;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return {};
  }
  const win32::UniqueHandle owned_token(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  wchar_t* text = nullptr;
  if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return {};
  }
  const win32::UniqueLocal owned_text(text);
  return NarrowReplacing(text);
}

class Win32FolderTreeOs final : public FolderTreeOs {
 public:
  WinError Open(const std::string& path, FolderEntry& entry) override {
    // Without FILE_SHARE_DELETE: nobody renames or removes the entry while
    // it is open.
    entry_.reset(::CreateFileW(ApiPath(path).c_str(),
                               READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!entry_) return ::GetLastError();
    return ReadFacts(entry);
  }

  WinError Reset(const char* sddl, FolderEntry& entry) override {
    PSECURITY_DESCRIPTOR parsed = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            WidenReplacing(sddl).c_str(), SDDL_REVISION_1, &parsed, nullptr)) {
      return ::GetLastError();
    }
    const win32::UniqueLocal security(parsed);
    // On the handle, unlike SetSecurityInfo: Windows neither looks the name
    // up again nor walks below the entry on its own (the walk is ours, and
    // never follows a link). The descriptor's control carries whether the
    // DACL is protected.
    if (!::SetKernelObjectSecurity(
            entry_.get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security.get())) {
      return ::GetLastError();
    }
    return ReadFacts(entry);
  }

  WinError List(const std::string& path, std::vector<std::string>& names) override {
    names.clear();
    WIN32_FIND_DATAW found;
    const win32::UniqueFind find(::FindFirstFileExW(ApiPath(path + "\\*").c_str(), FindExInfoBasic,
                                                    &found, FindExSearchNameMatch, nullptr, 0));
    if (!find) return ::GetLastError();
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::string narrow = NarrowReplacing(name);
      // A name that UTF-8 cannot hold would name another entry.
      if (WidenReplacing(narrow) != name) return ERROR_NO_UNICODE_TRANSLATION;
      names.push_back(std::move(narrow));
    } while (::FindNextFileW(find.get(), &found));
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
  }

 private:
  WinError ReadFacts(FolderEntry& entry) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!::GetFileInformationByHandle(entry_.get(), &information)) return ::GetLastError();
    entry.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.reparse_point = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.links = information.nNumberOfLinks;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (const DWORD error =
            ::GetSecurityInfo(entry_.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor);
        error != ERROR_SUCCESS) {
      return error;
    }
    const win32::UniqueLocal owned_descriptor(descriptor);
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(owner, &text)) return ::GetLastError();
    const win32::UniqueLocal owned_text(text);
    entry.owner = NarrowReplacing(text);
    return ERROR_SUCCESS;
  }

  win32::UniqueFile entry_;
};

}  // namespace

bool ProtectInstallFolder(MSIHANDLE install, const std::wstring& folder) {
  PSECURITY_DESCRIPTOR parsed = nullptr;
  DWORD error = 0;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          WidenReplacing(kFolderSecurity).c_str(), SDDL_REVISION_1, &parsed, nullptr)) {
    error = ::GetLastError();
  }
  const win32::UniqueLocal security(parsed);
  if (error == 0) error = CreateFolder(folder, security.get());
  if (error != 0) {
    LogLine(install, L"INSTALLFOLDER " + folder +
                         L"\\ could not be given permissions of its own: " +
                         WidenReplacing(WindowsErrorText(error)) + L".");
    return false;
  }
  const BackupPrivileges privileges;
  Win32FolderTreeOs os;
  const FolderProtection protection =
      ProtectFolderTree(os, NarrowReplacing(folder), ActionAccount());
  LogLine(install, WidenReplacing(protection.log_line));
  return protection.done;
}

}  // namespace qsetup::msi
