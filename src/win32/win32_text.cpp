#include "win32/win32_text.h"

#include <algorithm>
#include <climits>

namespace qsetup::win32 {

WinError LastError() {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

WinError Widen(std::string_view text, UINT code_page, std::u16string& wide) {
  wide.clear();
  if (text.empty()) return kErrorSuccess;
  if (text.size() > INT_MAX) return kErrorInvalidParameter;
  const int length = static_cast<int>(text.size());
  // A byte that is no character of the code page (a lead byte without its
  // trail byte) fails the conversion instead of becoming a default one.
  const int size =
      ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) return LastError();
  wide.resize(static_cast<std::size_t>(size));
  if (::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, AsWide(wide),
                            size) != size) {
    wide.clear();
    return LastError();
  }
  return kErrorSuccess;
}

WinError Narrow(std::u16string_view text, UINT code_page, std::string& narrow) {
  narrow.clear();
  if (text.empty()) return kErrorSuccess;
  if (text.size() > INT_MAX) return kErrorInvalidParameter;
  const int length = static_cast<int>(text.size());
  const auto* const wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = ::WideCharToMultiByte(code_page, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return LastError();
  narrow.resize(static_cast<std::size_t>(size));
  if (::WideCharToMultiByte(code_page, 0, wide, length, narrow.data(), size, nullptr, nullptr) !=
      size) {
    narrow.clear();
    return LastError();
  }
  // A character that the code page lacks comes out as another ("a" for
  // "ä", "?", U+FFFD for a lone surrogate): only a text that converts back
  // to itself was converted exactly. The one test for every code page,
  // UTF-8 among them, which takes no flag that would tell.
  std::u16string back;
  if (Widen(narrow, code_page, back) != kErrorSuccess || back != text) {
    narrow.clear();
    return kErrorNoUnicodeTranslation;
  }
  return kErrorSuccess;
}

WinError ReadModuleFileName(std::u16string& path) {
  // The longest path that Windows has, in UTF-16 units with its NUL.
  constexpr DWORD kLongestPath = 32768;
  for (DWORD size = MAX_PATH;; size = std::min<DWORD>(size * 2, kLongestPath)) {
    path.assign(size, u'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, AsWide(path), size);
    if (length == 0) {
      path.clear();
      return LastError();
    }
    // A buffer that it fills to its last unit may hold a cut path.
    if (length < size) {
      path.resize(length);
      return kErrorSuccess;
    }
    if (size == kLongestPath) {
      path.clear();
      return kErrorInsufficientBuffer;
    }
  }
}

}  // namespace qsetup::win32
