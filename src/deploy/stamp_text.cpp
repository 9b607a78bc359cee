#include "deploy/stamp_text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qsetup {
namespace {

// The digits of `text` in order, without leading zeros: the decimal value in
// a form that any number of digits fits.
std::string StampDigits(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c >= '0' && c <= '9' && !(digits.empty() && c == '0')) digits.push_back(c);
  }
  return digits;
}

// Orders two digit strings without leading zeros as the numbers they spell.
int CompareDecimal(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

const char* FindPattern(const char* pattern, const char* data, std::ptrdiff_t length) {
  const auto m = static_cast<std::ptrdiff_t>(std::strlen(pattern));
  if (m == 0) return data;
  if (length < m) return nullptr;

  const auto* p = reinterpret_cast<const unsigned char*>(pattern);
  const auto* d = reinterpret_cast<const unsigned char*>(data);
  std::array<std::ptrdiff_t, 256> shift;
  shift.fill(m);
  for (std::ptrdiff_t j = 0; j < m - 1; ++j) shift[p[j]] = m - 1 - j;

  for (std::ptrdiff_t pos = m - 1; pos < length; pos += shift[d[pos]]) {
    std::ptrdiff_t j = m - 1;
    while (j >= 0 && d[pos - (m - 1 - j)] == p[j]) --j;
    if (j < 0) return data + (pos - (m - 1));
  }
  return nullptr;
}

std::optional<std::string> StampTextIn(const char* block, std::size_t length) {
  if (length == 0) return std::nullopt;
  const char* start = FindPattern(kStampStart, block, static_cast<std::ptrdiff_t>(length));
  if (start == nullptr) return std::nullopt;

  // The end marker lies behind the start marker, before the first NUL.
  const char* text_begin = start + std::strlen(kStampStart);
  const char* limit = block + length;
  if (const void* nul =
          std::memchr(text_begin, '\0', static_cast<std::size_t>(limit - text_begin))) {
    limit = static_cast<const char*>(nul);
  }
  const char* end = FindPattern(kStampEnd, text_begin, limit - text_begin);
  if (end == nullptr) return std::string();
  return std::string(text_begin,
                     std::min(static_cast<std::size_t>(end - text_begin), kStampTextMax));
}

std::optional<std::string> ReadStampText(ReadableFilePtr file, char* block,
                                         std::size_t* length_read) {
  if (length_read != nullptr) *length_read = 0;
  if (!file) return std::nullopt;
  const std::size_t length = file->Read(block, kStampBlockSize);
  if (length_read != nullptr) *length_read = length;
  file.reset();  // closed before the search
  return StampTextIn(block, length);
}

int CompareStampValues(std::string_view first, std::string_view second) {
  return CompareDecimal(StampDigits(first), StampDigits(second));
}

}  // namespace qsetup
