// Fakes of the replacement's services: a registry tree whose keys can refuse
// to open, to be deleted or to have their DACL read or written; a table of
// tools that run for a given number of polls; and the deployment steps.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "fakes/fault_plan.h"
#include "replace/replace.h"
#include "replace/replace_os.h"

namespace qsetup::testing {

struct FakeKey {
  std::string name;
  std::vector<std::shared_ptr<FakeKey>> subkeys;  // in enumeration order
  bool deleted = false;
  bool openable = true;
  bool deletable = true;  // apart from having subkeys
  bool dacl_readable = true;
  bool dacl_writable = true;
  bool administrators_only = false;             // the reset DACL has been written
  bool volatile_key = false;                    // made volatile: gone at the next start
  std::map<std::string, RegistryValue> values;  // by name in lower case
  // A symbolic link: the path below HKEY_LOCAL_MACHINE of its target. Paths
  // below HKEY_LOCAL_MACHINE and the keys that CreateSubkey makes follow it,
  // as Windows does; a key's OpenSubkey and DeleteSubkey never do.
  std::string link;

  // The subkey `name`, compared as the registry does, without regard to case.
  std::shared_ptr<FakeKey> Find(const std::string& sub) const {
    for (const auto& key : subkeys) {
      if (EqualsIgnoringAsciiCase(key->name, sub)) return key;
    }
    return nullptr;
  }
};

class FakeReplaceOs;

class FakeRegistryKey final : public RegistryKey {
 public:
  FakeRegistryKey(FakeReplaceOs& os, std::shared_ptr<FakeKey> key, std::uint32_t access);
  ~FakeRegistryKey() override;

  using RegistryKey::OpenSubkey;
  WinError OpenSubkey(const std::string& name, std::uint32_t access,
                      RegistryKeyReaderPtr& key) override;
  WinError CreateSubkey(const std::string& name, std::uint32_t access, KeyLifetime lifetime,
                        RegistryKeyPtr& key, bool& created) override;
  WinError SetValue(const std::string& name, const RegistryValue& value) override;
  WinError QueryValue(const std::string& name, RegistryValue& value) override;
  WinError EnumSubkey(std::uint32_t index, std::string& name) override;
  WinError DeleteSubkey(const std::string& name) override;
  WinError QueryDaclSize(std::uint32_t& size) override;
  WinError ReadDacl(std::uint32_t size) override;
  WinError WriteAdministratorsOnlyDacl() override;
  WinError CheckAccess(std::uint32_t access, bool& granted) override;

 private:
  static constexpr std::uint32_t kEnumerateSubKeys = 0x0008;

  FakeReplaceOs& os_;
  std::shared_ptr<FakeKey> key_;
  std::uint32_t access_;
};

// A tool in the system directory.
struct FakeTool {
  int running_polls = 0;        // exit-code reads that find it running; -1: never ends
  std::uint32_t exit_code = 0;  // once it has ended
  bool exit_code_readable = true;
  int exit_code_reads = 0;
  // What the tool does to the machine when it is started, given its command
  // line (the service tool's installation registers the service).
  std::function<void(const std::string& command_line)> effect = nullptr;

  bool Running() const { return running_polls < 0 || exit_code_reads < running_polls; }
};

// The registry and the tools: the replacement's services. The registry is
// the one fake of both the reader and the writer.
class FakeReplaceOs : public ReplaceOs, public RegistryOs {
 public:
  static constexpr std::uint32_t kDaclSize = 28;  // an Administrators-only DACL

  FakeKey local_machine;
  int local_machine_open_failures = 0;        // the next opens below HKLM that fail
  bool heap_exhausted = false;                // DACL buffers cannot be allocated
  std::map<std::string, FakeTool> tools;      // by program path, as started
  std::vector<std::uint32_t> waits;           // the time given to each wait
  std::vector<std::string> events;            // tool starts and Services opens, in order
  std::vector<std::string> writes;            // every change asked of the registry, made or not
  std::vector<std::string> tool_directories;  // the current directory of each tool started
  int open_keys = 0;
  int open_tools = 0;
  int empty_name_uses = 0;  // opens and deletions through "", which name the key itself
  // The process's token as user account control filters it: Administrators
  // for denial only, so a key gives it what it gives Users, reading.
  bool filtered_token = false;
  FaultPlan* faults = nullptr;

  // Creates `path` (separated by backslashes) below HKEY_LOCAL_MACHINE, and
  // its missing parents, and returns it.
  FakeKey& AddKey(const std::string& path) {
    FakeKey* key = &local_machine;
    for (const std::string& part : Split(path)) {
      std::shared_ptr<FakeKey> sub = key->Find(part);
      if (!sub) {
        sub = std::make_shared<FakeKey>();
        sub->name = part;
        key->subkeys.push_back(sub);
      }
      key = sub.get();
    }
    return *key;
  }

  // The key at `path` below HKEY_LOCAL_MACHINE; null when there is none.
  FakeKey* FindKey(const std::string& path) {
    FakeKey* key = &local_machine;
    for (const std::string& part : Split(path)) {
      std::shared_ptr<FakeKey> sub = key->Find(part);
      if (!sub) return nullptr;
      key = sub.get();
    }
    return key;
  }

  using RegistryOs::OpenLocalMachineKey;
  WinError OpenLocalMachineKey(const std::string& path, std::uint32_t access,
                               RegistryKeyReaderPtr& key) override {
    events.push_back("open HKLM\\" + path);
    if (Fails(faults, "OpenLocalMachineKey", path)) return kErrorAccessDenied;
    if (local_machine_open_failures > 0) {
      --local_machine_open_failures;
      return kErrorAccessDenied;
    }
    std::shared_ptr<FakeKey> found;
    FakeKey* parent = &local_machine;
    for (const std::string& part : Split(path)) {
      found = Follow(parent->Find(part));
      if (!found) return kErrorFileNotFound;
      parent = found.get();
    }
    if (!found) return kErrorFileNotFound;
    if (!Grants(access)) return kErrorAccessDenied;
    key = std::make_unique<FakeRegistryKey>(*this, found, access);
    return kErrorSuccess;
  }

  ToolProcessPtr StartTool(const std::string& application, const std::string& command_line,
                           const std::string& directory) override;

  // The system starts again: volatile keys are gone.
  void Restart() { DropVolatile(local_machine); }

  // What the token may open: a filtered one no more than reading.
  bool Grants(std::uint32_t access) const {
    return !filtered_token || (access & ~(kKeyRead | kKey64BitView)) == 0;
  }

  // The target of `key` where it is a link (a link to a link is followed
  // on), else `key`; null where the target is missing.
  std::shared_ptr<FakeKey> Follow(std::shared_ptr<FakeKey> key) {
    for (int hops = 0; key && !key->link.empty() && hops < 16; ++hops) {
      std::shared_ptr<FakeKey> target;
      FakeKey* parent = &local_machine;
      for (const std::string& part : Split(key->link)) {
        target = parent->Find(part);
        if (!target) return nullptr;
        parent = target.get();
      }
      key = target;
    }
    return key;
  }

  static std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + "\\") {
      if (c != '\\') {
        part += c;
      } else if (!part.empty()) {
        parts.push_back(part);
        part.clear();
      }
    }
    return parts;
  }

 private:
  static void DropVolatile(FakeKey& key) {
    std::erase_if(key.subkeys, [](const auto& sub) { return sub->volatile_key; });
    for (const auto& sub : key.subkeys) DropVolatile(*sub);
  }
};

class FakeToolProcess final : public ToolProcess {
 public:
  FakeToolProcess(FakeReplaceOs& os, FakeTool& tool) : os_(os), tool_(tool) { ++os_.open_tools; }
  ~FakeToolProcess() override { --os_.open_tools; }

  std::optional<std::uint32_t> ExitCode() override {
    if (!tool_.exit_code_readable || Fails(os_.faults, "ExitCode")) return std::nullopt;
    const bool running = tool_.Running();
    ++tool_.exit_code_reads;
    return running ? kStillActive : tool_.exit_code;
  }

  ToolWait Wait(std::uint32_t milliseconds) override {
    os_.waits.push_back(milliseconds);
    if (Fails(os_.faults, "Wait")) return ToolWait::kTimedOut;
    return tool_.Running() ? ToolWait::kTimedOut : ToolWait::kEnded;
  }

 private:
  FakeReplaceOs& os_;
  FakeTool& tool_;
};

inline ToolProcessPtr FakeReplaceOs::StartTool(const std::string& application,
                                               const std::string& command_line,
                                               const std::string& directory) {
  events.push_back("start " + application + " | " + command_line);
  tool_directories.push_back(directory);
  const auto tool = tools.find(application);
  if (tool == tools.end() || Fails(faults, "StartTool", application)) return nullptr;
  if (tool->second.effect) tool->second.effect(command_line);
  return std::make_unique<FakeToolProcess>(*this, tool->second);
}

inline FakeRegistryKey::FakeRegistryKey(FakeReplaceOs& os, std::shared_ptr<FakeKey> key,
                                        std::uint32_t access)
    : os_(os), key_(std::move(key)), access_(access) {
  ++os_.open_keys;
}

inline FakeRegistryKey::~FakeRegistryKey() {
  --os_.open_keys;
}

inline WinError FakeRegistryKey::OpenSubkey(const std::string& name, std::uint32_t access,
                                            RegistryKeyReaderPtr& key) {
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "OpenSubkey", name)) return kErrorAccessDenied;
  if (name.empty()) {
    ++os_.empty_name_uses;
    key = std::make_unique<FakeRegistryKey>(os_, key_, access);
    return kErrorSuccess;
  }
  const std::shared_ptr<FakeKey> sub = key_->Find(name);
  if (!sub) return kErrorFileNotFound;
  if (!sub->openable || !os_.Grants(access)) return kErrorAccessDenied;
  key = std::make_unique<FakeRegistryKey>(os_, sub, access);
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::CreateSubkey(const std::string& name, std::uint32_t access,
                                              KeyLifetime lifetime, RegistryKeyPtr& key,
                                              bool& created) {
  os_.writes.push_back("create " + key_->name + "\\" + name);
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "CreateSubkey", name)) return kErrorAccessDenied;
  std::shared_ptr<FakeKey> at = key_;
  created = false;
  for (const std::string& part : FakeReplaceOs::Split(name)) {
    std::shared_ptr<FakeKey> sub = os_.Follow(at->Find(part));
    if (!sub) {
      // The registry keeps no stored key below a volatile one.
      if (at->volatile_key && lifetime != KeyLifetime::kVolatile) return 1117;
      sub = std::make_shared<FakeKey>();
      sub->name = part;
      sub->volatile_key = lifetime == KeyLifetime::kVolatile;
      at->subkeys.push_back(sub);
      created = true;
    } else {
      created = false;
    }
    at = sub;
  }
  key = std::make_unique<FakeRegistryKey>(os_, at, access);
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::SetValue(const std::string& name, const RegistryValue& value) {
  os_.writes.push_back("set " + key_->name + "\\" + name);
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "SetValue", name)) return kErrorAccessDenied;
  if ((access_ & kKeySetValue) == 0) return kErrorAccessDenied;
  std::string lower;
  for (const char c : name) lower += AsciiLower(c);
  key_->values[lower] = value;
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::QueryValue(const std::string& name, RegistryValue& value) {
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "QueryValue", name)) return kErrorAccessDenied;
  if ((access_ & kKeyQueryValue) == 0) return kErrorAccessDenied;
  std::string lower;
  for (const char c : name) lower += AsciiLower(c);
  const auto it = key_->values.find(lower);
  if (it == key_->values.end()) return kErrorFileNotFound;
  value = it->second;
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::EnumSubkey(std::uint32_t index, std::string& name) {
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "EnumSubkey")) return kErrorAccessDenied;
  if ((access_ & kEnumerateSubKeys) == 0) return kErrorAccessDenied;
  if (index >= key_->subkeys.size()) return kErrorNoMoreItems;
  name = key_->subkeys[index]->name;
  // The name buffer holds 512 bytes; in a multi-byte code page a name of 255
  // characters can need more.
  if (name.size() >= 512) {
    name.clear();
    return kErrorMoreData;
  }
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::DeleteSubkey(const std::string& name) {
  os_.writes.push_back("delete " + key_->name + "\\" + name);
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "DeleteSubkey", name)) return kErrorAccessDenied;
  if (name.empty()) ++os_.empty_name_uses;
  const std::shared_ptr<FakeKey> sub = key_->Find(name);
  if (!sub) return kErrorFileNotFound;
  if (!sub->deletable || !sub->subkeys.empty()) return kErrorAccessDenied;
  sub->deleted = true;
  std::erase(key_->subkeys, sub);
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::QueryDaclSize(std::uint32_t& size) {
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "QueryDaclSize")) return kErrorAccessDenied;
  if ((access_ & kReadControl) != kReadControl || !key_->dacl_readable) return kErrorAccessDenied;
  size = FakeReplaceOs::kDaclSize;
  return kErrorInsufficientBuffer;
}

inline WinError FakeRegistryKey::ReadDacl(std::uint32_t size) {
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "ReadDacl")) return kErrorNotEnoughMemory;
  if (os_.heap_exhausted) return kErrorNotEnoughMemory;
  if ((access_ & kReadControl) != kReadControl || !key_->dacl_readable) return kErrorAccessDenied;
  if (size < FakeReplaceOs::kDaclSize) return kErrorInsufficientBuffer;
  return kErrorSuccess;
}

inline WinError FakeRegistryKey::WriteAdministratorsOnlyDacl() {
  os_.writes.push_back("DACL " + key_->name);
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "WriteAdministratorsOnlyDacl")) return kErrorAccessDenied;
  if ((access_ & kWriteDac) != kWriteDac || !key_->dacl_writable) return kErrorAccessDenied;
  key_->administrators_only = true;
  return kErrorSuccess;
}

// The rights that the key's flags leave this process, beside those that
// every key gives.
inline WinError FakeRegistryKey::CheckAccess(std::uint32_t access, bool& granted) {
  if (key_->deleted) return kErrorKeyDeleted;
  if (Fails(os_.faults, "CheckAccess")) return kErrorAccessDenied;
  if ((access_ & kReadControl) != kReadControl) return kErrorAccessDenied;
  std::uint32_t rights = key_->openable ? (os_.filtered_token ? kKeyRead : 0xFFFFFFFFu) : 0;
  if (!key_->deletable) rights &= ~kDelete;
  if (!key_->dacl_readable) rights &= ~kReadControl;
  if (!key_->dacl_writable) rights &= ~kWriteDac;
  granted = (access & rights) == access;
  return kErrorSuccess;
}

// The deployment steps, recording their calls in the fake OS's event list.
class FakeReplaceDeployment final : public ReplaceDeployment {
 public:
  explicit FakeReplaceDeployment(std::vector<std::string>& events) : events_(events) {}

  std::vector<std::string> failing_copies;  // file names whose copy fails
  std::vector<std::string> in_use;          // file names whose copy waits for the restart
  bool unpreparable = false;                // a target cannot take its file
  const std::string* output = nullptr;      // the console's output, if watched
  std::string output_at_first_copy;

  bool PrepareServiceFiles(const std::string& source_folder,
                           const std::string& target_folder) override {
    events_.push_back("prepare " + source_folder + " -> " + target_folder);
    return !unpreparable;
  }

  void RefreshSystemTools() override { events_.push_back("refresh"); }

  InstallOutcome InstallFile(const std::string& source_folder, const std::string& target_folder,
                             const std::string& file_name, RestartRecord& restart) override {
    if (output != nullptr && !copied_) output_at_first_copy = *output;
    copied_ = true;
    events_.push_back("copy " + source_folder + " -> " + target_folder + " " + file_name);
    if (std::find(failing_copies.begin(), failing_copies.end(), file_name) !=
        failing_copies.end()) {
      return InstallOutcome::kFailed;
    }
    if (std::find(in_use.begin(), in_use.end(), file_name) != in_use.end()) {
      return restart.Require() ? InstallOutcome::kAtRestart : InstallOutcome::kFailed;
    }
    return InstallOutcome::kDone;
  }

  void DiscardPreparedCopies() override { events_.push_back("discard"); }

 private:
  std::vector<std::string>& events_;
  bool copied_ = false;
};

}  // namespace qsetup::testing
