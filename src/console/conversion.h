// One conversion of a format as FormatText reads it: console's own, for
// FormatTo and Conversions.
#pragma once

#include <cstddef>
#include <string_view>

namespace qsetup {

// One conversion of a format, from its "%" to its conversion character.
struct Conversion {
  std::size_t end = 0;    // one past the conversion character, or the end of the text
  bool cut_off = false;   // the text ends before the conversion character
  char character = '\0';  // 's', 'd', ... ; '%' for "%%"
  bool usable = true;     // false once the conversion cannot be honoured as "%s"
  bool left = false;      // '-' flag
  std::size_t width = 0;
  bool has_precision = false;
  std::size_t precision = 0;
};

// Parses the conversion whose "%" is at `start` of `format`.
Conversion ParseConversion(std::string_view format, std::size_t start);

}  // namespace qsetup
