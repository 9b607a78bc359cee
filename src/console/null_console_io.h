// A console that nobody sees and nobody types at: what is written to it is
// discarded, nothing is read, no key comes.
#pragma once

#include "console/console_io.h"

namespace qsetup {

class NullConsoleIo final : public ConsoleIo {
 public:
  void WriteOut(std::string_view) override {}
  std::size_t ReadIn(char*, std::size_t) override { return 0; }
  bool ConsoleSeen() override { return false; }
  bool OpenKeyboard() override { return false; }
  std::optional<std::uint32_t> GetKeyboardMode() override { return std::nullopt; }
  void SetKeyboardMode(std::uint32_t) override {}
  bool ReadKeyboardEvent(InputEvent&) override { return false; }
};

}  // namespace qsetup
