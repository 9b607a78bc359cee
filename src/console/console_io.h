// The operating-system services that console interaction needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qsetup {

// Modifier and flag bits of a key event, with the values the Windows console
// reports in its control-key state.
inline constexpr std::uint32_t kRightAltPressed = 0x0001;
inline constexpr std::uint32_t kLeftAltPressed = 0x0002;
inline constexpr std::uint32_t kRightCtrlPressed = 0x0004;
inline constexpr std::uint32_t kLeftCtrlPressed = 0x0008;
inline constexpr std::uint32_t kShiftPressed = 0x0010;
inline constexpr std::uint32_t kEnhancedKey = 0x0100;

// One record of the console's input queue, reduced to what a key wait reads.
struct InputEvent {
  bool is_key = false;         // false for mouse, focus, menu and size events
  bool key_down = false;       // false for a key release
  std::uint8_t character = 0;  // low byte of the event's character; 0 = none
  std::uint16_t scan_code = 0;
  std::uint32_t control_state = 0;
};

class ConsoleIo {
 public:
  virtual ~ConsoleIo() = default;

  // Writes bytes to standard output exactly as given. When standard output is
  // a console they have reached it when the call returns.
  virtual void WriteOut(std::string_view bytes) = 0;

  // Reads raw bytes from standard input into `buffer`; returns the number
  // read, 0 at the end of the input or on failure.
  virtual std::size_t ReadIn(char* buffer, std::size_t capacity) = 0;

  // False when nobody can see the process's console: its window station is
  // not visible, as a service's is (session 0). True when that cannot be
  // told.
  virtual bool ConsoleSeen() = 0;

  // Opens the console keyboard ("CONIN$"), which is read even when standard
  // input is redirected. False when there is no console to open.
  virtual bool OpenKeyboard() = 0;

  // Input mode of the opened keyboard; nullopt when it cannot be read.
  virtual std::optional<std::uint32_t> GetKeyboardMode() = 0;
  virtual void SetKeyboardMode(std::uint32_t mode) = 0;

  // Reads one input record from the opened keyboard, waiting for it. False
  // when the read fails or delivers no record.
  virtual bool ReadKeyboardEvent(InputEvent& event) = 0;
};

}  // namespace qsetup
