#include "status/json_writer.h"

#include "console/format.h"

namespace qsetup {
namespace {

// Decodes one UTF-8 sequence at `at` (advancing it); U+FFFD for a byte that
// does not begin a well-formed one (overlong forms, surrogates and values
// beyond U+10FFFF included).
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at++);
  if (lead < 0x80) return lead;
  std::size_t more = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (text.size() - at < more) return 0xFFFD;
  for (std::size_t i = 0; i < more; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0xFFFD;
    value = value << 6 | (byte(at + i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
  at += more;
  return value;
}

void AppendUnit(std::string& out, std::uint32_t unit) {
  constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// Appends `text` as JsonOut::String writes it.
void AppendString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = NextCodePoint(text, at);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c < 0x10000) {
      AppendUnit(out, c);
    } else {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  out += '"';
}

}  // namespace

void JsonOut::Begin(const char* key, char bracket) {
  Name(key);
  out_ += bracket;
  first_ = true;
}

void JsonOut::End(char bracket) {
  out_ += bracket;
  first_ = false;
}

void JsonOut::String(const char* key, std::string_view text) {
  Name(key);
  AppendString(out_, text);
}

void JsonOut::MaybeString(const char* key, const char* text) {
  if (text != nullptr) {
    String(key, text);
  } else {
    Raw(key, "null");
  }
}

void JsonOut::Bool(const char* key, std::optional<bool> value) {
  Raw(key, value ? (*value ? "true" : "false") : "null");
}

void JsonOut::Number(const char* key, std::optional<std::uint32_t> value) {
  char buffer[11];
  Raw(key, value ? Decimal(*value, buffer) : "null");
}

void JsonOut::Raw(const char* key, const char* text) {
  Name(key);
  out_ += text;
}

void JsonOut::EndLine() {
  out_ += "\r\n";
}

void JsonOut::Name(const char* key) {
  if (!first_) out_ += ',';
  first_ = false;
  if (key == nullptr) return;
  out_.append("\"").append(key).append("\":");
}

}  // namespace qsetup
