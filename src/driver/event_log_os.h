// The Application event log, where every run leaves its outcome.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "base/win_errors.h"

namespace qsetup {

// The product's event source: the name that its events carry, and that of
// its key in the Application log's key of the registry, which tells event
// viewers where its messages are.
inline constexpr char kEventSourceName[] = "Orvane Quillon 2 Setup";

// The Application log's key of event sources, below HKEY_LOCAL_MACHINE.
inline constexpr char kApplicationLogKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

// Event types, with the values Windows uses.
enum class EventType : std::uint16_t {
  kError = 0x0001,
  kWarning = 0x0002,
  kInformation = 0x0004,
};

// An insertion string: text in the ANSI code page, as the run's paths and
// command line are, or UTF-16 text for what that code page cannot hold (a
// path or an error text as Windows gives them).
using EventString = std::variant<std::string_view, std::u16string_view>;

class EventLogOs {
 public:
  virtual ~EventLogOs() = default;

  // Writes one event of the product's source to the Application log, with
  // `strings` as its insertion strings. Whether it was written is not told:
  // nothing that a run does depends on it.
  virtual void Report(EventType type, std::uint32_t id, std::span<const EventString> strings) = 0;

  // The system's text of `error`, on one line; empty when it has none.
  virtual std::u16string ErrorText(WinError error) = 0;
};

}  // namespace qsetup
