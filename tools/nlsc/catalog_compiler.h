// Compiling message catalog sources into catalog files: a count byte, then
// every message text in message-number order with its NUL, in the code page
// that the console of the language shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "po_file.h"

namespace qsetup::nlsc {

// Entries that hold file and directory names, identical in every language.
inline constexpr int kFirstFixedName = 58;
inline constexpr int kLastFixedName = 67;

struct CompileResult {
  std::string bytes;  // the catalog file; empty when `errors` is not
  std::vector<Diagnostic> errors;
};

// Compiles the English table itself (`english`: kMessageCount texts) into
// `charset`.
CompileResult CompileEnglish(const char* const* english, const std::string& charset);

// Compiles a UTF-8 PO source whose entries carry the message number as
// msgctxt, the English text as msgid and the translation as msgstr. Every
// message must be present once, and each translation must keep the English
// text's conversions and line ends and fit in `charset`.
CompileResult CompilePo(std::string_view po_text, const char* const* english,
                        const std::string& charset);

}  // namespace qsetup::nlsc
