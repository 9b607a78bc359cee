// Reading gettext PO files: the entries of a message catalog source, what
// their contexts name, and how a fault in a source is reported.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qsetup::nlsc {

// One entry of a PO file, strings with their escapes resolved.
struct PoEntry {
  int line = 0;  // line of the entry's first keyword
  std::optional<std::string> msgctxt;
  std::string msgid;
  std::string msgstr;
  bool fuzzy = false;  // flagged "#, fuzzy"
};

struct PoParseResult {
  std::vector<PoEntry> entries;
  int error_line = 0;  // 0 when the file parsed
  std::string error;
};

// Parses the text of a PO file. Plural forms and obsolete ("#~") entries are
// not part of a message catalog: plural forms are a syntax error, obsolete
// entries are skipped. Stops at the first syntax error.
PoParseResult ParsePo(std::string_view text);

// `text` as a PO string literal body: the escapes that ParsePo resolves.
std::string EscapePo(std::string_view text);

// The contexts of the entries that translate the event messages: an event's
// text ("event 2") and the label of a fact ("event fact 9"). The catalogs'
// entries carry their message number instead.
inline constexpr std::string_view kEventContext = "event ";
inline constexpr std::string_view kEventFactContext = "event fact ";

// True for the context of an entry that holds an event's text or a fact's
// label, which the catalogs leave out.
bool IsEventContext(std::string_view msgctxt);

// A fault found in a source. `line` is 0 and `message` -1 where they do not
// apply.
struct Diagnostic {
  int line = 0;
  int message = -1;
  std::string text;
};

// "file:line: message N: text", leaving out what does not apply.
std::string Describe(std::string_view file, const Diagnostic& diagnostic);

}  // namespace qsetup::nlsc
