// What every part of a machine's survey (SurveyMachine) reads with: the
// report that it fills and the faults on the way, text in UTF-8, the
// version stamps of files, the service's command line, and detection
// watched for its refusals.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "detect/detect_os.h"
#include "status/status.h"

namespace qsetup {

// Windows errors are never this value: a fault without one.
inline constexpr WinError kNoWindowsError = 0xFFFFFFFF;

class SurveyReader {
 public:
  SurveyReader(StatusPlatform& platform, StatusReport& report) : p_(platform), report_(report) {}

  // A fault of `operation` on `subject` (UTF-8), with its Windows error.
  void Fault(const char* operation, std::string_view subject, WinError error = kNoWindowsError);
  // The same on `ansi`, a path or key in the ANSI code page.
  void FaultOn(const char* operation, const std::string& ansi, WinError error = kNoWindowsError);

  // `ansi` in UTF-8 for the report; where it cannot be converted, its ASCII
  // with '?' for every other byte.
  std::string Utf8(const std::string& ansi);

  // The stamps of `names` in the folder `folder` (ANSI, with its closing
  // separator); with an empty folder, files that cannot be read.
  void ReadStamps(FileSet& set, const std::string& folder, std::span<const char* const> names);
  void ReadStamp(StampedFile& file, const std::string& path);

 protected:
  StatusPlatform& p_;
  StatusReport& report_;
  std::unique_ptr<char[]> block_;  // the stamp reader's, for every file
};

// True when the service's command line `command` starts the program `tool`:
// in quotes, or bare and followed by its arguments. ASCII letters are
// compared without regard to case, as Windows names files.
bool StartsProgram(std::string_view command, const std::string& tool);

// Detection's operating system, watched for the refusals after which
// detection finds nothing, so that the report can tell them from an adapter
// that is not there. Everything else passes unchanged.
class WatchedDetectOs final : public DetectOs {
 public:
  explicit WatchedDetectOs(DetectOs& os) : os_(os) {}

  bool hid_refused = false;
  bool devices_refused = false;
  bool memory_refused = false;

  std::unique_ptr<HidInterfaceSet> OpenHidInterfaces() override;
  std::unique_ptr<HidDevice> OpenDevice(const std::string& path, DeviceAccess access) override;
  std::unique_ptr<DeviceSet> OpenPresentDevices() override;
  std::unique_ptr<MemoryBlock> AllocateZeroed(std::uint32_t size) override;

 private:
  DetectOs& os_;
};

}  // namespace qsetup
