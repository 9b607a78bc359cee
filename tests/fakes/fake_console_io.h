// A console with scripted standard input and keyboard, recording output.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "console/console_io.h"
#include "fakes/fault_plan.h"

namespace qsetup::testing {

class FakeConsoleIo : public ConsoleIo {
 public:
  std::string out;             // everything written to standard output
  std::string in;              // standard input still to be read
  std::size_t max_read = 512;  // largest chunk one ReadIn delivers
  int in_reads = 0;

  bool has_console = true;
  bool station_visible = true;  // false: a service's window station
  int open_calls = 0;
  std::uint32_t mode = 0x1F7;  // the console's input mode
  bool mode_readable = true;
  std::deque<InputEvent> keys;  // the keyboard; empty = the read fails
  std::deque<std::uint32_t> modes_while_reading;
  FaultPlan* faults = nullptr;

  // A failed write loses its bytes; nobody hears of it.
  void WriteOut(std::string_view bytes) override {
    if (Fails(faults, "WriteOut")) return;
    out.append(bytes);
  }

  std::size_t ReadIn(char* buffer, std::size_t capacity) override {
    ++in_reads;
    if (Fails(faults, "ReadIn")) return 0;
    const std::size_t n = std::min({capacity, max_read, in.size()});
    std::memcpy(buffer, in.data(), n);
    in.erase(0, n);
    return n;
  }

  // A station whose flags cannot be read counts as visible.
  bool ConsoleSeen() override { return Fails(faults, "ConsoleSeen") || station_visible; }
  bool OpenKeyboard() override {
    ++open_calls;
    if (Fails(faults, "OpenKeyboard")) return false;
    return has_console;
  }
  std::optional<std::uint32_t> GetKeyboardMode() override {
    if (!mode_readable || Fails(faults, "GetKeyboardMode")) return std::nullopt;
    return mode;
  }
  void SetKeyboardMode(std::uint32_t m) override {
    if (Fails(faults, "SetKeyboardMode")) return;
    mode = m;
  }
  bool ReadKeyboardEvent(InputEvent& event) override {
    modes_while_reading.push_back(mode);
    if (keys.empty() || Fails(faults, "ReadKeyboardEvent")) return false;
    event = keys.front();
    keys.pop_front();
    return true;
  }

  // Key events as the console delivers them.
  void PressChar(char c) { keys.push_back({true, true, static_cast<std::uint8_t>(c), 0x1E, 0}); }
  void PressKey(std::uint16_t scan, std::uint32_t state) {
    keys.push_back({true, true, 0, scan, state});
  }
  void ReleaseKey(std::uint16_t scan) { keys.push_back({true, false, 0, scan, 0}); }
  void OtherEvent() { keys.push_back({false, false, 0, 0, 0}); }
};

}  // namespace qsetup::testing
