// Compiling message catalog sources into catalog files: a count byte, then
// every message text in message-number order with its NUL, in the code page
// that the console of the language shows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qsetup::nlsc {

inline constexpr int kCatalogMessages = 81;

// Entries that hold file and directory names, identical in every language.
inline constexpr int kFirstFixedName = 58;
inline constexpr int kLastFixedName = 67;

// A fault found in a source. `line` is 0 and `message` -1 where they do not
// apply.
struct Diagnostic {
  int line = 0;
  int message = -1;
  std::string text;
};

// "file:line: message N: text", leaving out what does not apply.
std::string Describe(std::string_view file, const Diagnostic& diagnostic);

struct CompileResult {
  std::string bytes;  // the catalog file; empty when `errors` is not
  std::vector<Diagnostic> errors;
};

// Converts UTF-8 `text` into the iconv charset `charset`. On failure returns
// nullopt and says why in `problem`: text that is not UTF-8, or the first
// character that `charset` cannot hold.
std::optional<std::string> ToCharset(std::string_view text, const std::string& charset,
                                     std::string& problem);

// Compiles the English table itself (`english`: kCatalogMessages texts) into
// `charset`.
CompileResult CompileEnglish(const char* const* english, const std::string& charset);

// Compiles a UTF-8 PO source whose entries carry the message number as
// msgctxt, the English text as msgid and the translation as msgstr. Every
// message must be present once, and each translation must keep the English
// text's conversions and line ends and fit in `charset`.
CompileResult CompilePo(std::string_view po_text, const char* const* english,
                        const std::string& charset);

}  // namespace qsetup::nlsc
