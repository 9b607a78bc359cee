// A file tree as the MSI custom action's handles see it on Windows (file
// ACLs in force, which Wine does not keep): an entry opened with
// FILE_FLAG_OPEN_REPARSE_POINT is the link itself, a name looked up through
// a link reaches its target, and setting an entry's security on its handle
// changes that entry alone. Each operation can fail on demand.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "msi/folder_tree.h"

namespace qsetup::testing {

struct FakeTreeEntry {
  bool directory = false;
  std::string link_target;  // not empty: a reparse point that names this path
  std::uint32_t links = 1;
  std::string owner = "S-1-5-21-1-2-3-1001";  // a standard user
  std::string security;                       // what Reset gave it last
  // Made a link to this path between its Open and its Reset.
  std::string becomes_link_to;
};

class FakeFolderTree final : public msi::FolderTreeOs {
 public:
  std::map<std::string, FakeTreeEntry> entries;  // by full path
  std::map<std::string, WinError> open_fails, reset_fails, list_fails;
  // "open PATH", "reset PATH", "list PATH", in the order of the calls.
  std::vector<std::string> calls;

  WinError Open(const std::string& path, msi::FolderEntry& entry) override {
    calls.push_back("open " + path);
    // Links on the way are followed, the last name is the entry itself.
    const std::size_t separator = path.rfind('\\');
    open_ = entries.find(separator == std::string::npos
                             ? path
                             : Resolve(path.substr(0, separator)) + path.substr(separator));
    if (open_ == entries.end()) return kErrorFileNotFound;
    if (const auto fail = open_fails.find(path); fail != open_fails.end()) return fail->second;
    return Facts(entry);
  }

  WinError Reset(const char* sddl, msi::FolderEntry& entry) override {
    calls.push_back("reset " + open_->first);
    if (const auto fail = reset_fails.find(open_->first); fail != reset_fails.end()) {
      return fail->second;
    }
    FakeTreeEntry& target = open_->second;
    if (!target.becomes_link_to.empty()) target.link_target = target.becomes_link_to;
    target.security = sddl;
    // The owner of the descriptor's "O:" part; every descriptor of the
    // action names Administrators.
    target.owner = std::string(sddl).rfind("O:BA", 0) == 0 ? "S-1-5-32-544" : "?";
    return Facts(entry);
  }

  WinError List(const std::string& path, std::vector<std::string>& names) override {
    calls.push_back("list " + path);
    if (const auto fail = list_fails.find(path); fail != list_fails.end()) return fail->second;
    const std::string directory = Resolve(path);
    const auto found = entries.find(directory);
    if (found == entries.end()) return kErrorPathNotFound;
    if (!found->second.directory) return kErrorDirectory;
    names.clear();
    for (const auto& [other, unused] : entries) {
      if (other.size() > directory.size() + 1 && other.rfind(directory + "\\", 0) == 0 &&
          other.find('\\', directory.size() + 1) == std::string::npos) {
        names.push_back(other.substr(directory.size() + 1));
      }
    }
    return kErrorSuccess;
  }

 private:
  static constexpr WinError kErrorDirectory = 267;  // ERROR_DIRECTORY

  // `path` with each link on its way replaced by its target, as a lookup
  // by name follows it.
  std::string Resolve(const std::string& path) const {
    for (const auto& [name, entry] : entries) {
      if (entry.link_target.empty()) continue;
      if (path == name) return Resolve(entry.link_target);
      if (path.rfind(name + "\\", 0) == 0) {
        return Resolve(entry.link_target + path.substr(name.size()));
      }
    }
    return path;
  }

  WinError Facts(msi::FolderEntry& entry) const {
    const FakeTreeEntry& e = open_->second;
    entry = {e.directory, !e.link_target.empty(), e.links, e.owner};
    return kErrorSuccess;
  }

  std::map<std::string, FakeTreeEntry>::iterator open_ = entries.end();
};

}  // namespace qsetup::testing
