#include "console/format.h"

#include <cstring>

namespace qsetup {
namespace {

// Width and precision beyond this are not honoured: a conversion that asks
// for more is printed as it stands, so a hostile text cannot make the
// program write gigabytes of padding.
constexpr std::size_t kMaxFieldWidth = 4096;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
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

std::string FormatText(std::string_view format, std::span<const char* const> args) {
  std::string out;
  out.reserve(format.size());
  std::size_t next_arg = 0;
  std::size_t pos = 0;
  while (pos < format.size()) {
    const char c = format[pos];
    if (c != '%') {
      out.push_back(c);
      ++pos;
      continue;
    }
    const std::size_t start = pos++;
    if (pos < format.size() && format[pos] == '%') {
      out.push_back('%');
      ++pos;
      continue;
    }

    bool left = false;
    bool usable = true;  // false once the conversion cannot be honoured
    while (pos < format.size() && std::strchr("-+ #0", format[pos]) != nullptr &&
           format[pos] != '\0') {
      if (format[pos] == '-') left = true;
      ++pos;
    }
    std::size_t width = 0;
    if (pos < format.size() && format[pos] == '*') {
      usable = false;  // would take an integer argument, which no caller passes
      ++pos;
    } else if (!ReadNumber(format, pos, width)) {
      usable = false;
    }
    bool has_precision = false;
    std::size_t precision = 0;
    if (pos < format.size() && format[pos] == '.') {
      ++pos;
      has_precision = true;
      if (pos < format.size() && format[pos] == '*') {
        usable = false;
        ++pos;
      } else if (!ReadNumber(format, pos, precision)) {
        usable = false;
      }
    }
    // Length modifiers of C and of the Microsoft runtime. Any of them turns
    // "%s" into something other than a narrow string.
    while (pos < format.size() && std::strchr("hlLjztqwI3264", format[pos]) != nullptr &&
           format[pos] != '\0') {
      usable = false;
      ++pos;
    }
    if (pos >= format.size()) {
      out.append(format.substr(start));  // a conversion cut off by the end of the text
      break;
    }
    const char conversion = format[pos++];
    if (conversion != 's' || !usable || next_arg >= args.size()) {
      out.append(format.substr(start, pos - start));
      continue;
    }

    const char* arg = args[next_arg++];
    if (arg == nullptr) arg = "(null)";
    std::size_t length = has_precision ? strnlen(arg, precision) : std::strlen(arg);
    const std::size_t padding = width > length ? width - length : 0;
    if (!left) out.append(padding, ' ');
    out.append(arg, length);
    if (left) out.append(padding, ' ');
  }
  return out;
}

}  // namespace qsetup
