// Text as the Windows API takes and gives it: narrow in the ANSI code page
// (every path of the portable code) or in UTF-8 (the status report), wide in
// UTF-16, held as the portable code holds it (std::u16string); and the
// program's own path, which Windows gives only wide. Every conversion is
// exact or none: a text that the other form cannot hold character for
// character is not converted, since a best fit or a default character would
// name another file.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/win_errors.h"

namespace qsetup::win32 {

// The wide functions' view of UTF-16 text, and UTF-16 text that they gave:
// wchar_t is a UTF-16 unit on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* AsWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* AsWide(std::u16string& text) {
  return reinterpret_cast<wchar_t*>(text.data());
}
inline std::u16string_view AsUtf16(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

// The calling thread's last error, right after a call that failed; never
// kErrorSuccess, which would tell the failure for a success.
WinError LastError();

// `text`, in the code page `code_page` (CP_ACP or CP_UTF8), in UTF-16 into
// `wide`. Returns kErrorSuccess, or the Windows error (kErrorNoUnicodeTranslation
// for bytes that are no character of the code page); `wide` is empty then.
WinError Widen(std::string_view text, UINT code_page, std::u16string& wide);

// `text` (UTF-16) in the code page `code_page` into `narrow`. Returns
// kErrorSuccess, or the Windows error (kErrorNoUnicodeTranslation when the
// code page does not hold it exactly); `narrow` is empty then.
WinError Narrow(std::u16string_view text, UINT code_page, std::string& narrow);

// The program's own path as Windows names it (GetModuleFileNameW), whatever
// its length, into `path`. Returns kErrorSuccess, or the Windows error; `path`
// is empty then.
WinError ReadModuleFileName(std::u16string& path);

}  // namespace qsetup::win32
