#include "detect/detect.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/ascii.h"

namespace qsetup {
namespace {

constexpr std::uint16_t kAdapterVendorId = 0x7A5C;
constexpr std::uint16_t kAdapterProductId = 0x4001;
constexpr std::uint16_t kAltAdapterProductId = 0x4003;

struct KnownId {
  const char* id;
  bool DetectionFlags::*flag;
  const char* trace;
};

// Tested in this order against every hardware id, ASCII letters without
// regard to case, as Windows matches hardware ids (the USB hub driver spells
// them in capitals, older Windows as here).
constexpr KnownId kKnownIds[] = {
    {"USB\\Vid_7a5c&Pid_4001", &DetectionFlags::qln2_usb,
     "FindExistingDevice - QLN2 USB ID found !\n"},
    {"USB\\Vid_7a5c&Pid_4003", &DetectionFlags::alt_qln2_usb,
     "FindExistingDevice - alt QLN2 USB ID found !\n"},
    {"USB\\Vid_7a5c&Pid_4004", &DetectionFlags::kz_usb, "FindExistingDevice - KZ USB ID found !\n"},
    {"PCI\\VEN_1002&DEV_5159&SUBSYS_029A1F7D", &DetectionFlags::taskel_pci,
     "FindExistingDevice - Taskel PCI ID found !\n"},
};

bool IsAdapter(const HidAttributes& attributes) {
  return attributes.vendor_id == kAdapterVendorId &&
         (attributes.product_id == kAdapterProductId ||
          attributes.product_id == kAltAdapterProductId);
}

// The one hardware-id buffer of a scan, with the size that the platform
// last reported.
struct IdBuffer {
  std::unique_ptr<MemoryBlock> block;
  std::uint32_t capacity = 0;
  std::uint32_t required = 0;

  char* data() const { return block ? block->data() : nullptr; }
  // The bytes that the platform may write, and that a read fills.
  std::uint32_t usable() const { return std::min(required, capacity); }
};

enum class IdRead { kRead, kNoIds, kFailed };

// Reads the hardware ids of the device enumerated last, growing the buffer
// as the platform asks.
IdRead ReadHardwareIds(DetectOs& os, DeviceSet& devices, IdBuffer& buffer) {
  for (;;) {
    const std::uint32_t size = buffer.usable();
    WinError error = kErrorSuccess;
    if (devices.ReadHardwareIds(buffer.data(), size, buffer.required, error)) {
      return IdRead::kRead;
    }
    if (error == kErrorInvalidData) return IdRead::kNoIds;
    // A platform that asks for no more than it was given would be asked
    // again forever.
    if (error != kErrorInsufficientBuffer || buffer.required <= size) return IdRead::kFailed;
    buffer.block.reset();
    buffer.capacity = 0;
    buffer.block = os.AllocateZeroed(buffer.required);
    // Without a buffer the ids cannot be read, like any other failed read.
    if (!buffer.block) return IdRead::kFailed;
    buffer.capacity = buffer.required;
  }
}

// Traces each id of the list in the first `size` bytes at `list` and sets
// the flags of the known ids it holds. An id that runs to the end of those
// bytes without a NUL ends there.
void ScanIdList(const DetectContext& context, DetectionFlags& flags, const char* list,
                std::uint32_t size) {
  const char* const end = list + size;
  const char* id = list;
  while (id < end && *id != '\0') {
    const auto* nul = static_cast<const char*>(std::memchr(id, '\0', end - id));
    const std::string text(id, nul != nullptr ? nul : end);
    if (context.trace != nullptr) {
      context.trace->Line("FindExistingDevice - Device ID %s was found \n", text.c_str());
    }
    for (const KnownId& known : kKnownIds) {
      if (!ContainsIgnoringAsciiCase(text, known.id)) continue;
      flags.*known.flag = true;
      if (context.trace != nullptr) context.trace->Pause(known.trace);
    }
    id = nul != nullptr ? nul + 1 : end;
  }
}

int Decide(const DetectionFlags& flags) {
  if (flags.taskel_pci) return 1;
  return (flags.qln2_usb || flags.alt_qln2_usb) && !flags.kz_usb ? 1 : 0;
}

}  // namespace

int FindHidDevice(const DetectContext& context) {
  if (context.force_usb) return 1;
  const std::unique_ptr<HidInterfaceSet> interfaces = context.os.OpenHidInterfaces();
  if (!interfaces) return 0;
  for (std::uint32_t index = 0; interfaces->EnumInterface(index); ++index) {
    const std::optional<std::string> path = interfaces->DevicePath();
    if (!path) continue;
    std::unique_ptr<HidDevice> device = context.os.OpenDevice(*path, DeviceAccess::kReadWrite);
    // Windows opens keyboard and mouse collections for itself alone; their
    // attributes need no access.
    if (!device) device = context.os.OpenDevice(*path, DeviceAccess::kNone);
    if (!device) continue;
    // A device whose attributes cannot be read is not known to be the
    // adapter.
    const std::optional<HidAttributes> attributes = device->ReadAttributes();
    if (attributes && IsAdapter(*attributes)) return 1;
  }
  return 0;
}

int FindExistingDevice(const DetectContext& context, DetectionFlags& flags) {
  std::unique_ptr<DeviceSet> devices = context.os.OpenPresentDevices();
  if (!devices) {
    if (context.trace != nullptr) {
      context.trace->Pause("FindExistingDevice - SetupDiGetClassDevs failed \n");
    }
    return 0;
  }
  IdBuffer buffer;
  for (std::uint32_t index = 0; devices->EnumDevice(index); ++index) {
    const IdRead read = ReadHardwareIds(context.os, *devices, buffer);
    if (read == IdRead::kNoIds) continue;
    if (read == IdRead::kFailed) {
      if (context.trace != nullptr) {
        context.trace->Pause("FindExistingDevice - Unknown failure occurred, returning failure\n");
      }
      break;
    }
    ScanIdList(context, flags, buffer.data(), buffer.usable());
  }
  const int result = Decide(flags);
  // The buffer goes first: the set keeps the last error across its own
  // release only.
  buffer.block.reset();
  devices.reset();
  return result;
}

}  // namespace qsetup
