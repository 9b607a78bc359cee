// Reading gettext PO files: the entries of a message catalog source.
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

}  // namespace qsetup::nlsc
