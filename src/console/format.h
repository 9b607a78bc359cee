// Formatting of message texts. Texts may come from a catalog file that anyone
// could have written, so formatting never trusts the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qsetup {

// Where formatted text goes, piece by piece.
class TextSink {
 public:
  virtual void Append(std::string_view piece) = 0;
  virtual void AppendBlanks(std::size_t count) = 0;

 protected:
  ~TextSink() = default;
};

// Formats `format` with `args` the way printf formats "%s" conversions:
// "%%" gives "%", and each "%s" (with its flags, width and precision) takes
// the next argument. Every other conversion, "%n" among them, and any "%s"
// left without an argument, is copied as it stands and takes no argument. A
// null argument prints as "(null)". Formatting itself allocates nothing.
void FormatTo(TextSink& out, std::string_view format, std::span<const char* const> args);

// The same, into a string.
std::string FormatText(std::string_view format, std::span<const char* const> args);

// The conversions of `format` in order, each as written ("%s", "%-10s", "%d",
// "%n"), as FormatText reads them; "%%" is not one. A conversion cut off by
// the end of the text is returned as it stands.
std::vector<std::string> Conversions(std::string_view format);

// `value` in decimal, written into `buffer`, which holds the longest with its
// NUL; returns where the text begins in it.
const char* Decimal(std::uint32_t value, char (&buffer)[11]);

}  // namespace qsetup
