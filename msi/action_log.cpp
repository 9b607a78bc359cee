#include "msi/action_log.h"

#include <msiquery.h>

#include "win32/handles.h"

namespace qsetup::msi {

void LogLine(MSIHANDLE install, std::wstring_view text) {
  // The installer resolves [...] in a message's fields too: brackets are
  // escaped to stay text.
  std::wstring escaped;
  for (const wchar_t c : text) {
    if (c == L'[') {
      escaped += L"[\\[]";
    } else if (c == L']') {
      escaped += L"[\\]]";
    } else {
      escaped += c;
    }
  }
  const win32::UniqueMsiHandle record(::MsiCreateRecord(1));
  if (!record) return;
  ::MsiRecordSetStringW(record.get(), 0, L"[1]");
  ::MsiRecordSetStringW(record.get(), 1, escaped.c_str());
  ::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

std::wstring Decode(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, 0, bytes.data(), size, text.data(), length);
  return text;
}

std::wstring Widen(std::string_view utf8) {
  return Decode(utf8, CP_UTF8);
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace qsetup::msi
