// The custom actions' lines in the MSI log. The actions' own narrow texts
// (their messages, the names they share with the installer, the portable
// part's lines) are UTF-8, and so are the narrow forms that they make of the
// installer's properties: the Win32 support library's replacing conversions
// take and give UTF-8 unless told another code page.
#pragma once

#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>

#include <string_view>

#include "win32/win32_text.h"

namespace qsetup::msi {

using win32::NarrowReplacing;
using win32::WidenReplacing;

// Writes `text` as one line of the MSI log.
void LogLine(MSIHANDLE install, std::wstring_view text);

}  // namespace qsetup::msi
