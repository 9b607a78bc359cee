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

// The escapes that stand for one character: the letter after the backslash,
// and the character.
constexpr char kEscapes[][2] = {{'n', '\n'}, {'r', '\r'}, {'t', '\t'}, {'a', '\a'}, {'b', '\b'},
                                {'f', '\f'}, {'v', '\v'}, {'"', '"'},  {'\\', '\\'}};

// Reads the value of the escape that `e` began (the character after the
// backslash), from `pos` on, onto `out`. Returns an error text, empty on
// success.
std::string ReadEscape(char e, std::string_view line, std::size_t& pos, std::string& out) {
  for (const auto& [letter, character] : kEscapes) {
    if (e == letter) {
      out.push_back(character);
      return {};
    }
  }
  if (e == 'x') {
    int value = 0;
    int digits = 0;
    while (pos < line.size() && HexValue(line[pos]) >= 0 && digits < 2) {
      value = value * 16 + HexValue(line[pos++]);
      ++digits;
    }
    if (digits == 0) return "\\x without hexadecimal digits";
    out.push_back(static_cast<char>(value));
    return {};
  }
  if (IsOctal(e)) {
    int value = e - '0';
    for (int digits = 1; digits < 3 && pos < line.size() && IsOctal(line[pos]); ++digits) {
      value = value * 8 + (line[pos++] - '0');
    }
    out.push_back(static_cast<char>(value & 0xFF));
    return {};
  }
  return std::string("unknown escape \\") + e;
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
    if (std::string error = ReadEscape(e, line, pos, out); !error.empty()) return error;
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

// Reads a PO file line by line into its entries.
class PoParser {
 public:
  PoParseResult Parse(std::string_view text);

 private:
  // Each returns false once a fault ended the parse, which `result_` holds.
  bool ReadLine(std::string_view line);
  bool Fail(std::string message);
  // The field that the keyword at `pos` begins, in the current entry or in
  // a new one; `pos` moves to its string. Null after a fault.
  std::string* StartField(std::string_view line, std::size_t& pos);
  // The field that a string alone on its line continues; null after a fault.
  std::string* ContinuedField();
  void Finish();

  PoParseResult result_;
  PoEntry entry_;
  bool have_entry_ = false;  // a keyword of `entry_` was read
  bool pending_fuzzy_ = false;
  Field field_ = Field::kNone;
  int line_number_ = 0;
};

PoParseResult PoParser::Parse(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number_;
    if (line_number_ == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    if (!ReadLine(line)) return result_;
  }
  if (have_entry_ && field_ != Field::kStr) {
    Fail("entry without msgstr");
    return result_;
  }
  Finish();
  return result_;
}

bool PoParser::ReadLine(std::string_view line) {
  std::size_t pos = 0;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos == line.size()) return true;

  if (line[pos] == '#') {
    // A comment after msgstr starts the next entry.
    if (field_ == Field::kStr) Finish();
    if (line.substr(pos).starts_with("#,") &&
        line.substr(pos).find("fuzzy") != std::string_view::npos) {
      pending_fuzzy_ = true;
    }
    return true;
  }

  std::string* target = line[pos] == '"' ? ContinuedField() : StartField(line, pos);
  if (target == nullptr) return false;
  std::string error = ReadQuoted(line, pos, *target);
  if (!error.empty()) return Fail(error);
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos != line.size()) return Fail("text after the closing quote");
  return true;
}

bool PoParser::Fail(std::string message) {
  result_.error_line = line_number_;
  result_.error = std::move(message);
  result_.entries.clear();
  return false;
}

std::string* PoParser::ContinuedField() {
  switch (field_) {
    case Field::kCtxt:
      return &*entry_.msgctxt;
    case Field::kId:
      return &entry_.msgid;
    case Field::kStr:
      return &entry_.msgstr;
    case Field::kNone:
      break;
  }
  Fail("string outside an entry");
  return nullptr;
}

std::string* PoParser::StartField(std::string_view line, std::size_t& pos) {
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
    Fail(Keyword(keyword, " is not a keyword of a catalog entry"));
    return nullptr;
  }
  // A keyword that cannot continue the current entry begins a new one.
  if (next == Field::kCtxt || (next == Field::kId && field_ != Field::kCtxt)) {
    if (have_entry_ && field_ != Field::kStr) {
      Fail("entry without msgstr");
      return nullptr;
    }
    Finish();
  }
  if (next == Field::kStr && field_ != Field::kId) {
    Fail(Keyword(keyword, " out of order"));
    return nullptr;
  }
  if (!have_entry_) {
    entry_.line = line_number_;
    entry_.fuzzy = pending_fuzzy_;
    pending_fuzzy_ = false;
    have_entry_ = true;
  }
  field_ = next;
  if (field_ == Field::kCtxt) entry_.msgctxt.emplace();
  pos = word_end;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos == line.size() || line[pos] != '"') {
    Fail(Keyword(keyword, " without a string"));
    return nullptr;
  }
  return ContinuedField();
}

void PoParser::Finish() {
  if (have_entry_) result_.entries.push_back(std::move(entry_));
  entry_ = PoEntry{};
  have_entry_ = false;
  field_ = Field::kNone;
}

}  // namespace

PoParseResult ParsePo(std::string_view text) {
  return PoParser().Parse(text);
}

bool IsEventContext(std::string_view msgctxt) {
  return msgctxt.starts_with(kEventContext);
}

std::string Describe(std::string_view file, const Diagnostic& diagnostic) {
  std::string out(file);
  if (diagnostic.line > 0) out.append(":").append(std::to_string(diagnostic.line));
  out.append(": ");
  if (diagnostic.message >= 0) {
    out.append("message ").append(std::to_string(diagnostic.message)).append(": ");
  }
  return out.append(diagnostic.text);
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
