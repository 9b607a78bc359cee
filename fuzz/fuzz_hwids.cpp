// Hardware-id property bytes of up to four devices (separated by 0xFF 0xFF;
// a device whose bytes start with 0xFE has no ids) -> the hardware-id scan.
// Each list is handed over exactly as long as reported, so a walk past the
// reported size reads past the block and the sanitizer stops it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "detect/console_trace.h"
#include "detect/detect.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_detect_os.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qsetup;
  const std::string input(reinterpret_cast<const char*>(data), size);
  testing::FakeDetectOs os;
  std::size_t pos = 0;
  while (os.devices.size() < 4 && pos <= input.size()) {
    const std::size_t sep = input.find("\xFF\xFF", pos);
    std::string ids = input.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos);
    testing::FakeDevice device;
    if (ids.empty() || ids[0] != '\xFE') device.hardware_ids = ids;
    os.devices.push_back(device);
    if (sep == std::string::npos) break;
    pos = sep + 2;
  }

  testing::FakeConsoleIo io;
  Console console(io);
  ConsoleTrace trace(console);
  const DetectContext ctx{os, &trace, false};
  DetectionFlags flags;
  const int first = FindExistingDevice(ctx, flags);
  const DetectionFlags after_first = flags;
  const int second = FindExistingDevice(ctx, flags);
  if (first != 0 && first != 1) __builtin_trap();
  if (second != first) __builtin_trap();  // the same machine: the same answer
  if (flags.qln2_usb != after_first.qln2_usb || flags.taskel_pci != after_first.taskel_pci) {
    __builtin_trap();
  }
  if (os.live_objects != 0) __builtin_trap();  // every set and block released
  return 0;
}
