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

}  // namespace qsetup::msi
