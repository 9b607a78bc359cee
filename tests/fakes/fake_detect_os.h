// A machine's devices, as SetupAPI and the HID class driver show them, that
// can fail on demand.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "detect/detect_os.h"
#include "fakes/fault_plan.h"

namespace qsetup::testing {

// A present device interface of the HID class.
struct FakeHidInterface {
  std::string path;
  HidAttributes attributes;
  bool detail_fails = false;     // the detail record cannot be fetched
  bool open_fails = false;       // held exclusively by another program, say
  bool attributes_fail = false;  // HidD_GetAttributes fails
  // A keyboard or mouse collection, which Windows holds for itself alone: an
  // open for reading and writing is refused, one for no access is not.
  bool exclusive = false;
};

// A present device with its hardware-id property.
struct FakeDevice {
  std::optional<std::string> hardware_ids;  // the property's bytes; nullopt: none
  WinError read_error = kErrorSuccess;      // a read fails with this error when not 0
};

// Builds a REG_MULTI_SZ list: each id with its NUL, then the empty string.
inline std::string MultiSz(const std::vector<std::string>& ids) {
  std::string list;
  for (const std::string& id : ids) list.append(id).push_back('\0');
  list.push_back('\0');
  return list;
}

class FakeDetectOs : public DetectOs {
 public:
  // The machine.
  std::vector<FakeHidInterface> hid_interfaces;
  bool hid_set_fails = false;
  std::vector<FakeDevice> devices;
  bool device_set_fails = false;
  bool allocation_fails = false;

  // What happened.
  int hid_sets_opened = 0;
  int device_sets_opened = 0;
  std::vector<std::string> opened_paths;   // each open, also one that was refused
  std::vector<std::uint32_t> allocations;  // sizes, in order
  std::vector<std::uint32_t> read_sizes;   // the size passed with each read
  int live_objects = 0;                    // sets, devices and blocks not yet released
  FaultPlan* faults = nullptr;

  std::unique_ptr<HidInterfaceSet> OpenHidInterfaces() override {
    ++hid_sets_opened;
    if (hid_set_fails || Fails(faults, "OpenHidInterfaces")) return nullptr;
    return std::make_unique<InterfaceSet>(*this);
  }

  std::unique_ptr<HidDevice> OpenDevice(const std::string& path, DeviceAccess access) override {
    opened_paths.push_back(access == DeviceAccess::kReadWrite ? path : path + " (no access)");
    const auto it = std::find_if(hid_interfaces.begin(), hid_interfaces.end(),
                                 [&](const FakeHidInterface& i) { return i.path == path; });
    if (it == hid_interfaces.end() || it->open_fails ||
        (it->exclusive && access == DeviceAccess::kReadWrite) ||
        Fails(faults, "OpenDevice", path)) {
      return nullptr;
    }
    return std::make_unique<Device>(*this, *it);
  }

  std::unique_ptr<DeviceSet> OpenPresentDevices() override {
    ++device_sets_opened;
    if (device_set_fails || Fails(faults, "OpenPresentDevices")) return nullptr;
    return std::make_unique<Devices>(*this);
  }

  std::unique_ptr<MemoryBlock> AllocateZeroed(std::uint32_t size) override {
    allocations.push_back(size);
    if (allocation_fails || Fails(faults, "AllocateZeroed")) return nullptr;
    return std::make_unique<Block>(*this, size);
  }

 private:
  struct Tracked {
    explicit Tracked(FakeDetectOs& os) : os_(os) { ++os_.live_objects; }
    ~Tracked() { --os_.live_objects; }
    Tracked(const Tracked&) = delete;
    Tracked& operator=(const Tracked&) = delete;
    FakeDetectOs& os_;
  };

  class InterfaceSet : public HidInterfaceSet, Tracked {
   public:
    explicit InterfaceSet(FakeDetectOs& os) : Tracked(os) {}
    bool EnumInterface(std::uint32_t index) override {
      // A failing enumeration reads as its end (ERROR_NO_MORE_ITEMS).
      if (Fails(os_.faults, "EnumInterface")) return false;
      current_ = index < os_.hid_interfaces.size() ? &os_.hid_interfaces[index] : nullptr;
      return current_ != nullptr;
    }
    std::optional<std::string> DevicePath() override {
      if (current_ == nullptr || current_->detail_fails || Fails(os_.faults, "DevicePath")) {
        return std::nullopt;
      }
      return current_->path;
    }

   private:
    const FakeHidInterface* current_ = nullptr;
  };

  class Device : public HidDevice, Tracked {
   public:
    Device(FakeDetectOs& os, const FakeHidInterface& i) : Tracked(os), interface_(i) {}
    std::optional<HidAttributes> ReadAttributes() override {
      if (interface_.attributes_fail || Fails(os_.faults, "ReadAttributes")) return std::nullopt;
      return interface_.attributes;
    }

   private:
    const FakeHidInterface& interface_;
  };

  // Reads as SetupDiGetDeviceRegistryPropertyA does: the required size is
  // written on success and when the buffer is too small; a zero-size read of
  // a present property reports a too small buffer.
  class Devices : public DeviceSet, Tracked {
   public:
    explicit Devices(FakeDetectOs& os) : Tracked(os) {}
    bool EnumDevice(std::uint32_t index) override {
      if (Fails(os_.faults, "EnumDevice")) return false;
      current_ = index < os_.devices.size() ? &os_.devices[index] : nullptr;
      return current_ != nullptr;
    }
    bool ReadHardwareIds(char* buffer, std::uint32_t size, std::uint32_t& required_size,
                         WinError& error) override {
      os_.read_sizes.push_back(size);
      if (Fails(os_.faults, "ReadHardwareIds")) {
        error = 0xE000020B;  // ERROR_NO_SUCH_DEVINST: the device went away
        return false;
      }
      if (current_ == nullptr) {
        error = kErrorInvalidParameter;
        return false;
      }
      if (current_->read_error != 0) {
        error = current_->read_error;
        return false;
      }
      if (!current_->hardware_ids) {
        error = kErrorInvalidData;
        return false;
      }
      const std::string& data = *current_->hardware_ids;
      required_size = static_cast<std::uint32_t>(data.size());
      if (size == 0 || data.size() > size) {
        error = kErrorInsufficientBuffer;
        return false;
      }
      std::memcpy(buffer, data.data(), data.size());
      return true;
    }

   private:
    const FakeDevice* current_ = nullptr;
  };

  class Block : public MemoryBlock, Tracked {
   public:
    Block(FakeDetectOs& os, std::uint32_t size) : Tracked(os), bytes_(size, '\0') {}
    char* data() override { return bytes_.data(); }

   private:
    std::vector<char> bytes_;
  };
};

}  // namespace qsetup::testing
