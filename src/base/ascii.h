// Byte-wise ASCII helpers: only the letters a-z and A-Z ever change case, so
// the bytes of a double-byte code page are left alone.
#pragma once

#include <string_view>

namespace qsetup {

constexpr char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `text` begins with `prefix`, ASCII letters compared without
// regard to case and every other byte exactly. An empty prefix begins
// every text.
constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
  }
  return true;
}

// True when `a` and `b` are equal, ASCII letters compared without regard to
// case and every other byte exactly.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringAsciiCase(a, b);
}

// True when `part` occurs anywhere in `text`, ASCII letters compared without
// regard to case and every other byte exactly. An empty part occurs in every
// text.
constexpr bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view part) {
  for (; part.size() <= text.size(); text.remove_prefix(1)) {
    if (StartsWithIgnoringAsciiCase(text, part)) return true;
  }
  return false;
}

}  // namespace qsetup
