#include "charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <type_traits>

namespace qsetup::nlsc {
namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Length of the UTF-8 sequence at `pos` and its code point, or 0 when the
// bytes there are not valid UTF-8.
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& code_point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  char32_t min;
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code_point = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code_point = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code_point = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(i) & 0x3F);
  }
  if (code_point < min || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

std::string CodePointName(char32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
  return buffer;
}

}  // namespace

std::optional<std::string> ToCharset(std::string_view text, const std::string& charset,
                                     std::string& problem) {
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c;
    const std::size_t length = DecodeUtf8(text, pos, c);
    if (length == 0) {
      problem = "the text is not valid UTF-8";
      return std::nullopt;
    }
    pos += length;
  }
  UniqueIconv cd(iconv_open(charset.c_str(), "UTF-8"));
  if (cd.get() == reinterpret_cast<iconv_t>(-1)) {
    cd.release();
    problem = "no conversion from UTF-8 to " + charset;
    return std::nullopt;
  }
  std::string out;
  std::string in_copy(text);
  char* in = in_copy.data();
  std::size_t in_left = in_copy.size();
  char buffer[256];
  while (in_left > 0) {
    char* out_ptr = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t rc = iconv(cd.get(), &in, &in_left, &out_ptr, &out_left);
    out.append(buffer, out_ptr);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      char32_t c = 0;
      DecodeUtf8(in_copy, static_cast<std::size_t>(in - in_copy.data()), c);
      problem = "character " + CodePointName(c) + " cannot be written in " + charset;
      return std::nullopt;
    }
  }
  char* out_ptr = buffer;
  std::size_t out_left = sizeof buffer;
  iconv(cd.get(), nullptr, nullptr, &out_ptr, &out_left);  // any closing shift sequence
  out.append(buffer, out_ptr);
  return out;
}

}  // namespace qsetup::nlsc
