// Fakes of the catalog's and the driver's own services.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog_os.h"
#include "driver/driver_os.h"
#include "driver/event_log_os.h"
#include "fakes/fake_files.h"

namespace qsetup::testing {

class FakeCatalogOs : public CatalogOs {
 public:
  std::uint16_t lang_id = 0x0409;
  FakeFileTable files;

  std::uint16_t SystemDefaultLangId() override { return lang_id; }
  ReadableFilePtr OpenForReading(const std::string& path) override { return files.Open(path); }
};

class FakeDriverOs : public DriverOs {
 public:
  std::string current_dir = "C:\\Users\\admin";
  unsigned char lead_low = 0, lead_high = 0;  // lead-byte range; none when both 0

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

  std::unique_ptr<RunLock> OpenRunLock() override {
    if (Fails(faults, "OpenRunLock") || !lock_available) return nullptr;
    return std::make_unique<Lock>(*this);
  }

  std::string ReadCurrentDirectory() override {
    if (Fails(faults, "ReadCurrentDirectory")) return {};
    return current_dir;
  }
  bool IsDbcsLeadByte(unsigned char byte) override {
    return lead_high != 0 && byte >= lead_low && byte <= lead_high;
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

class FakeEventLog : public EventLogOs {
 public:
  std::vector<LoggedEvent> events;
  FaultPlan* faults = nullptr;

  // A failure (the service stopped, the log full) loses the event.
  void Report(EventType type, std::uint32_t id, std::span<const char* const> strings) override {
    if (Fails(faults, "ReportEvent")) return;
    events.push_back({type, id, {strings.begin(), strings.end()}});
  }
};

}  // namespace qsetup::testing
