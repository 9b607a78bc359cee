#include "deploy/stamp_text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qsetup {

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

}  // namespace qsetup
