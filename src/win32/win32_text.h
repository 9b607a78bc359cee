// Text as the Windows API takes and gives it: narrow in the ANSI code page
// (every path of the portable code) or in UTF-8 (the status report, the MSI's
// actions), wide in UTF-16, held as the portable code holds it
// (std::u16string); and the program's own path, which Windows gives only
// wide. Every conversion of the programs is exact or none: a text that the
// other form cannot hold character for character is not converted, since a
// best fit or a default character would name another file.
#pragma once

#include <windows.h>

#include <climits>
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

// Conversions for code that holds UTF-16 as wchar_t, the MSI's actions, whose
// own narrow texts are UTF-8 (win32_text_replacing.cpp): as Widen and Narrow,
// but what the other side cannot hold is replaced (by U+FFFD, or the code
// page's default character) instead of failing the conversion, and a
// conversion that fails gives an empty text.
std::wstring WidenReplacing(std::string_view text, UINT code_page = CP_UTF8);
std::string NarrowReplacing(std::wstring_view text, UINT code_page = CP_UTF8);

// The one body of each direction, for the exact forms and the replacing
// ones: `text` converted by MultiByteToWideChar with `flags` into `wide`, or
// by WideCharToMultiByte into `narrow`. Returns kErrorSuccess, or the Windows
// error; the result is empty then.
inline WinError ConvertToUtf16(std::string_view text, UINT code_page, DWORD flags,
                               std::u16string& wide) {
  wide.clear();
  if (text.empty()) return kErrorSuccess;
  if (text.size() > INT_MAX) return kErrorInvalidParameter;
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(code_page, flags, text.data(), length, nullptr, 0);
  if (size <= 0) return LastError();
  wide.resize(static_cast<std::size_t>(size));
  if (::MultiByteToWideChar(code_page, flags, text.data(), length, AsWide(wide), size) != size) {
    wide.clear();
    return LastError();
  }
  return kErrorSuccess;
}
inline WinError ConvertFromUtf16(std::u16string_view text, UINT code_page, std::string& narrow) {
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
  return kErrorSuccess;
}

// The program's own path as Windows names it (GetModuleFileNameW), whatever
// its length, into `path`. Returns kErrorSuccess, or the Windows error; `path`
// is empty then.
WinError ReadModuleFileName(std::u16string& path);

}  // namespace qsetup::win32
