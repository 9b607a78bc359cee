#include "deploy/version_stamp.h"

#include <memory>
#include <new>
#include <string_view>

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

std::optional<std::string> ReadStampText(ReadableFilePtr file, char* block) {
  if (!file) return std::nullopt;
  const std::size_t length = file->Read(block, kStampBlockSize);
  file.reset();  // closed before the search
  return StampTextIn(block, length);
}

int CompareStampValues(std::string_view first, std::string_view second) {
  return CompareDecimal(StampDigits(first), StampDigits(second));
}

int CompareVersionStamps(const DeployContext& ctx, const std::string& first_path,
                         const std::string& second_path) {
  const std::unique_ptr<char[]> block(new (std::nothrow) char[kStampBlockSize]);
  if (!block) {
    ctx.console.PrintText(ctx.messages[kMsgNoMemory]);
    return 1;
  }
  const std::optional<std::string> second_text =
      ReadStampText(ctx.os.OpenForReading(second_path), block.get());
  if (!second_text) return 1;
  const std::optional<std::string> first_text =
      ReadStampText(ctx.os.OpenForReading(first_path), block.get());
  if (!first_text) return 1;
  return CompareStampValues(*first_text, *second_text);
}

}  // namespace qsetup
