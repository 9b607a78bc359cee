// Console services on the Windows API.
#pragma once

#include "console/console_io.h"
#include "win32/handles.h"
#include "win32/win32_libraries.h"

namespace qsetup::win32 {

class Win32ConsoleIo final : public ConsoleIo {
 public:
  // `search` says how user32.dll is loaded, which only the question whether
  // anybody sees the console needs.
  explicit Win32ConsoleIo(LibrarySearch search = LibrarySearch::kFullPath);

  void WriteOut(std::string_view bytes) override;
  std::size_t ReadIn(char* buffer, std::size_t capacity) override;
  bool ConsoleSeen() override;
  bool OpenKeyboard() override;
  std::optional<std::uint32_t> GetKeyboardMode() override;
  void SetKeyboardMode(std::uint32_t mode) override;
  bool ReadKeyboardEvent(InputEvent& event) override;

 private:
  HANDLE out_;  // standard handles belong to the process, not to us
  HANDLE in_;
  LibrarySearch search_;
  UniqueFile keyboard_;
};

}  // namespace qsetup::win32
