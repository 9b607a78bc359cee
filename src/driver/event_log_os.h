// The Application event log, where every run leaves its outcome.
#pragma once

#include <cstdint>
#include <span>

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

class EventLogOs {
 public:
  virtual ~EventLogOs() = default;

  // Writes one event of the product's source to the Application log, with
  // `strings` (in the ANSI code page) as its insertion strings. Whether it
  // was written is not told: nothing that a run does depends on it.
  virtual void Report(EventType type, std::uint32_t id, std::span<const char* const> strings) = 0;
};

}  // namespace qsetup
