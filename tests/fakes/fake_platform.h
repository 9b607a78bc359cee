// Fakes of the catalog's and the driver's own services.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog_os.h"
#include "driver/driver_os.h"
#include "driver/event_log_os.h"
#include "fakes/fake_files.h"
#include "rules/source_directory.h"

namespace qsetup::testing {

class FakeCatalogOs : public CatalogOs {
 public:
  std::uint16_t lang_id = 0x0409;
  FakeFileTable files;

  std::uint16_t SystemDefaultLangId() override { return lang_id; }
  using CatalogOs::OpenForReading;
  ReadableFilePtr OpenForReading(const std::string& path, WinError* error) override {
    return files.Open(path, error);
  }
};

// The services of the source directory's rule, which SETUP.EXE and the
// status report share.
class FakeSourceDirectoryOs : public SourceDirectoryOs {
 public:
  // The program's own path: one that the ANSI code page holds, which leaves
  // the command path to name the source directory.
  ModulePath module = {u"C:\\Pkg\\SETUP.EXE", true, "C:\\Pkg\\SETUP.EXE", kErrorSuccess,
                       "C:\\Pkg\\SETUP.EXE"};
  std::string current_dir = "C:\\Users\\admin";
  // Whether the command path names the program's own file; a launcher that
  // named the program apart from its command line may give any.
  bool command_names_program = true;
  unsigned char lead_low = 0, lead_high = 0;  // lead-byte range; none when both 0
  FaultPlan* faults = nullptr;

  // As GetModuleFileNameW fails.
  ModulePath ReadModulePath() override {
    if (Fails(faults, "ReadModulePath")) return {{}, false, {}, kErrorAccessDenied};
    return module;
  }

  std::string ReadCurrentDirectory() override {
    if (Fails(faults, "ReadCurrentDirectory")) return {};
    return current_dir;
  }
  bool NamesThisProgram(const char*) override {
    if (Fails(faults, "NamesThisProgram")) return false;
    return command_names_program;
  }
  bool IsDbcsLeadByte(unsigned char byte) override {
    return lead_high != 0 && byte >= lead_low && byte <= lead_high;
  }
};

class FakeDriverOs : public DriverOs {
 public:
  // The run lock: none to be had (no lock, or an object of its name that an
  // ordinary user made), or held by another run for `other_run_ms` more
  // milliseconds (kNeverLetsGo: for good).
  static constexpr std::uint32_t kNeverLetsGo = UINT32_MAX;
  static constexpr std::uint32_t kWaitFails = UINT32_MAX - 1;  // the wait itself fails
  bool lock_available = true;
  std::uint32_t other_run_ms = 0;
  std::vector<std::uint32_t> lock_waits;  // the time given to each wait

  FaultPlan* faults = nullptr;
  int locks_held = 0;
  UtcTime now = {2026, 12, 8, 10, 24, 29};

  UtcTime Now() override { return now; }

  // An object of the lock's name that an ordinary user made: the lock is the
  // file in the staging folder then, which waits and holds as the mutex does.
  bool name_taken = false;
  std::string lock_folder;  // the staging folder that the run named

  std::unique_ptr<RunLock> OpenRunLock(const std::string& staging_folder, bool& taken) override {
    lock_folder = staging_folder;
    if (Fails(faults, "OpenRunLock") || !lock_available) return nullptr;
    taken = name_taken;
    return std::make_unique<Lock>(*this);
  }

 private:
  class Lock final : public RunLock {
   public:
    explicit Lock(FakeDriverOs& os) : os_(os) {}
    ~Lock() override {
      if (!held_) return;
      --os_.locks_held;
      if (os_.faults != nullptr) os_.faults->Note("ReleaseRunLock");
    }

    LockWait Hold(std::uint32_t milliseconds) override {
      os_.lock_waits.push_back(milliseconds);
      if (Fails(os_.faults, "HoldRunLock") || os_.other_run_ms == kWaitFails) {
        return LockWait::kFailed;
      }
      if (os_.other_run_ms > milliseconds) {
        if (os_.other_run_ms != kNeverLetsGo) os_.other_run_ms -= milliseconds;
        return LockWait::kTimedOut;
      }
      os_.other_run_ms = 0;
      held_ = true;
      ++os_.locks_held;
      return LockWait::kHeld;
    }

   private:
    FakeDriverOs& os_;
    bool held_ = false;
  };
};

// The Application log: the events written, in order.
struct LoggedEvent {
  EventType type;
  std::uint32_t id;
  std::vector<std::string> strings;

  friend bool operator==(const LoggedEvent&, const LoggedEvent&) = default;
};

// UTF-16 `text` in UTF-8, for comparisons with literals.
inline std::string Utf8(std::u16string_view text) {
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | c >> 12);
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | c >> 18);
      utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

// The Application log: the events written, in order, their UTF-16 strings in
// UTF-8; and the system's texts of a few Windows errors.
class FakeEventLog : public EventLogOs {
 public:
  std::vector<LoggedEvent> events;
  std::map<WinError, std::u16string> error_texts = {
      {kErrorFileNotFound, u"The system cannot find the file specified."},
      {kErrorAccessDenied, u"Access is denied."},
      {kErrorSharingViolation,
       u"The process cannot access the file because it is being used by another process."},
      {kErrorFilenameExcedRange, u"The filename or extension is too long."},
      {kErrorNoUnicodeTranslation,
       u"No mapping for the Unicode character exists in the target multi-byte code page."},
  };
  FaultPlan* faults = nullptr;

  // A failure (the service stopped, the log full) loses the event.
  void Report(EventType type, std::uint32_t id, std::span<const EventString> strings) override {
    if (Fails(faults, "ReportEvent")) return;
    LoggedEvent event{type, id, {}};
    for (const EventString& string : strings) {
      const auto* utf16 = std::get_if<std::u16string_view>(&string);
      event.strings.push_back(utf16 != nullptr ? Utf8(*utf16)
                                               : std::string(std::get<std::string_view>(string)));
    }
    events.push_back(std::move(event));
  }

  std::u16string ErrorText(WinError error) override {
    if (Fails(faults, "ErrorText")) return {};
    const auto text = error_texts.find(error);
    return text != error_texts.end() ? text->second : std::u16string();
  }
};

}  // namespace qsetup::testing
