// The built-in messages that a run prints, as standard output carries them:
// a text stream, so each line feed arrives as carriage return and line feed.
#pragma once

#include <string>
#include <string_view>

namespace qsetup::written {

inline constexpr char kBanner[] = "Orvane Quillon 2 software installation\r\n\r";
inline constexpr char kFinalPrompt[] = "Press any key to exit.";
inline constexpr char kComplete[] = "Installation complete\r\n\r";
inline constexpr char kReboot[] = "Reboot the machine for the device driver to start. \r\n\r";
inline constexpr char kFailed[] = "\r\nInstallation failed\r\n";
inline constexpr char kNotFound[] =
    "The Quillon II device was not found.\r\nCheck the USB cable connection of the QLN II.\r\n";
inline constexpr char kNotWorking[] =
    "The Quillon II (QLN II) device was found, but the QLN II is\r\nnot configured for Windows, "
    "or the Windows USB drivers are not correctly \r\ninstalled for the QLN II device, or the "
    "QLN II is not properly connected to\r\nUSB.  First check the USB connection of the QLN II. "
    "Then in BIOS \r\nConfiguration/Setup use the Advanced Setup menu to check the QLN II "
    "\r\nConfiguration.  Then check Device Manager in Windows.  If a HID_SYS device is\r\nshown, "
    "select Update Driver for it. \r\n\r\nThe Orvane QLN II software will now be installed, but "
    "will not work properly\r\nuntil the QLN II connection and configuration are "
    "corrected.\r\n\r\n";
inline constexpr char kQuestion[] = "Do you want to copy anyway? (y/n):\r\n";

// `text` as a text stream writes it.
inline std::string AsWritten(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

}  // namespace qsetup::written
