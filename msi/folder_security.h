// The installed folder's permissions of its own.
#pragma once

#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>

#include <string>

namespace qsetup::msi {

// Makes `folder` (no closing separator) with the security of
// kFolderSecurity when it is new, and its missing parents as Windows makes
// folders, so that nobody else can write there in between; then protects it
// and everything in it as ProtectFolderTree decides. Writes the outcome into
// the MSI log; false when the installation must not go on.
bool ProtectInstallFolder(MSIHANDLE install, const std::wstring& folder);

}  // namespace qsetup::msi
