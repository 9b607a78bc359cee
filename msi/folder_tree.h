// The installed folder's protection, decided apart from Windows: which owner
// of an existing folder is trusted, what is refused, which security each
// entry of the tree gets and in which order, and the MSI log line that says
// so. The custom action's Win32 part (folder_security.cpp) implements the
// few file operations it needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/win_errors.h"

namespace qsetup::msi {

// The installed folder: owned by Administrators (so that whoever made the
// folder before cannot change its permissions again), SYSTEM and
// Administrators in full control, Users reading and executing, each entry
// inherited by everything below, nothing inherited from the parent.
inline constexpr char kFolderSecurity[] =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// What each directory and each file below it gets: owner Administrators,
// the folder's entries as inherited ones, and no entry of its own.
inline constexpr char kInheritedDirectorySecurity[] =
    "O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)";
inline constexpr char kInheritedFileSecurity[] =
    "O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";

// One entry of the tree as its own handle shows it.
struct FolderEntry {
  bool directory = false;
  bool reparse_point = false;  // a junction, a link, a mount point
  std::uint32_t links = 1;     // a file's names (hard links)
  std::string owner;           // its owner's SID, "S-1-5-32-544"
};

class FolderTreeOs {
 public:
  virtual ~FolderTreeOs() = default;
  // Opens the entry `path` itself, never what a reparse point names, and
  // reads its facts. It stays open for Reset until the next Open.
  virtual WinError Open(const std::string& path, FolderEntry& entry) = 0;
  // Gives the open entry the owner and the DACL of `sddl`, and reads its
  // facts again.
  virtual WinError Reset(const char* sddl, FolderEntry& entry) = 0;
  // The names in the directory `path`, without "." and "..".
  virtual WinError List(const std::string& path, std::vector<std::string>& names) = 0;
};

struct FolderProtection {
  bool done = false;  // false: the action fails and the MSI rolls back
  std::string log_line;
};

// Protects the folder `folder` (no closing separator), which exists, and
// everything in it. A folder that is a reparse point, or whose owner is
// neither SYSTEM, Administrators, TrustedInstaller nor `action_account` (the
// SID that the action runs as: the system, for the deferred action), is
// refused untouched. Then the
// folder, and below it each directory before what it holds, gets its
// security; a reparse point or a file with other names inside the tree is
// refused, never followed or changed.
FolderProtection ProtectFolderTree(FolderTreeOs& os, const std::string& folder,
                                   const std::string& action_account);

}  // namespace qsetup::msi
