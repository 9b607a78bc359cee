// The program's whole dialogue with the user: formatted output, answer lines
// from standard input, single keys from the console keyboard.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>

#include "console/console_io.h"

namespace qsetup {

// Prompts of the trace pause: the setup driver's, and the hardware-id scan's
// (with a blank before the line feed).
inline constexpr const char kDriverPausePrompt[] = "Press ENTER to continue\n";
inline constexpr const char kScanPausePrompt[] = "Press ENTER to continue \n";

// Longest answer line that ReadAnswerLine stores; the buffer holds one more
// byte for the NUL.
inline constexpr std::size_t kAnswerLineMax = 1023;
using AnswerLine = std::array<char, kAnswerLineMax + 1>;

class Console {
 public:
  explicit Console(ConsoleIo& io) : io_(io) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Formats `format` (see FormatText) with string arguments and writes it to
  // standard output as a text stream: each line feed goes out as carriage
  // return and line feed. Returns the number of characters formatted.
  template <typename... Args>
  int PrintText(std::string_view format, Args... args) {
    static_assert((std::is_convertible_v<Args, const char*> && ...),
                  "message texts take string arguments only");
    const char* const values[] = {static_cast<const char*>(args)..., nullptr};
    return PrintFormatted(format, values, sizeof...(Args));
  }

  // Reads one line of standard input. Stores at most kAnswerLineMax
  // characters and a NUL in `line`; the rest of a longer line is dropped.
  // Returns false, leaving `line` as it was, when the input is at its end.
  bool ReadAnswerLine(AnswerLine& line);

  // Waits for one key press on the console keyboard and returns its value
  // (0-255). A key that brings two values returns the first and leaves the
  // second for the next call. -1 when no key can be read, and at once when
  // nobody can see the console.
  int WaitForKey();

  // False when nobody can see the console (a service's, in session 0): no
  // key will be pressed there and no question answered.
  bool Seen();

 private:
  enum class KeyboardState { kNotOpened, kOpen, kUnavailable };

  int PrintFormatted(std::string_view format, const char* const* args, std::size_t count);
  int ReadInputChar();  // text-stream read: CR LF folds, Ctrl-Z ends the data
  int ReadRawByte();

  ConsoleIo& io_;
  KeyboardState keyboard_ = KeyboardState::kNotOpened;
  int pending_key_ = -1;
  std::optional<bool> seen_;

  std::array<char, 512> in_buffer_{};
  std::size_t in_pos_ = 0;
  std::size_t in_len_ = 0;
  int pushed_back_ = -1;
  bool in_ended_ = false;
};

// The diagnostic trace pause: when `verbose`, prints `line` and `prompt` and
// waits for any key.
void TracePause(Console& console, bool verbose, const char* line, const char* prompt);

}  // namespace qsetup
