// An in-memory file system of readable files that can fail on demand.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/readable_file.h"
#include "fakes/fault_plan.h"

namespace qsetup::testing {

struct FakeFile {
  std::string data;
  std::optional<std::uint64_t> reported_size;  // overrides data.size() when set
  bool size_fails = false;
};

class FakeReadableFile : public ReadableFile {
 public:
  FakeReadableFile(const FakeFile& file, FaultPlan* faults, int& open_files)
      : file_(file), faults_(faults), open_files_(open_files) {
    ++open_files_;
  }
  ~FakeReadableFile() override { --open_files_; }
  std::optional<std::uint64_t> Size() override {
    if (file_.size_fails || Fails(faults_, "Size")) return std::nullopt;
    return file_.reported_size.value_or(file_.data.size());
  }
  std::size_t Read(char* buffer, std::size_t capacity) override {
    if (Fails(faults_, "Read")) return 0;
    const std::size_t n = std::min(capacity, file_.data.size() - pos_);
    std::memcpy(buffer, file_.data.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  FakeFile file_;
  FaultPlan* faults_;
  int& open_files_;
  std::size_t pos_ = 0;
};

class FakeFileTable {
 public:
  std::map<std::string, FakeFile> files;
  std::vector<std::string> opened;
  FaultPlan* faults = nullptr;
  int open_files = 0;

  // As ReadableFileOs::OpenForReading.
  ReadableFilePtr Open(const std::string& path, WinError* error) {
    opened.push_back(path);
    const auto it = files.find(path);
    const bool refused = Fails(faults, "OpenForReading", path);
    if (refused || it == files.end()) {
      if (error != nullptr) *error = refused ? kErrorAccessDenied : kErrorFileNotFound;
      return nullptr;
    }
    return std::make_unique<FakeReadableFile>(it->second, faults, open_files);
  }
};

}  // namespace qsetup::testing
