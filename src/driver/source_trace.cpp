#include "driver/source_trace.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>

#include "base/ascii.h"

namespace qsetup {

std::string PrintableText(std::u16string_view text) {
  std::string printable;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = text[i];
    if (code >= 0x20 && code < 0x7F) {
      printable.push_back(static_cast<char>(code));
      continue;
    }
    // A surrogate pair is one character.
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    // At least four hexadecimal digits, as Unicode writes them.
    char digits[8];
    const char* const end = std::to_chars(digits, std::end(digits), code, 16).ptr;
    printable.append("<U+");
    printable.append(std::max<std::ptrdiff_t>(0, 4 - (end - digits)), '0');
    for (const char* d = digits; d != end; ++d) printable.push_back(AsciiUpper(*d));
    printable.push_back('>');
  }
  return printable;
}

void TraceUnusableSourceDirectory(Console& console, bool verbose, const SourceDirectory& source) {
  if (!verbose) return;
  const std::string path =
      source.windows_path.empty() ? source.path : PrintableText(source.windows_path);
  console.PrintText("Main - source directory = >%s<\n", path.c_str());
  const std::string reason =
      std::string("Main - the source directory ") + UnusableSourceReason(source.error) + ".\n";
  TracePause(console, verbose, reason.c_str(), kDriverPausePrompt);
}

}  // namespace qsetup
