#include "msi/folder_security.h"

#include <aclapi.h>
#include <sddl.h>

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

}  // namespace

DWORD ProtectFolderAt(std::wstring folder) {
  PSECURITY_DESCRIPTOR parsed = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1,
                                                              &parsed, nullptr)) {
    return ::GetLastError();
  }
  const win32::UniqueLocal security(parsed);
  if (const DWORD error = CreateFolder(folder, security.get()); error != 0) return error;
  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  PACL dacl = nullptr;
  BOOL dacl_present = FALSE;
  BOOL dacl_defaulted = FALSE;
  if (!::GetSecurityDescriptorOwner(security.get(), &owner, &owner_defaulted) ||
      !::GetSecurityDescriptorDacl(security.get(), &dacl_present, &dacl, &dacl_defaulted)) {
    return ::GetLastError();
  }
  // An existing folder gets it too, and Windows passes the inherited entries
  // on to what the folder holds. Returns the error itself.
  return ::SetNamedSecurityInfoW(
      folder.data(), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      owner, nullptr, dacl, nullptr);
}

}  // namespace qsetup::msi
