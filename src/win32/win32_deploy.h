// Deploy services on the Windows API.
#pragma once

#include "deploy/deploy_os.h"

namespace qsetup::win32 {

class Win32DeployOs final : public DeployOs {
 public:
  bool PathExists(const std::string& path) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool CopyToNew(const std::string& source, const std::string& target) override;
  bool MoveOver(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  ReadableFilePtr OpenForReading(const std::string& path) override;
  std::vector<std::string> FilesStartingWith(const std::string& folder_and_prefix) override;
  std::uint32_t ProcessId() override;
  bool ProcessMayBeRunning(std::uint32_t process_id) override;
};

}  // namespace qsetup::win32
