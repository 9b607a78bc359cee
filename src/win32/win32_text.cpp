#include "win32/win32_text.h"

#include <algorithm>

namespace qsetup::win32 {

WinError LastError() {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

WinError Widen(std::string_view text, UINT code_page, std::u16string& wide) {
  // A byte that is no character of the code page (a lead byte without its
  // trail byte) fails the conversion instead of becoming a default one.
  return ConvertToUtf16(text, code_page, MB_ERR_INVALID_CHARS, wide);
}

WinError Narrow(std::u16string_view text, UINT code_page, std::string& narrow) {
  if (const WinError error = ConvertFromUtf16(text, code_page, narrow); error != kErrorSuccess) {
    return error;
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
