#include "win32/win32_event_log.h"

#include <windows.h>

#include "driver/outcome_event.h"
#include "events.h"
#include "win32/handles.h"

namespace qsetup::win32 {

// The message table has a text for every event id, under the same value.
static_assert(QLN2_EVENT_INSTALLED == kEventInstalled);
static_assert(QLN2_EVENT_RESTART_NEEDED == kEventRestartNeeded);
static_assert(QLN2_EVENT_COPY_FAILED == kEventCopyFailed);
static_assert(QLN2_EVENT_NO_ADAPTER == kEventNoAdapter);
static_assert(QLN2_EVENT_ADAPTER_NO_DRIVER == kEventAdapterNoDriver);
static_assert(QLN2_EVENT_INVALID_FORCE_CODE == kEventInvalidForceCode);
static_assert(QLN2_EVENT_SYSTEM_DIRECTORY_UNUSABLE == kEventSystemDirectoryUnusable);
static_assert(QLN2_EVENT_ANOTHER_RUN_KEPT_THE_MACHINE == kEventAnotherRunKeptTheMachine);

void Win32EventLogOs::Report(EventType type, std::uint32_t id,
                             std::span<const char* const> strings) {
  const UniqueEventSource source(::RegisterEventSourceA(nullptr, kEventSourceName));
  if (!source) return;
  // The ANSI form converts the strings to Unicode from the ANSI code page,
  // the one that paths and the command line were made in.
  ::ReportEventA(source.get(), static_cast<WORD>(type), 0, id, nullptr,
                 static_cast<WORD>(strings.size()), 0, const_cast<const char**>(strings.data()),
                 nullptr);
}

}  // namespace qsetup::win32
