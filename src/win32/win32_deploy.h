// Deploy services on the Windows API.
#pragma once

#include "deploy/deploy_os.h"
#include "win32/win32_files.h"

namespace qsetup::win32 {

class Win32DeployOs final : public Win32PathLookup<DeployOs> {
 public:
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  WinError CopyToNew(const std::string& source, const std::string& target) override;
  WinError FlushFile(const std::string& path) override;
  WinError MoveOver(const std::string& from, const std::string& to) override;
  void Wait(std::uint32_t milliseconds) override;
  bool SameFile(const std::string& a, const std::string& b) override;
  ReplaceableTarget CheckReplaceable(const std::string& target) override;
  WinError ReplaceAtRestart(const std::string& from, const std::string& to) override;
  WinError DeleteAtRestart(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  std::vector<FoundFile> FilesStartingWith(const std::string& folder_and_prefix) override;
  std::uint32_t ProcessId() override;
  ProcessStatus FindProcess(std::uint32_t process_id) override;
};

}  // namespace qsetup::win32
