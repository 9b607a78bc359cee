// Byte-wise ASCII helpers: only the letters a-z and A-Z ever change case, so
// the bytes of a double-byte code page are left alone.
#pragma once

namespace qsetup {

constexpr char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace qsetup
