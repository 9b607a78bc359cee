#include "msi/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fakes/fake_folder_tree.h"

namespace qsetup::msi {
namespace {

using testing::FakeFolderTree;
using testing::FakeTreeEntry;

constexpr char kFolder[] = "C:\\Quillon";
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kUser[] = "S-1-5-21-1-2-3-1001";
constexpr char kAction[] = "S-1-5-21-1-2-3-500";  // the account that runs the action

FakeTreeEntry Directory(const std::string& owner = kUser) {
  FakeTreeEntry entry;
  entry.directory = true;
  entry.owner = owner;
  return entry;
}

FakeTreeEntry File(const std::string& owner = kUser, std::uint32_t links = 1) {
  FakeTreeEntry entry;
  entry.owner = owner;
  entry.links = links;
  return entry;
}

// A link to `target` now, or made one between its Open and its Reset.
FakeTreeEntry Link(FakeTreeEntry entry, const std::string& target, bool now = true) {
  (now ? entry.link_target : entry.becomes_link_to) = target;
  return entry;
}

// A folder below the root that a standard user could have made first: the
// system uses it only where its owner is one that may change its
// permissions anyway, and then leaves nothing in it as it was.
TEST(FolderTree, OnlyAFolderOfATrustedOwnerIsUsed) {
  const struct {
    std::string owner;
    bool used;
  } cases[] = {
      {"S-1-5-18", true},
      {kAdministrators, true},
      {"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
      {kAction, true},
      {kUser, false},
      {"S-1-1-0", false},        // Everyone
      {"S-1-5-32-545", false},   // Users
      {"S-1-5-32-5440", false},  // not Administrators, though it begins so
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.owner);
    FakeFolderTree tree;
    tree.entries[kFolder] = Directory(c.owner);
    tree.entries["C:\\Quillon\\SETUP.EXE"] = File();
    const FolderProtection protection = ProtectFolderTree(tree, kFolder, kAction);
    EXPECT_EQ(protection.done, c.used);
    if (c.used) {
      EXPECT_EQ(protection.log_line,
                "INSTALLFOLDER C:\\Quillon\\ has permissions of its own, "
                "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU): owner "
                "Administrators; SYSTEM and Administrators full control, Users read and execute; "
                "nothing inherited from its parent.");
    } else {
      EXPECT_EQ(protection.log_line,
                "INSTALLFOLDER C:\\Quillon\\ is owned by " + c.owner +
                    ", not by SYSTEM, Administrators or TrustedInstaller: its owner could change "
                    "what it holds while the system installs. Remove the folder, or choose "
                    "another INSTALLFOLDER.");
      EXPECT_EQ(tree.calls, std::vector<std::string>{"open C:\\Quillon"});
    }
  }
}

// Every entry gets Administrators as its owner and the folder's entries as
// its only ones, whatever it held before; each directory is closed to users
// before what it holds is read.
TEST(FolderTree, WholeTreeIsResetFromTheTopDown) {
  FakeFolderTree tree;
  tree.entries[kFolder] = Directory(kAdministrators);
  tree.entries["C:\\Quillon\\SETUP.EXE"] = File();
  tree.entries["C:\\Quillon\\SETUP.EXE"].security = "O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;WD)";
  tree.entries["C:\\Quillon\\nls"] = Directory();
  tree.entries["C:\\Quillon\\nls\\deep"] = Directory();
  tree.entries["C:\\Quillon\\nls\\deep\\FRENCH.NLS"] = File();
  tree.entries["C:\\Quillon\\nls\\GERMAN.NLS"] = File();
  tree.entries["C:\\Quillon\\empty"] = Directory();
  ASSERT_TRUE(ProtectFolderTree(tree, kFolder, kAction).done);

  for (const auto& [path, entry] : tree.entries) {
    SCOPED_TRACE(path);
    EXPECT_EQ(entry.owner, kAdministrators);
    EXPECT_EQ(entry.security, path == kFolder   ? kFolderSecurity
                              : entry.directory ? kInheritedDirectorySecurity
                                                : kInheritedFileSecurity);
  }
  const auto at = [&](const std::string& call) {
    return std::find(tree.calls.begin(), tree.calls.end(), call) - tree.calls.begin();
  };
  for (const std::string directory :
       {"C:\\Quillon", "C:\\Quillon\\nls", "C:\\Quillon\\nls\\deep", "C:\\Quillon\\empty"}) {
    SCOPED_TRACE(directory);
    EXPECT_LT(at("reset " + directory), at("list " + directory));
  }
  EXPECT_EQ(tree.calls.front(), "open C:\\Quillon");
  EXPECT_LT(at("list C:\\Quillon\\nls"), at("open C:\\Quillon\\nls\\deep\\FRENCH.NLS"));
}

// A link is never followed, nor is its target's security changed: the
// folder or an entry that is one is refused, and so is a file with other
// names, whose security is that of a file elsewhere.
TEST(FolderTree, LinksAndHardLinksAreRefusedNeverFollowed) {
  constexpr char kFolderLink[] =
      "is a reparse point (a junction or a link to another place): choose the folder itself.";
  constexpr char kLinkInside[] =
      "holds a reparse point (a junction or a link to another place), C:\\Quillon\\nls: remove "
      "it and install again.";
  const struct {
    const char* what;
    const char* entry;
    FakeTreeEntry made;
    const char* said;  // by the log line, after "INSTALLFOLDER C:\Quillon\ "
  } cases[] = {
      {"the folder is a junction", kFolder, Link(Directory(kAdministrators), "C:\\Windows"),
       kFolderLink},
      {"the folder becomes a junction once opened", kFolder,
       Link(Directory(kAdministrators), "C:\\Windows", /*now=*/false), kFolderLink},
      {"a directory in it is a junction", "C:\\Quillon\\nls",
       Link(Directory(kAdministrators), "C:\\Windows"), kLinkInside},
      {"a directory in it becomes a junction once opened", "C:\\Quillon\\nls",
       Link(Directory(), "C:\\Windows", /*now=*/false), kLinkInside},
      {"a file in it is a link", "C:\\Quillon\\nls", Link(File(), "C:\\Windows\\kernel.dll"),
       kLinkInside},
      {"a file in it has another name", "C:\\Quillon\\nls", File(kUser, 2),
       "holds a file that has other names (hard links) elsewhere, C:\\Quillon\\nls: remove it and "
       "install again."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFolderTree tree;
    tree.entries[kFolder] = Directory(kAdministrators);
    tree.entries[c.entry] = c.made;
    tree.entries["C:\\Windows"] = Directory(kAdministrators);
    tree.entries["C:\\Windows\\kernel.dll"] = File("S-1-5-18");
    const FolderProtection protection = ProtectFolderTree(tree, kFolder, kAction);
    EXPECT_FALSE(protection.done);
    EXPECT_EQ(protection.log_line, std::string("INSTALLFOLDER C:\\Quillon\\ ") + c.said);
    EXPECT_EQ(tree.entries["C:\\Windows"].security, "");
    EXPECT_EQ(tree.entries["C:\\Windows\\kernel.dll"].security, "");
    EXPECT_EQ(tree.entries["C:\\Windows\\kernel.dll"].owner, "S-1-5-18");
    // A hard link's security is its other names' too.
    if (c.made.links > 1) {
      EXPECT_EQ(tree.entries[c.entry].security, "");
    }
  }
}

// A step that fails ends the action with the entry and the error in the
// log; nothing after it is touched.
TEST(FolderTree, FailedStepNamesTheEntry) {
  const struct {
    std::map<std::string, WinError> FakeFolderTree::*fails;
    const char* path;
  } cases[] = {
      {&FakeFolderTree::open_fails, kFolder},
      {&FakeFolderTree::reset_fails, kFolder},
      {&FakeFolderTree::list_fails, kFolder},
      {&FakeFolderTree::open_fails, "C:\\Quillon\\nls"},
      {&FakeFolderTree::reset_fails, "C:\\Quillon\\nls"},
      {&FakeFolderTree::list_fails, "C:\\Quillon\\nls"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    FakeFolderTree tree;
    tree.entries[kFolder] = Directory(kAdministrators);
    tree.entries["C:\\Quillon\\nls"] = Directory();
    tree.entries["C:\\Quillon\\nls\\GERMAN.NLS"] = File();
    (tree.*c.fails)[c.path] = kErrorAccessDenied;
    const FolderProtection protection = ProtectFolderTree(tree, kFolder, kAction);
    EXPECT_FALSE(protection.done);
    EXPECT_EQ(
        protection.log_line,
        std::string("INSTALLFOLDER C:\\Quillon\\ could not be given permissions of its own: ") +
            c.path + ": Windows error 5.");
    EXPECT_EQ(tree.entries["C:\\Quillon\\nls\\GERMAN.NLS"].security, "");
  }
}

}  // namespace
}  // namespace qsetup::msi
