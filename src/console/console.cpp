#include "console/console.h"

#include <array>
#include <span>
#include <string>

#include "console/format.h"
#include "console/key_table.h"

namespace qsetup {
int Console::PrintFormatted(std::string_view format, const char* const* args, std::size_t count) {
  // Standard output as a text stream, through a buffer of its own: printing
  // allocates nothing, so it works when memory has run out.
  class OutputSink final : public TextSink {
   public:
    explicit OutputSink(ConsoleIo& io) : io_(io) {}
    void Append(std::string_view piece) override {
      for (const char c : piece) Put(c);
    }
    void AppendBlanks(std::size_t blanks) override {
      for (std::size_t i = 0; i < blanks; ++i) Put(' ');
    }
    void Flush() {
      if (used_ > 0) io_.WriteOut(std::string_view(buffer_.data(), used_));
      used_ = 0;
    }
    std::size_t formatted = 0;

   private:
    void Put(char c) {
      ++formatted;
      if (used_ + 2 > buffer_.size()) Flush();
      if (c == '\n') buffer_[used_++] = '\r';
      buffer_[used_++] = c;
    }
    ConsoleIo& io_;
    std::array<char, 512> buffer_;
    std::size_t used_ = 0;
  } sink(io_);
  FormatTo(sink, format, std::span<const char* const>(args, count));
  sink.Flush();
  return static_cast<int>(sink.formatted);
}

int Console::WaitForKey() {
  if (pending_key_ != -1) {
    const int key = pending_key_;
    pending_key_ = -1;
    return key;
  }
  if (keyboard_ == KeyboardState::kUnavailable) return -1;
  if (keyboard_ == KeyboardState::kNotOpened) {
    // A console that nobody sees counts as none: a wait there would never end.
    keyboard_ = Seen() && io_.OpenKeyboard() ? KeyboardState::kOpen : KeyboardState::kUnavailable;
    if (keyboard_ == KeyboardState::kUnavailable) return -1;
  }

  // Mode 0: no line input, no echo, and Ctrl+C arrives as an ordinary key.
  const std::optional<std::uint32_t> saved_mode = io_.GetKeyboardMode();
  io_.SetKeyboardMode(0);
  const auto finish = [&](int value) {
    if (saved_mode) io_.SetKeyboardMode(*saved_mode);
    return value;
  };

  for (;;) {
    InputEvent event;
    if (!io_.ReadKeyboardEvent(event)) return finish(-1);
    if (!event.is_key || !event.key_down) continue;
    if (event.character != 0) return finish(event.character);
    const std::optional<ExtendedKey> key =
        TranslateExtendedKey(event.scan_code, event.control_state);
    if (!key) continue;
    pending_key_ = key->code;
    return finish(key->lead);
  }
}

bool Console::Seen() {
  if (!seen_) seen_ = io_.ConsoleSeen();
  return *seen_;
}

void TracePause(Console& console, bool verbose, const char* line, const char* prompt) {
  if (!verbose) return;
  console.PrintText(line);
  console.PrintText(prompt);
  console.WaitForKey();
}

}  // namespace qsetup
