// Compiling message catalog sources into catalog files: a count byte, then
// every message text in message-number order with its NUL, in the code page
// that the console of the language shows.
#pragma once

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

// Compiles the English table itself (`english`: kCatalogMessages texts) into
// `charset`.
CompileResult CompileEnglish(const char* const* english, const std::string& charset);

// Compiles a UTF-8 PO source whose entries carry the message number as
// msgctxt, the English text as msgid and the translation as msgstr. Every
// message must be present once, and each translation must keep the English
// text's conversions and line ends and fit in `charset`.
CompileResult CompilePo(std::string_view po_text, const char* const* english,
                        const std::string& charset);

// The printf conversions of `text` in order, each as written ("%s", "%-10s",
// "%d"); "%%" is not a conversion. A conversion cut off by the end of the
// text is returned as it stands.
std::vector<std::string> Conversions(std::string_view text);

// The answer a reply gets from the overwrite question with answer words
// `no`, `yes` and `cancel`: 0 cancel, 1 yes, 2 no, -1 none (asked again). The
// reply's leading blanks and control characters are skipped; a word matches
// when the reply begins with it, ASCII letters compared without case, tried
// in the order cancel, yes, no.
int AnswerFor(std::string_view reply, std::string_view no, std::string_view yes,
              std::string_view cancel);

}  // namespace qsetup::nlsc
