// A file system in memory for deployment: files with contents and
// attributes, directories, and failures on demand. Paths are matched as
// Windows matches them: ASCII case ignored, repeated separators as one.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "deploy/deploy_os.h"
#include "fakes/fault_plan.h"

namespace qsetup::testing {

struct FakeDeployFile {
  std::string data;
  std::uint32_t attributes = kAttributeNormal;
  std::uint64_t created = 0;  // file time
  bool flushed = true;        // its data is on the disk
};

class FakeDeployOs : public DeployOs {
 public:
  std::map<std::string, FakeDeployFile> files;  // by Key()
  std::set<std::string> directories;            // by Key()
  std::set<std::string> locked;                 // in use: cannot be written, replaced or removed
  std::set<std::string> running_images;         // a running program's image: may be renamed
  std::set<std::string> unreadable;             // cannot be opened for reading
  std::set<std::string> copy_breaks;            // a copy from this source stops half way
  std::set<std::string> move_fails;             // a rename onto this target fails
  std::map<std::string, WinError> move_errors;  // a rename onto this target fails so
  // Held open with all sharing flags (a scanner, a backup agent): it can be
  // opened for writing and renamed, and a rename over it is refused with
  // access denied, as often as its number says, then the holder lets go; a
  // hold of kHeldUntilRestart never ends before Windows starts again.
  static constexpr int kHeldUntilRestart = -1;
  std::map<std::string, int> held;
  std::set<std::string> flush_fails;               // writing this file to the disk fails
  std::string current_directory;                   // what relative paths start from
  std::uint32_t process_id = 4242;                 // this process's
  std::map<std::uint32_t, std::uint64_t> running;  // other processes that run, and their start
  std::set<std::uint32_t> unknown_processes;       // whose state cannot be read
  std::uint64_t clock = 1000;  // the file time of the next file made; every file made advances it
  FaultPlan* faults = nullptr;
  int open_files = 0;
  int unflushed_renames = 0;  // renames of a file whose data was not yet on the disk
  // What the next start of Windows does, in order: a rename of the first
  // over the second, or the first's deletion where the second is empty.
  std::vector<std::pair<std::string, std::string>> at_restart;

  // What was asked of the system.
  std::vector<std::string> opened;
  std::vector<std::string> copies;  // "source>target"
  std::vector<std::string> made_directories;
  std::vector<std::uint32_t> waits;  // milliseconds
  std::size_t reads = 0;
  std::size_t largest_read = 0;

  FakeDeployOs() {
    AddDirectory("C:\\WINDOWS\\system32");
    AddDirectory("C:\\WINDOWS\\system32\\drivers");
  }

  // The file that `path` names: relative to the current directory, with "."
  // and ".." taken away.
  std::string Key(const std::string& path) const {
    const bool relative = path.size() < 2 || (path[1] != ':' && path[0] != '\\');
    const std::string full =
        relative && !current_directory.empty() ? current_directory + "\\" + path : path;
    std::vector<std::string> parts;
    std::string part;
    const auto end_part = [&] {
      if (part == "..") {
        if (parts.size() > 1) parts.pop_back();
      } else if ((part != "." && !part.empty()) || parts.empty()) {
        parts.push_back(part);
      }
      part.clear();
    };
    for (const char c : full) {
      if (c == '\\') {
        end_part();
      } else {
        part.push_back(AsciiLower(c));
      }
    }
    end_part();
    std::string key;
    for (std::size_t i = 0; i < parts.size(); ++i) key += (i == 0 ? "" : "\\") + parts[i];
    return key;
  }

  void AddDirectory(const std::string& path) { directories.insert(Key(path)); }
  void AddFile(const std::string& path, std::string data,
               std::uint32_t attributes = kAttributeNormal, std::uint64_t created = 0) {
    files[Key(path)] = {std::move(data), attributes, created, true};
  }
  bool HasFile(const std::string& path) const { return files.count(Key(path)) != 0; }
  const FakeDeployFile& File(const std::string& path) const { return files.at(Key(path)); }
  std::size_t FileCount() const { return files.size(); }

  // As FindFirstFileA: a missing folder on the way is ERROR_PATH_NOT_FOUND;
  // a name that ends in "*" finds every name that begins with the rest.
  WinError FindPath(const std::string& path) override {
    if (Fails(faults, "FindPath", path)) return kErrorAccessDenied;
    const std::string key = Key(path);
    if (files.count(key) != 0 || directories.count(key) != 0) return kErrorSuccess;
    if (key.ends_with('*')) {
      const std::string prefix = key.substr(0, key.size() - 1);
      const auto next = files.lower_bound(prefix);
      if (next != files.end() && next->first.starts_with(prefix)) return kErrorSuccess;
    }
    return MissingError(key);
  }

  // Why the file `key` (a Key()) that is not there cannot be found.
  WinError MissingError(const std::string& key) const {
    return directories.count(Parent(key)) != 0 ? kErrorFileNotFound : kErrorPathNotFound;
  }

  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    if (Fails(faults, "SetAttributes", path)) return false;  // access denied
    const auto it = files.find(Key(path));
    if (it == files.end() || locked.count(Key(path)) != 0) return false;
    it->second.attributes = attributes;
    return true;
  }

  WinError CopyToNew(const std::string& source, const std::string& target) override {
    copies.push_back(source + ">" + target);
    const auto from = files.find(Key(source));
    if (from == files.end()) return kErrorFileNotFound;
    if (unreadable.count(Key(source)) != 0) return kErrorAccessDenied;
    if (files.count(Key(target)) != 0) return kErrorFileExists;
    if (locked.count(Key(target)) != 0) return kErrorSharingViolation;
    if (!Writable(target)) return kErrorAccessDenied;
    FakeDeployFile copy = from->second;  // contents and attributes
    copy.created = clock++;
    copy.flushed = false;
    // The disk fills up half way: a partial target is left.
    if (copy_breaks.count(Key(source)) != 0 || Fails(faults, "CopyToNew", target)) {
      copy.data.resize(copy.data.size() / 2);
      files[Key(target)] = copy;
      return kErrorDiskFull;
    }
    files[Key(target)] = copy;
    return kErrorSuccess;
  }

  WinError FlushFile(const std::string& path) override {
    if (flush_fails.count(Key(path)) != 0 || Fails(faults, "FlushFile", path)) {
      return kErrorDiskFull;
    }
    const auto it = files.find(Key(path));
    if (it == files.end()) return kErrorFileNotFound;
    it->second.flushed = true;
    return kErrorSuccess;
  }

  WinError MoveOver(const std::string& from, const std::string& to) override {
    if (Fails(faults, "MoveOver", to)) return kErrorSharingViolation;
    const auto it = files.find(Key(from));
    if (it == files.end()) return kErrorFileNotFound;
    if (const auto error = move_errors.find(Key(to)); error != move_errors.end()) {
      return error->second;
    }
    if (move_fails.count(Key(to)) != 0 || locked.count(Key(to)) != 0 ||
        locked.count(Key(from)) != 0) {
      return kErrorSharingViolation;
    }
    if (const auto hold = held.find(Key(to)); hold != held.end()) {
      if (hold->second != kHeldUntilRestart && --hold->second == 0) held.erase(hold);
      return kErrorAccessDenied;
    }
    // A running program's image can be renamed, not replaced.
    if (!Writable(to) || running_images.count(Key(to)) != 0) return kErrorAccessDenied;
    if (!it->second.flushed) ++unflushed_renames;
    FakeDeployFile moved = it->second;
    files.erase(it);
    files[Key(to)] = moved;
    if (running_images.erase(Key(from)) != 0) running_images.insert(Key(to));
    if (const auto hold = held.find(Key(from)); hold != held.end()) {
      held[Key(to)] = hold->second;
      held.erase(Key(from));
    }
    return kErrorSuccess;
  }

  void Wait(std::uint32_t milliseconds) override {
    if (Fails(faults, "Wait")) return;  // woken early
    waits.push_back(milliseconds);
  }

  ReplaceableTarget CheckReplaceable(const std::string& target) override {
    if (Fails(faults, "CheckReplaceable", target)) return {Replaceable::kNever, kErrorAccessDenied};
    const std::string key = Key(target);
    if (directories.count(key) != 0) return {Replaceable::kNever, kErrorAccessDenied};
    if (files.count(key) == 0) return {};
    // As an open that shares nothing finds them.
    if (locked.count(key) != 0 || running_images.count(key) != 0 || held.count(key) != 0) {
      return {Replaceable::kAtRestart, kErrorSharingViolation};
    }
    return {};
  }

  WinError ReplaceAtRestart(const std::string& from, const std::string& to) override {
    if (Fails(faults, "ReplaceAtRestart", to)) return kErrorAccessDenied;
    at_restart.emplace_back(Key(from), Key(to));
    return kErrorSuccess;
  }

  WinError DeleteAtRestart(const std::string& path) override {
    if (Fails(faults, "DeleteAtRestart", path)) return kErrorAccessDenied;
    at_restart.emplace_back(Key(path), std::string());
    return kErrorSuccess;
  }

  // Windows starts again: no program holds a file any more, and what was
  // left for the start is done; what fails of it is dropped.
  void Restart() {
    locked.clear();
    running_images.clear();
    held.clear();
    for (const auto& [from, to] : at_restart) {
      const auto it = files.find(from);
      if (it == files.end()) continue;
      if (!to.empty()) files[to] = it->second;
      files.erase(from);
    }
    at_restart.clear();
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    if (Fails(faults, "SameFile", a)) return false;
    return files.count(Key(a)) != 0 && Key(a) == Key(b);
  }

  bool RemoveFile(const std::string& path) override {
    if (Fails(faults, "RemoveFile", path)) return false;
    const auto it = files.find(Key(path));
    if (it == files.end() || locked.count(Key(path)) != 0 || running_images.count(Key(path)) != 0 ||
        (it->second.attributes & kAttributeReadOnly) != 0) {
      return false;
    }
    files.erase(it);
    return true;
  }

  bool MakeDirectory(const std::string& path) override {
    made_directories.push_back(path);
    if (Fails(faults, "MakeDirectory", path)) return false;
    const std::string key = Key(path);
    if (PathExists(path) || directories.count(Parent(key)) == 0) return false;
    directories.insert(key);
    return true;
  }

  std::vector<FoundFile> FilesStartingWith(const std::string& folder_and_prefix) override {
    if (Fails(faults, "FilesStartingWith", folder_and_prefix)) return {};
    const std::string key = Key(folder_and_prefix);
    const std::string folder = Parent(key);
    const std::string prefix = key.substr(folder.size() + 1);
    std::vector<FoundFile> found;
    for (const auto& [file, data] : files) {
      if (Parent(file) == folder && file.compare(folder.size() + 1, prefix.size(), prefix) == 0) {
        found.push_back({file.substr(folder.size() + 1), data.created});
      }
    }
    return found;
  }

  std::uint32_t ProcessId() override { return process_id; }
  ProcessStatus FindProcess(std::uint32_t id) override {
    if (Fails(faults, "FindProcess") || unknown_processes.count(id) != 0) {
      return {ProcessStatus::State::kUnknown};
    }
    if (id == process_id) return {ProcessStatus::State::kRunning, 0};
    const auto it = running.find(id);
    if (it == running.end()) return {ProcessStatus::State::kNone};
    return {ProcessStatus::State::kRunning, it->second};
  }

  using DeployOs::OpenForReading;
  ReadableFilePtr OpenForReading(const std::string& path, WinError* error) override {
    opened.push_back(path);
    const auto it = files.find(Key(path));
    if (it == files.end() || unreadable.count(Key(path)) != 0 ||
        Fails(faults, "OpenForReading", path)) {
      if (error != nullptr) {
        *error = it == files.end() ? MissingError(Key(path)) : kErrorAccessDenied;
      }
      return nullptr;
    }
    return std::make_unique<Reader>(*this, it->second.data);
  }

 private:
  class Reader : public ReadableFile {
   public:
    Reader(FakeDeployOs& os, std::string data) : os_(os), data_(std::move(data)) {
      ++os_.open_files;
    }
    ~Reader() override { --os_.open_files; }
    std::optional<std::uint64_t> Size() override {
      if (Fails(os_.faults, "Size")) return std::nullopt;
      return data_.size();
    }
    std::size_t Read(char* buffer, std::size_t capacity) override {
      ++os_.reads;
      if (Fails(os_.faults, "Read")) return 0;
      os_.largest_read = std::max(os_.largest_read, capacity);
      const std::size_t n = std::min(capacity, data_.size() - pos_);
      std::memcpy(buffer, data_.data() + pos_, n);
      pos_ += n;
      return n;
    }

   private:
    FakeDeployOs& os_;
    std::string data_;
    std::size_t pos_ = 0;
  };

  static std::string Parent(const std::string& key) {
    const auto slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
  }

  // As the system refuses: a missing folder, a file in use, a read-only,
  // hidden or system file.
  bool Writable(const std::string& path) const {
    const std::string key = Key(path);
    if (directories.count(Parent(key)) == 0 || locked.count(key) != 0) return false;
    if (directories.count(key) != 0) return false;
    const auto it = files.find(key);
    return it == files.end() || (it->second.attributes &
                                 (kAttributeReadOnly | kAttributeHidden | kAttributeSystem)) == 0;
  }
};

}  // namespace qsetup::testing
