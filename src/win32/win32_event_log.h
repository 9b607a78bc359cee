// The Application event log on the Windows API.
#pragma once

#include "driver/event_log_os.h"

namespace qsetup::win32 {

class Win32EventLogOs final : public EventLogOs {
 public:
  void Report(EventType type, std::uint32_t id, std::span<const EventString> strings) override;
  std::u16string ErrorText(WinError error) override;
};

}  // namespace qsetup::win32
