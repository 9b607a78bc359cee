// Device detection: the HID presence probe and the hardware-id scan.
#pragma once

#include "detect/detect_os.h"

namespace qsetup {

// Where the hardware-id scan traces what it sees (/D). A program that never
// traces links none of the console's key wait (detect/console_trace.h has the
// console's).
class DetectTrace {
 public:
  virtual ~DetectTrace() = default;
  // A trace line: `format`, whose one conversion takes `text`.
  virtual void Line(const char* format, const char* text) = 0;
  // A trace pause: `line`, the scan's prompt, and a wait for a key.
  virtual void Pause(const char* line) = 0;
};

// What detection reads of the run settings, and where it traces.
struct DetectContext {
  DetectOs& os;
  DetectTrace* trace = nullptr;  // under /D: trace lines and trace pauses of the scan
  bool force_usb = false;        // -FU: the adapter is taken as present over USB HID
};

// The ids that the hardware-id scan has seen. They belong to the run: clear
// at its start, set by the scan, never cleared again.
struct DetectionFlags {
  bool qln2_usb = false;      // USB\Vid_7a5c&Pid_4001
  bool alt_qln2_usb = false;  // USB\Vid_7a5c&Pid_4003
  bool kz_usb = false;        // USB\Vid_7a5c&Pid_4004, the management module
  bool taskel_pci = false;    // PCI\VEN_1002&DEV_5159&SUBSYS_029A1F7D
};

// 1 when the adapter is attached as a HID device that can be opened, for
// reading and writing or else for no access (vendor 0x7A5C, product 0x4001
// or 0x4003), else 0.
// With `force_usb` it answers 1 without looking at any device. Prints nothing.
int FindHidDevice(const DetectContext& context);

// Scans the hardware ids of all present devices, sets `flags` for the known
// ids it sees and decides from all of `flags`, including those set by an
// earlier call: 1 when the Taskel id was seen, or an adapter id without the
// management module's; else 0. 0 also when the device set cannot be built.
// Traces what it sees under the verbose flag. The thread's last error at
// return is the one that the walk left.
int FindExistingDevice(const DetectContext& context, DetectionFlags& flags);

}  // namespace qsetup
