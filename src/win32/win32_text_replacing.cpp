// The replacing conversions, in a file of their own: only the MSI's actions
// link them.
#include "win32/win32_text.h"

namespace qsetup::win32 {

std::wstring WidenReplacing(std::string_view text, UINT code_page) {
  std::u16string wide;
  ConvertToUtf16(text, code_page, 0, wide);
  return std::wstring(wide.begin(), wide.end());
}

std::string NarrowReplacing(std::wstring_view text, UINT code_page) {
  std::string narrow;
  ConvertFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()),
                   code_page, narrow);
  return narrow;
}

}  // namespace qsetup::win32
