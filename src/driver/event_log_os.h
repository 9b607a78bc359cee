// The Application event log, where every run leaves its outcome.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "base/win_errors.h"
#include "rules/event_ids.h"

namespace qsetup {

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
