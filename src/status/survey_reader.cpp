#include "status/survey_reader.h"

#include <optional>
#include <utility>

#include "base/ascii.h"
#include "deploy/stamp_text.h"

namespace qsetup {
namespace {

// The stamp that every file of `files` carries; null when one has none or
// they differ.
const std::string* SharedVersion(const std::vector<StampedFile>& files) {
  const std::string* shared = nullptr;
  for (const StampedFile& file : files) {
    if (file.state != StampedFile::State::kStamped) return nullptr;
    if (shared != nullptr && *shared != file.version) return nullptr;
    shared = &file.version;
  }
  return shared;
}

}  // namespace

void SurveyReader::Fault(const char* operation, std::string_view subject, WinError error) {
  StatusFault& fault = report_.faults.emplace_back();
  fault.operation = operation;
  fault.subject = subject;
  if (error != kNoWindowsError) fault.error = error;
}

void SurveyReader::FaultOn(const char* operation, const std::string& ansi, WinError error) {
  Fault(operation, Utf8(ansi), error);
}

std::string SurveyReader::Utf8(const std::string& ansi) {
  if (std::optional<std::string> converted = p_.os.AnsiToUtf8(ansi)) return std::move(*converted);
  std::string ascii = ansi;
  for (char& c : ascii) {
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  }
  Fault("convert to UTF-8", ascii);
  return ascii;
}

void SurveyReader::ReadStamp(StampedFile& file, const std::string& path) {
  if (!block_) return FaultOn("allocate memory to read", path, kErrorNotEnoughMemory);
  WinError error = kErrorSuccess;
  ReadableFilePtr opened = p_.os.OpenForReading(path, &error);
  if (!opened) {
    if (error != kErrorFileNotFound && error != kErrorPathNotFound) {
      return FaultOn("open", path, error);
    }
    file.state = StampedFile::State::kAbsent;
    return;
  }
  const std::optional<std::uint64_t> size = opened->Size();
  std::size_t length = 0;
  std::optional<std::string> stamp = ReadStampText(std::move(opened), block_.get(), &length);
  if (stamp) {
    file.state = StampedFile::State::kStamped;
    file.version = std::move(*stamp);
  } else if (length == 0 && size != std::optional<std::uint64_t>(0)) {
    // Nothing came of a file that is not known to be empty.
    FaultOn("read", path);
  } else {
    file.state = StampedFile::State::kNoStamp;
  }
}

void SurveyReader::ReadStamps(FileSet& set, const std::string& folder,
                              std::span<const char* const> names) {
  for (const char* name : names) {
    StampedFile& file = set.files.emplace_back();
    file.name = name;
    file.state = StampedFile::State::kUnreadable;
    if (!folder.empty()) ReadStamp(file, folder + name);
  }
  const std::string* shared = SharedVersion(set.files);
  set.version = shared != nullptr ? std::optional<std::string>(*shared) : std::nullopt;
}

const StampedFile* FindFile(const FileSet& set, std::string_view name) {
  for (const StampedFile& file : set.files) {
    if (EqualsIgnoringAsciiCase(file.name, name)) return &file;
  }
  return nullptr;
}

bool StartsProgram(std::string_view command, const std::string& tool) {
  if (command.starts_with('"')) {
    command.remove_prefix(1);
    const std::size_t end = command.find('"');
    return end != std::string_view::npos && EqualsIgnoringAsciiCase(command.substr(0, end), tool);
  }
  return EqualsIgnoringAsciiCase(command, tool) ||
         (StartsWithIgnoringAsciiCase(command, tool) && command[tool.size()] == ' ');
}

std::unique_ptr<HidInterfaceSet> WatchedDetectOs::OpenHidInterfaces() {
  std::unique_ptr<HidInterfaceSet> set = os_.OpenHidInterfaces();
  if (!set) hid_refused = true;
  return set;
}

std::unique_ptr<HidDevice> WatchedDetectOs::OpenDevice(const std::string& path,
                                                       DeviceAccess access) {
  // A device that cannot be opened is not the adapter to SETUP.EXE either.
  return os_.OpenDevice(path, access);
}

std::unique_ptr<DeviceSet> WatchedDetectOs::OpenPresentDevices() {
  std::unique_ptr<DeviceSet> set = os_.OpenPresentDevices();
  if (!set) devices_refused = true;
  return set;
}

std::unique_ptr<MemoryBlock> WatchedDetectOs::AllocateZeroed(std::uint32_t size) {
  std::unique_ptr<MemoryBlock> block = os_.AllocateZeroed(size);
  if (!block) memory_refused = true;
  return block;
}

}  // namespace qsetup
