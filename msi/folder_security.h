// The installed folder's permissions of its own.
#pragma once

#include <windows.h>

#include <string>

namespace qsetup::msi {

// The installed folder: owned by Administrators (so that whoever made the
// folder before cannot change its permissions again), SYSTEM and
// Administrators in full control, Users reading and executing, each entry
// inherited by everything below, nothing inherited from the parent.
inline constexpr wchar_t kFolderSecurity[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Gives `folder` (no closing separator) the security of kFolderSecurity,
// made with it, and its missing parents as Windows makes folders, when it is
// new, so that nobody else can write there in between. Returns the Windows
// error, or 0.
DWORD ProtectFolderAt(std::wstring folder);

}  // namespace qsetup::msi
