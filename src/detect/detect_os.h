// The operating-system services that detect needs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/win_errors.h"

namespace qsetup {

// The identity that a HID device reports.
struct HidAttributes {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
};

// What a device is opened for.
enum class DeviceAccess {
  kReadWrite,  // reading and writing
  kNone,       // neither: enough for its attributes, and granted where Windows holds the
               // device for itself alone (a keyboard or mouse collection)
};

// An opened device; closed when destroyed.
class HidDevice {
 public:
  virtual ~HidDevice() = default;

  // The device's HID attributes; nullopt when the platform cannot read them.
  virtual std::optional<HidAttributes> ReadAttributes() = 0;
};

// The present devices that expose the HID interface class; released when
// destroyed.
class HidInterfaceSet {
 public:
  virtual ~HidInterfaceSet() = default;

  // Enumerates the interface at the zero-based `index`. False when there is
  // none, or on any error.
  virtual bool EnumInterface(std::uint32_t index) = 0;

  // The device path of the interface enumerated last, from its detail
  // record, as a name that only OpenDevice reads. nullopt when the record cannot be fetched, also
  // when no buffer of the size that the platform asks for can be allocated.
  virtual std::optional<std::string> DevicePath() = 0;
};

// The present devices of every setup class. Destroying it leaves the
// thread's last-error value as it was.
class DeviceSet {
 public:
  virtual ~DeviceSet() = default;

  // Enumerates the device at the zero-based `index`. False when there is
  // none, or on any error.
  virtual bool EnumDevice(std::uint32_t index) = 0;

  // Reads the hardware ids of the device enumerated last (a list of
  // NUL-terminated strings ended by an empty one) into the `size` bytes at
  // `buffer` (null only when `size` is 0). True when they were read. False
  // otherwise, with the thread's last error in `error`: kErrorInvalidData
  // when the device has no hardware ids, kErrorInsufficientBuffer when they
  // do not fit, or another value. `required_size` receives whatever the
  // platform reports in it: the length of the data after a read, the size
  // needed when they do not fit.
  virtual bool ReadHardwareIds(char* buffer, std::uint32_t size, std::uint32_t& required_size,
                               WinError& error) = 0;
};

// A zero-filled block of local memory; freed when destroyed.
class MemoryBlock {
 public:
  virtual ~MemoryBlock() = default;
  virtual char* data() = 0;
};

class DetectOs {
 public:
  virtual ~DetectOs() = default;

  // The set of present devices with the HID interface class; null when the
  // platform gives none.
  virtual std::unique_ptr<HidInterfaceSet> OpenHidInterfaces() = 0;

  // Opens a device path for `access`, shared for reading and writing, as an
  // existing file. Null when it cannot be opened.
  virtual std::unique_ptr<HidDevice> OpenDevice(const std::string& path, DeviceAccess access) = 0;

  // The set of all present devices of every setup class; null when the
  // platform gives none.
  virtual std::unique_ptr<DeviceSet> OpenPresentDevices() = 0;

  // A zero-filled block of `size` bytes; null when it cannot be allocated.
  virtual std::unique_ptr<MemoryBlock> AllocateZeroed(std::uint32_t size) = 0;
};

}  // namespace qsetup
