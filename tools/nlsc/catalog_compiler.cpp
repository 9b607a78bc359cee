#include "catalog_compiler.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "console/format.h"
#include "deploy/answer_words.h"
#include "event_compiler.h"
#include "po_file.h"

namespace qsetup::nlsc {
namespace {

// The widest line a console of 80 columns shows without wrapping. Lines are
// measured in the catalog's code page, a byte to a column, as the console
// shows them: a double-byte character of an East Asian code page takes two.
constexpr std::size_t kMaxLineColumns = 79;

// The columns that each conversion counts for: "%s" holds a file name such as
// TELMXSVC.EXE, and no 32-bit "%d" is wider.
constexpr std::size_t kConversionColumns = 12;

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

// `text` as a C string literal, for messages.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out.push_back(c);
    }
  }
  return out + "\"";
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

namespace {

bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// Where a text's line ends lie: its leading and trailing runs of line feeds
// and carriage returns, and the runs inside that are more than one plain line
// feed (blank lines, carriage returns). Single line feeds inside a text may
// move, since a translation wraps its lines where its words fall.
struct LineEndShape {
  std::string leading;
  std::string trailing;
  std::vector<std::string> inner;
  bool operator==(const LineEndShape&) const = default;
};

LineEndShape ShapeOf(std::string_view text) {
  LineEndShape shape;
  std::size_t begin = 0;
  while (begin < text.size() && IsLineEnd(text[begin])) ++begin;
  shape.leading = text.substr(0, begin);
  std::size_t end = text.size();
  while (end > begin && IsLineEnd(text[end - 1])) --end;
  shape.trailing = text.substr(end);
  for (std::size_t pos = begin; pos < end;) {
    if (!IsLineEnd(text[pos])) {
      ++pos;
      continue;
    }
    std::size_t run_end = pos;
    while (run_end < end && IsLineEnd(text[run_end])) ++run_end;
    std::string_view run = text.substr(pos, run_end - pos);
    if (run != "\n") shape.inner.emplace_back(run);
    pos = run_end;
  }
  return shape;
}

std::string JoinQuoted(const std::vector<std::string>& items) {
  if (items.empty()) return "none";
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += " ";
    out += Quoted(item);
  }
  return out;
}

// The faults of one converted text compared with its English original.
void CheckText(std::string_view text, std::string_view english, int number, int line,
               std::vector<Diagnostic>& errors) {
  auto report = [&](std::string message) { errors.push_back({line, number, std::move(message)}); };
  if (text.find('\0') != std::string_view::npos) report("the text holds a NUL byte");
  if (text.find('\x1A') != std::string_view::npos) {
    report("the text holds the byte 0x1A, which ends a catalog file");
  }
  const std::vector<std::string> conversions = Conversions(text);
  const std::vector<std::string> english_conversions = Conversions(english);
  if (conversions != english_conversions) {
    report("conversions " + JoinQuoted(conversions) + " differ from the English text's " +
           JoinQuoted(english_conversions));
  }
  const LineEndShape shape = ShapeOf(text);
  const LineEndShape english_shape = ShapeOf(english);
  if (shape.leading != english_shape.leading) {
    report("begins with line ends " + Quoted(shape.leading) + ", the English text with " +
           Quoted(english_shape.leading));
  }
  if (shape.trailing != english_shape.trailing) {
    report("ends with line ends " + Quoted(shape.trailing) + ", the English text with " +
           Quoted(english_shape.trailing));
  }
  if (shape.inner != english_shape.inner) {
    report("blank lines or carriage returns inside the text (" + JoinQuoted(shape.inner) +
           ") differ from the English text's (" + JoinQuoted(english_shape.inner) + ")");
  }
  std::size_t line_start = 0;
  for (std::size_t pos = 0; pos <= text.size(); ++pos) {
    if (pos < text.size() && !IsLineEnd(text[pos])) continue;
    const std::string_view shown = text.substr(line_start, pos - line_start);
    std::size_t columns = shown.size();
    for (const std::string& conversion : Conversions(shown)) {
      columns = columns - conversion.size() + kConversionColumns;
    }
    if (columns > kMaxLineColumns) {
      report("a line is " + std::to_string(columns) + " columns wide, each conversion counted as " +
             std::to_string(kConversionColumns) + ", more than " + std::to_string(kMaxLineColumns));
    }
    line_start = pos + 1;
  }
}

const char* AnswerName(AnswerCode answer) {
  switch (answer) {
    case kAnswerNo:
      return "no";
    case kAnswerYes:
      return "yes";
    case kAnswerCancel:
      return "cancel";
  }
  return "?";
}

// The answer words must each give their own answer when typed, as the
// installer's own matching reads them.
void CheckAnswerWords(const std::vector<std::string>& texts, const std::vector<int>& lines,
                      std::vector<Diagnostic>& errors) {
  const AnswerWords words{texts[0].c_str(), texts[1].c_str(), texts[2].c_str()};
  const AnswerCode expected[] = {kAnswerNo, kAnswerYes, kAnswerCancel};  // by message number
  for (int number = 0; number < 3; ++number) {
    const std::string& word = texts[number];
    const std::optional<AnswerCode> answer = MatchAnswer(word.c_str(), words);
    if (answer == expected[number]) continue;
    errors.push_back({lines[number], number,
                      "typing the answer word " + Quoted(word) + " does not answer " +
                          AnswerName(expected[number]) + ": " +
                          (answer ? std::string("it answers ") + AnswerName(*answer)
                                  : std::string("the installer asks again"))});
  }
}

// Converts and checks every text, and assembles the catalog file.
CompileResult Assemble(const std::vector<std::string>& utf8_texts, const std::vector<int>& lines,
                       const char* const* english, const std::string& charset,
                       std::vector<Diagnostic> errors) {
  std::vector<std::string> texts(kCatalogMessages);
  for (int number = 0; number < kCatalogMessages; ++number) {
    std::string problem;
    std::optional<std::string> converted = ToCharset(utf8_texts[number], charset, problem);
    if (!converted) {
      errors.push_back({lines[number], number, problem});
      continue;
    }
    texts[number] = std::move(*converted);
    CheckText(texts[number], english[number], number, lines[number], errors);
  }
  CheckAnswerWords(texts, lines, errors);
  CompileResult result;
  if (!errors.empty()) {
    result.errors = std::move(errors);
    return result;
  }
  result.bytes.push_back(static_cast<char>(kCatalogMessages));
  for (const std::string& text : texts) {
    result.bytes += text;
    result.bytes.push_back('\0');
  }
  return result;
}

std::optional<int> MessageNumber(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text.size() > 3) return std::nullopt;
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// The charset a PO header names, or empty when it names none.
std::string HeaderCharset(std::string_view header) {
  const std::string_view key = "charset=";
  const std::size_t at = header.find(key);
  if (at == std::string_view::npos) return {};
  std::size_t end = at + key.size();
  while (end < header.size() && header[end] != '\n' && header[end] != ';' && header[end] != ' ') {
    ++end;
  }
  return std::string(header.substr(at + key.size(), end - at - key.size()));
}

}  // namespace

std::string Describe(std::string_view file, const Diagnostic& diagnostic) {
  std::string out(file);
  if (diagnostic.line > 0) out.append(":").append(std::to_string(diagnostic.line));
  out.append(": ");
  if (diagnostic.message >= 0) {
    out.append("message ").append(std::to_string(diagnostic.message)).append(": ");
  }
  return out.append(diagnostic.text);
}

CompileResult CompileEnglish(const char* const* english, const std::string& charset) {
  std::vector<std::string> texts(english, english + kCatalogMessages);
  return Assemble(texts, std::vector<int>(kCatalogMessages, 0), english, charset, {});
}

CompileResult CompilePo(std::string_view po_text, const char* const* english,
                        const std::string& charset) {
  const PoParseResult parsed = ParsePo(po_text);
  if (parsed.error_line != 0) {
    CompileResult result;
    result.errors.push_back({parsed.error_line, -1, parsed.error});
    return result;
  }

  std::vector<Diagnostic> errors;
  std::vector<std::string> texts(kCatalogMessages);
  std::vector<int> lines(kCatalogMessages, 0);
  std::vector<bool> seen(kCatalogMessages, false);
  for (const PoEntry& entry : parsed.entries) {
    if (entry.msgctxt && IsEventContext(*entry.msgctxt)) continue;
    if (!entry.msgctxt) {
      if (!entry.msgid.empty()) {
        errors.push_back({entry.line, -1, "an entry without a message number (msgctxt)"});
        continue;
      }
      const std::string declared = HeaderCharset(entry.msgstr);
      if (!declared.empty() && declared != "UTF-8" && declared != "utf-8") {
        errors.push_back(
            {entry.line, -1, "the header declares charset " + declared + "; sources are UTF-8"});
      }
      continue;
    }
    const std::optional<int> number = MessageNumber(*entry.msgctxt);
    if (!number || *number >= kCatalogMessages) {
      errors.push_back({entry.line, -1,
                        "extra message " + Quoted(*entry.msgctxt) +
                            ": messages are numbered 0 to " +
                            std::to_string(kCatalogMessages - 1)});
      continue;
    }
    const int n = *number;
    if (seen[n]) {
      errors.push_back(
          {entry.line, n, "extra message: already given on line " + std::to_string(lines[n])});
      continue;
    }
    seen[n] = true;
    lines[n] = entry.line;
    texts[n] = entry.msgstr;
    if (entry.msgid != english[n]) {
      errors.push_back({entry.line, n, "msgid is not the English text " + Quoted(english[n])});
    }
    if (entry.fuzzy) errors.push_back({entry.line, n, "the translation is marked fuzzy"});
    if (entry.msgstr.empty()) {
      errors.push_back({entry.line, n, "missing message: the translation is empty"});
    } else if (n >= kFirstFixedName && n <= kLastFixedName && entry.msgstr != english[n]) {
      errors.push_back({entry.line, n, "this name stays as in English: " + Quoted(english[n])});
    }
  }
  for (int n = 0; n < kCatalogMessages; ++n) {
    if (!seen[n]) errors.push_back({0, n, "missing message"});
  }
  if (!errors.empty()) {
    CompileResult result;
    result.errors = std::move(errors);
    return result;
  }
  return Assemble(texts, lines, english, charset, {});
}

}  // namespace qsetup::nlsc
