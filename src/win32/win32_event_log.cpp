#include "win32/win32_event_log.h"

#include <windows.h>

#include <string>
#include <vector>

#include "events.h"
#include "rules/event_ids.h"
#include "win32/handles.h"
#include "win32/win32_text.h"

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
static_assert(QLN2_EVENT_SOURCE_DIRECTORY_UNUSABLE == kEventSourceDirectoryUnusable);

void Win32EventLogOs::Report(EventType type, std::uint32_t id,
                             std::span<const EventString> strings) {
  const UniqueEventSource source(::RegisterEventSourceA(nullptr, kEventSourceName));
  if (!source) return;
  std::vector<std::u16string> texts;
  std::vector<const wchar_t*> pointers;
  for (const EventString& string : strings) {
    std::u16string& text = texts.emplace_back();
    if (const auto* utf16 = std::get_if<std::u16string_view>(&string)) {
      text = *utf16;
    } else {
      // The ANSI code page is the one that paths and the command line were
      // made in; what is not text of it stays empty.
      Widen(std::get<std::string_view>(string), CP_ACP, text);
    }
  }
  for (const std::u16string& text : texts) pointers.push_back(AsWide(text));
  ::ReportEventW(source.get(), static_cast<WORD>(type), 0, id, nullptr,
                 static_cast<WORD>(pointers.size()), 0, pointers.data(), nullptr);
}

std::u16string Win32EventLogOs::ErrorText(WinError error) {
  wchar_t* text = nullptr;
  // On one line: the message's own line breaks become blanks.
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const UniqueLocal owner(text);
  if (length == 0 || text == nullptr) return {};
  std::u16string result(text, text + length);
  while (!result.empty() &&
         (result.back() == u' ' || result.back() == u'\r' || result.back() == u'\n')) {
    result.pop_back();
  }
  return result;
}

}  // namespace qsetup::win32
