// Fakes of the catalog's and the driver's own services.
#pragma once

#include <string>

#include "catalog/catalog_os.h"
#include "driver/driver_os.h"
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

  FaultPlan* faults = nullptr;
  int locks_held = 0;
  int locks_taken = 0;

  std::unique_ptr<RunLock> LockOutOtherRuns() override {
    if (Fails(faults, "LockOutOtherRuns")) return nullptr;
    ++locks_taken;
    return std::make_unique<Lock>(locks_held);
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
    explicit Lock(int& held) : held_(held) { ++held_; }
    ~Lock() override { --held_; }

   private:
    int& held_;
  };
};

}  // namespace qsetup::testing
