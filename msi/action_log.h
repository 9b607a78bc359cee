// The custom actions' lines in the MSI log, and the text conversions they
// need. The actions' own narrow texts (their messages, the names they share
// with the installer, the portable part's lines) are UTF-8, and so are the
// narrow forms that they make of the installer's properties.
#pragma once

#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>

#include <string>
#include <string_view>

namespace qsetup::msi {

// Writes `text` as one line of the MSI log.
void LogLine(MSIHANDLE install, std::wstring_view text);

// `bytes` in `code_page`.
std::wstring Decode(std::string_view bytes, UINT code_page);

// A text of the action's own, UTF-8, and back.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

}  // namespace qsetup::msi
