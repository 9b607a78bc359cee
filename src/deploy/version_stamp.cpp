#include "deploy/version_stamp.h"

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
  std::optional<std::string> found = StampTextIn(block, length);
  if (!found) return false;
  text = std::move(*found);
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
