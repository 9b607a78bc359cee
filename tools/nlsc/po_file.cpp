#include "po_file.h"

#include <cstddef>

namespace qsetup::nlsc {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one quoted string starting at `pos` (at the opening quote) and
// appends its value to `out`. Returns an error text, empty on success.
std::string ReadQuoted(std::string_view line, std::size_t& pos, std::string& out) {
  ++pos;  // the opening quote
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == '"') return {};
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= line.size()) break;
    const char e = line[pos++];
    switch (e) {
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'a':
        out.push_back('\a');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'v':
        out.push_back('\v');
        break;
      case '"':
        out.push_back('"');
        break;
      case '\\':
        out.push_back('\\');
        break;
      case 'x': {
        int value = 0;
        int digits = 0;
        while (pos < line.size() && HexValue(line[pos]) >= 0 && digits < 2) {
          value = value * 16 + HexValue(line[pos++]);
          ++digits;
        }
        if (digits == 0) return "\\x without hexadecimal digits";
        out.push_back(static_cast<char>(value));
        break;
      }
      default:
        if (IsOctal(e)) {
          int value = e - '0';
          for (int digits = 1; digits < 3 && pos < line.size() && IsOctal(line[pos]); ++digits) {
            value = value * 8 + (line[pos++] - '0');
          }
          out.push_back(static_cast<char>(value & 0xFF));
          break;
        }
        return std::string("unknown escape \\") + e;
    }
  }
  return "string without its closing quote";
}

// `keyword` in quotes, followed by `rest`.
std::string Keyword(std::string_view keyword, std::string_view rest) {
  std::string out = "\"";
  out.append(keyword).append("\"").append(rest);
  return out;
}

enum class Field { kNone, kCtxt, kId, kStr };

}  // namespace

PoParseResult ParsePo(std::string_view text) {
  PoParseResult result;
  PoEntry entry;
  bool have_entry = false;  // a keyword of `entry` was read
  bool pending_fuzzy = false;
  Field field = Field::kNone;

  auto fail = [&](int line, std::string message) {
    result.error_line = line;
    result.error = std::move(message);
    result.entries.clear();
    return result;
  };
  auto finish = [&]() {
    if (have_entry) result.entries.push_back(std::move(entry));
    entry = PoEntry{};
    have_entry = false;
    field = Field::kNone;
  };

  int line_number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);

    std::size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size()) continue;

    if (line[pos] == '#') {
      // A comment after msgstr starts the next entry.
      if (field == Field::kStr) finish();
      if (line.substr(pos).starts_with("#,") &&
          line.substr(pos).find("fuzzy") != std::string_view::npos) {
        pending_fuzzy = true;
      }
      continue;
    }

    std::string* target = nullptr;
    if (line[pos] == '"') {
      switch (field) {
        case Field::kCtxt:
          target = &*entry.msgctxt;
          break;
        case Field::kId:
          target = &entry.msgid;
          break;
        case Field::kStr:
          target = &entry.msgstr;
          break;
        case Field::kNone:
          return fail(line_number, "string outside an entry");
      }
    } else {
      std::size_t word_end = pos;
      while (word_end < line.size() && !IsBlank(line[word_end]) && line[word_end] != '"') {
        ++word_end;
      }
      const std::string_view keyword = line.substr(pos, word_end - pos);
      Field next;
      if (keyword == "msgctxt") {
        next = Field::kCtxt;
      } else if (keyword == "msgid") {
        next = Field::kId;
      } else if (keyword == "msgstr") {
        next = Field::kStr;
      } else {
        return fail(line_number, Keyword(keyword, " is not a keyword of a catalog entry"));
      }
      // A keyword that cannot continue the current entry begins a new one.
      if (next == Field::kCtxt || (next == Field::kId && field != Field::kCtxt)) {
        if (have_entry && field != Field::kStr) return fail(line_number, "entry without msgstr");
        finish();
      }
      if (next == Field::kStr && field != Field::kId) {
        return fail(line_number, Keyword(keyword, " out of order"));
      }
      if (!have_entry) {
        entry.line = line_number;
        entry.fuzzy = pending_fuzzy;
        pending_fuzzy = false;
        have_entry = true;
      }
      field = next;
      if (field == Field::kCtxt) entry.msgctxt.emplace();
      target = field == Field::kCtxt ? &*entry.msgctxt
               : field == Field::kId ? &entry.msgid
                                     : &entry.msgstr;
      pos = word_end;
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos == line.size() || line[pos] != '"') {
        return fail(line_number, Keyword(keyword, " without a string"));
      }
    }

    std::string error = ReadQuoted(line, pos, *target);
    if (!error.empty()) return fail(line_number, error);
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos != line.size()) return fail(line_number, "text after the closing quote");
  }
  if (have_entry && field != Field::kStr) return fail(line_number, "entry without msgstr");
  finish();
  return result;
}

std::string EscapePo(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace qsetup::nlsc
