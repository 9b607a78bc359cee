// Compiling the messages of SETUP.EXE's events: the English table
// (driver/event_messages.h) and its translations into one message file (.mc)
// of every language, which windmc compiles into the message table of the
// program's resources. The translations are entries of the catalogs' PO
// sources whose context names an event ("event 2") or the label of a fact
// ("event fact 9"); msgid is the English text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qsetup::nlsc {

// A language of the message table.
struct EventLanguage {
  std::string name;    // its name in the message file, and that of its table's .bin file
  std::uint16_t id;    // the language id of its table
  std::string source;  // its PO source's name, for faults; empty: the English table
  std::string po_text;
};

// The insertions of `text` as FormatMessage reads them, "%1" to "%99", in
// their order; nullopt when a "%" in it begins anything else.
std::optional<std::vector<int>> Insertions(std::string_view text);

struct EventCompileResult {
  std::string text;                 // the message file in UTF-8; empty when `errors` is not
  std::vector<std::string> errors;  // each as "SOURCE:LINE: event N: ..."
};

// Compiles the messages in `languages`, in their order. Every translation
// must give every message and every label once, from the current English
// text, as one paragraph that keeps the English text's insertions and has
// no other "%".
EventCompileResult CompileEvents(std::span<const EventLanguage> languages);

}  // namespace qsetup::nlsc
