#include "deploy/version_stamp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace qsetup {
namespace {

// Reads the stamp text of `path` into `text` through `block`. False when the
// file cannot be opened, delivers no bytes, or holds no start marker.
bool ReadStampText(DeployOs& os, const std::string& path, char* block, std::string& text) {
  std::size_t length = 0;
  {
    const ReadableFilePtr file = os.OpenForReading(path);
    if (!file) return false;
    length = file->Read(block, kStampBlockSize);
  }
  if (length == 0) return false;

  const char* start = FindPattern(kStampStart, block, static_cast<std::ptrdiff_t>(length));
  if (start == nullptr) return false;

  // The end marker lies behind the start marker, before the first NUL.
  const char* text_begin = start + std::strlen(kStampStart);
  const char* limit = block + length;
  if (const void* nul =
          std::memchr(text_begin, '\0', static_cast<std::size_t>(limit - text_begin))) {
    limit = static_cast<const char*>(nul);
  }
  const char* end = FindPattern(kStampEnd, text_begin, limit - text_begin);
  text.clear();
  if (end != nullptr) {
    text.assign(text_begin, std::min(static_cast<std::size_t>(end - text_begin), kStampTextMax));
  }
  return true;
}

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

int CompareVersionStamps(const DeployContext& ctx, const std::string& first_path,
                         const std::string& second_path) {
  const std::unique_ptr<char[]> block(new (std::nothrow) char[kStampBlockSize]);
  if (!block) {
    ctx.console.PrintText(ctx.messages[kMsgNoMemory]);
    return 1;
  }
  std::string second_text;
  std::string first_text;
  if (!ReadStampText(ctx.os, second_path, block.get(), second_text)) return 1;
  if (!ReadStampText(ctx.os, first_path, block.get(), first_text)) return 1;
  return CompareDecimal(StampDigits(first_text), StampDigits(second_text));
}

}  // namespace qsetup
