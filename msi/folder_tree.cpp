#include "msi/folder_tree.h"

#include <utility>

#include "msi/setup_outcome.h"

namespace qsetup::msi {
namespace {

// Owners that can change the folder's permissions whatever they are, and
// may: the system, the administrators, the servicing of Windows, and the
// account that runs the action.
constexpr const char* kTrustedOwners[] = {
    "S-1-5-18",
    "S-1-5-32-544",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
};

bool IsTrustedOwner(const std::string& sid, const std::string& action_account) {
  if (!sid.empty() && sid == action_account) return true;
  for (const char* trusted : kTrustedOwners) {
    if (sid == trusted) return true;
  }
  return false;
}

FolderProtection Refused(const std::string& folder, const std::string& reason) {
  return {false, "INSTALLFOLDER " + folder + "\\ " + reason};
}

FolderProtection Failed(const std::string& folder, const std::string& path, WinError error) {
  return Refused(folder, "could not be given permissions of its own: " + path + ": " +
                             WindowsErrorText(error) + ".");
}

// The refusal of an entry inside the tree, if it is one.
std::string InsideRefusal(const std::string& path, const FolderEntry& entry) {
  if (entry.reparse_point) {
    return "holds a reparse point (a junction or a link to another place), " + path +
           ": remove it and install again.";
  }
  if (!entry.directory && entry.links > 1) {
    return "holds a file that has other names (hard links) elsewhere, " + path +
           ": remove it and install again.";
  }
  return {};
}

}  // namespace

FolderProtection ProtectFolderTree(FolderTreeOs& os, const std::string& folder,
                                   const std::string& action_account) {
  constexpr char kLink[] =
      "is a reparse point (a junction or a link to another place): choose the folder itself.";
  FolderEntry entry;
  if (const WinError error = os.Open(folder, entry); error != kErrorSuccess) {
    return Failed(folder, folder, error);
  }
  if (entry.reparse_point) return Refused(folder, kLink);
  if (!IsTrustedOwner(entry.owner, action_account)) {
    return Refused(folder,
                   "is owned by " + entry.owner +
                       ", not by SYSTEM, Administrators or TrustedInstaller: its owner could "
                       "change what it holds while the system installs. Remove the folder, or "
                       "choose another INSTALLFOLDER.");
  }
  // Each directory is closed to users before what it holds is read, and
  // checked again once closed: it can no longer become a link then.
  if (const WinError error = os.Reset(kFolderSecurity, entry); error != kErrorSuccess) {
    return Failed(folder, folder, error);
  }
  if (entry.reparse_point) return Refused(folder, kLink);
  std::vector<std::string> directories = {folder};
  while (!directories.empty()) {
    const std::string directory = std::move(directories.back());
    directories.pop_back();
    std::vector<std::string> names;
    if (const WinError error = os.List(directory, names); error != kErrorSuccess) {
      return Failed(folder, directory, error);
    }
    for (const std::string& name : names) {
      const std::string path = directory + "\\" + name;
      if (const WinError error = os.Open(path, entry); error != kErrorSuccess) {
        return Failed(folder, path, error);
      }
      if (std::string refusal = InsideRefusal(path, entry); !refusal.empty()) {
        return Refused(folder, refusal);
      }
      const char* security = entry.directory ? kInheritedDirectorySecurity : kInheritedFileSecurity;
      if (const WinError error = os.Reset(security, entry); error != kErrorSuccess) {
        return Failed(folder, path, error);
      }
      if (std::string refusal = InsideRefusal(path, entry); !refusal.empty()) {
        return Refused(folder, refusal);
      }
      if (entry.directory) directories.push_back(path);
    }
  }
  return {true, "INSTALLFOLDER " + folder + "\\ has permissions of its own, " + kFolderSecurity +
                    ": owner Administrators; SYSTEM and Administrators full control, Users read "
                    "and execute; nothing inherited from its parent."};
}

}  // namespace qsetup::msi
