#include "catalog_compiler.h"

#include <charconv>
#include <optional>

#include "catalog/messages.h"
#include "charset.h"
#include "console/format.h"
#include "deploy/answer_words.h"
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
  std::vector<std::string> texts(kMessageCount);
  for (int number = 0; number < kMessageCount; ++number) {
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
  result.bytes.push_back(static_cast<char>(kMessageCount));
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

// The header of a source, the one entry without a message number: it may
// declare no charset but UTF-8. Any other such entry is a fault.
void CheckUnnumbered(const PoEntry& entry, std::vector<Diagnostic>& errors) {
  if (!entry.msgid.empty()) {
    errors.push_back({entry.line, -1, "an entry without a message number (msgctxt)"});
    return;
  }
  const std::string declared = HeaderCharset(entry.msgstr);
  if (!declared.empty() && declared != "UTF-8" && declared != "utf-8") {
    errors.push_back(
        {entry.line, -1, "the header declares charset " + declared + "; sources are UTF-8"});
  }
}

// The translations of a source by message number, each with its line, and
// the faults found in them.
struct SourceTexts {
  std::vector<std::string> texts = std::vector<std::string>(kMessageCount);
  std::vector<int> lines = std::vector<int>(kMessageCount, 0);
  std::vector<bool> seen = std::vector<bool>(kMessageCount, false);
  std::vector<Diagnostic> errors;
};

// Takes the numbered entry `entry` into `source`, checked against the
// English table.
void TakeMessage(const PoEntry& entry, const char* const* english, SourceTexts& source) {
  std::vector<Diagnostic>& errors = source.errors;
  const std::optional<int> number = MessageNumber(*entry.msgctxt);
  if (!number || *number >= kMessageCount) {
    errors.push_back({entry.line, -1,
                      "extra message " + Quoted(*entry.msgctxt) + ": messages are numbered 0 to " +
                          std::to_string(kMessageCount - 1)});
    return;
  }
  const int n = *number;
  if (source.seen[n]) {
    errors.push_back(
        {entry.line, n, "extra message: already given on line " + std::to_string(source.lines[n])});
    return;
  }
  source.seen[n] = true;
  source.lines[n] = entry.line;
  source.texts[n] = entry.msgstr;
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

}  // namespace

CompileResult CompileEnglish(const char* const* english, const std::string& charset) {
  std::vector<std::string> texts(english, english + kMessageCount);
  return Assemble(texts, std::vector<int>(kMessageCount, 0), english, charset, {});
}

CompileResult CompilePo(std::string_view po_text, const char* const* english,
                        const std::string& charset) {
  const PoParseResult parsed = ParsePo(po_text);
  if (parsed.error_line != 0) {
    CompileResult result;
    result.errors.push_back({parsed.error_line, -1, parsed.error});
    return result;
  }

  SourceTexts source;
  for (const PoEntry& entry : parsed.entries) {
    if (entry.msgctxt && IsEventContext(*entry.msgctxt)) continue;
    if (entry.msgctxt) {
      TakeMessage(entry, english, source);
    } else {
      CheckUnnumbered(entry, source.errors);
    }
  }
  for (int n = 0; n < kMessageCount; ++n) {
    if (!source.seen[n]) source.errors.push_back({0, n, "missing message"});
  }
  if (!source.errors.empty()) {
    CompileResult result;
    result.errors = std::move(source.errors);
    return result;
  }
  return Assemble(source.texts, source.lines, english, charset, {});
}

}  // namespace qsetup::nlsc
