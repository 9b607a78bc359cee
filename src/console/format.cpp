#include "console/format.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "console/conversion.h"

namespace qsetup {
namespace {

// Width and precision beyond this are not honoured: a conversion that asks
// for more is printed as it stands, so a hostile text cannot make the
// program write gigabytes of padding.
constexpr std::size_t kMaxFieldWidth = 4096;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsOneOf(char c, const char* set) {
  return c != '\0' && std::strchr(set, c) != nullptr;
}

// Reads a decimal number at `pos`; false if it exceeds kMaxFieldWidth.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t& value) {
  value = 0;
  bool fits = true;
  while (pos < text.size() && IsDigit(text[pos])) {
    if (fits) {
      value = value * 10 + static_cast<std::size_t>(text[pos] - '0');
      if (value > kMaxFieldWidth) fits = false;
    }
    ++pos;
  }
  return fits;
}

}  // namespace

Conversion ParseConversion(std::string_view format, std::size_t start) {
  Conversion c;
  std::size_t pos = start + 1;
  if (pos < format.size() && format[pos] == '%') {
    c.character = '%';
    c.end = pos + 1;
    return c;
  }
  while (pos < format.size() && IsOneOf(format[pos], "-+ #0")) {
    if (format[pos] == '-') c.left = true;
    ++pos;
  }
  if (pos < format.size() && format[pos] == '*') {
    c.usable = false;  // would take an integer argument, which no caller passes
    ++pos;
  } else if (!ReadNumber(format, pos, c.width)) {
    c.usable = false;
  }
  if (pos < format.size() && format[pos] == '.') {
    ++pos;
    c.has_precision = true;
    if (pos < format.size() && format[pos] == '*') {
      c.usable = false;
      ++pos;
    } else if (!ReadNumber(format, pos, c.precision)) {
      c.usable = false;
    }
  }
  // Length modifiers of C and of the Microsoft runtime. Any of them turns
  // "%s" into something other than a narrow string.
  while (pos < format.size() && IsOneOf(format[pos], "hlLjztqwI3264")) {
    c.usable = false;
    ++pos;
  }
  if (pos >= format.size()) {
    c.cut_off = true;
    c.end = format.size();
    return c;
  }
  c.character = format[pos];
  c.end = pos + 1;
  return c;
}

void FormatTo(TextSink& out, std::string_view format, std::span<const char* const> args) {
  std::size_t next_arg = 0;
  std::size_t pos = 0;
  while (pos < format.size()) {
    const std::size_t percent = std::min(format.find('%', pos), format.size());
    if (percent > pos) {
      out.Append(format.substr(pos, percent - pos));
      pos = percent;
      continue;
    }
    const Conversion c = ParseConversion(format, pos);
    if (c.character == '%') {
      out.Append("%");
    } else if (c.character != 's' || !c.usable || next_arg >= args.size()) {
      out.Append(format.substr(pos, c.end - pos));  // printed as it stands
    } else {
      const char* arg = args[next_arg++];
      if (arg == nullptr) arg = "(null)";
      const std::size_t length = c.has_precision ? strnlen(arg, c.precision) : std::strlen(arg);
      const std::size_t padding = c.width > length ? c.width - length : 0;
      if (!c.left) out.AppendBlanks(padding);
      out.Append(std::string_view(arg, length));
      if (c.left) out.AppendBlanks(padding);
    }
    pos = c.end;
  }
}

std::string FormatText(std::string_view format, std::span<const char* const> args) {
  class StringSink final : public TextSink {
   public:
    void Append(std::string_view piece) override { text.append(piece); }
    void AppendBlanks(std::size_t count) override { text.append(count, ' '); }
    std::string text;
  } sink;
  FormatTo(sink, format, args);
  return sink.text;
}

const char* Decimal(std::uint32_t value, char (&buffer)[11]) {
  char* at = std::end(buffer) - 1;
  *at = '\0';
  do {
    *--at = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return at;
}

}  // namespace qsetup
