#include "win32/win32_console.h"

#include <algorithm>
#include <climits>

namespace qsetup::win32 {

Win32ConsoleIo::Win32ConsoleIo(LibrarySearch search)
    : out_(::GetStdHandle(STD_OUTPUT_HANDLE)),
      in_(::GetStdHandle(STD_INPUT_HANDLE)),
      search_(search) {}

void Win32ConsoleIo::WriteOut(std::string_view bytes) {
  if (out_ == nullptr || out_ == INVALID_HANDLE_VALUE) return;
  // WriteFile, not WriteConsole: the bytes reach a console in its own code
  // page and a file or pipe unchanged. Output errors are not reported.
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 16));
    DWORD written = 0;
    if (!::WriteFile(out_, bytes.data(), chunk, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

std::size_t Win32ConsoleIo::ReadIn(char* buffer, std::size_t capacity) {
  if (in_ == nullptr || in_ == INVALID_HANDLE_VALUE || capacity == 0) return 0;
  DWORD read = 0;
  const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(capacity, INT_MAX));
  // A broken pipe or any other failure reads as the end of the input.
  if (!::ReadFile(in_, buffer, ask, &read, nullptr)) return 0;
  return read;
}

bool Win32ConsoleIo::ConsoleSeen() {
  // A service's window station is not visible, and neither is the console
  // that a program it starts gets there. Whatever cannot be told leaves the
  // console as seen, as it always was.
  const UniqueModule user32 = LoadSystemLibrary(L"user32.dll", search_);
  decltype(&::GetProcessWindowStation) get_station = nullptr;
  decltype(&::GetUserObjectInformationW) get_information = nullptr;
  if (!Resolve(user32.get(), "GetProcessWindowStation", get_station) ||
      !Resolve(user32.get(), "GetUserObjectInformationW", get_information)) {
    return true;
  }
  const HWINSTA station = get_station();
  USEROBJECTFLAGS flags{};
  if (station == nullptr || !get_information(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

bool Win32ConsoleIo::OpenKeyboard() {
  keyboard_.reset(::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  return keyboard_.valid();
}

std::optional<std::uint32_t> Win32ConsoleIo::GetKeyboardMode() {
  DWORD mode = 0;
  if (!::GetConsoleMode(keyboard_.get(), &mode)) return std::nullopt;
  return mode;
}

void Win32ConsoleIo::SetKeyboardMode(std::uint32_t mode) {
  ::SetConsoleMode(keyboard_.get(), mode);
}

bool Win32ConsoleIo::ReadKeyboardEvent(InputEvent& event) {
  INPUT_RECORD record{};
  DWORD count = 0;
  if (!::ReadConsoleInputA(keyboard_.get(), &record, 1, &count) || count == 0) return false;
  event = InputEvent{};
  if (record.EventType != KEY_EVENT) return true;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  event.is_key = true;
  event.key_down = key.bKeyDown != FALSE;
  event.character = static_cast<std::uint8_t>(key.uChar.AsciiChar);
  event.scan_code = key.wVirtualScanCode;
  event.control_state = key.dwControlKeyState;
  return true;
}

}  // namespace qsetup::win32
