// Names that Windows gives back in UTF-16, in the ANSI code page. A file of
// its own: the status report does not need it, and on x64 an image keeps
// every function of each object file that it links.
#include "win32/win32_files.h"

namespace qsetup::win32 {

std::optional<std::string> ToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(size), '\0');
  if (::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(),
                            size, nullptr, nullptr) != size) {
    return std::nullopt;
  }
  // A character that the code page lacks comes back as another, or as "?".
  if (FromAnsi(ansi) != text) return std::nullopt;
  return ansi;
}

}  // namespace qsetup::win32
