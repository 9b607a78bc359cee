// Language selection and the catalog files that replace the built-in texts.
//
// A catalog file is a signed count byte followed by that many NUL-terminated
// texts in message-number order, read as text: CR LF reads as LF and the
// first Ctrl-Z ends the data.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "catalog/catalog_os.h"
#include "console/console.h"

namespace qsetup {

// A language that has a catalog file. Its language index is its row in
// kLanguages.
struct Language {
  const char* file_name;                  // under the source directory, beginning with a backslash
  std::array<std::uint16_t, 5> lang_ids;  // the whole ids that choose it; 0 ends the list
};

// Every language, by language index. The last row has no ids: it serves every
// id that no other row names. Adding a language takes one row here and its
// translation source.
inline constexpr Language kLanguages[] = {
    {"\\nls\\french.nls", {0x040C, 0x080C, 0x0C0C, 0x100C, 0x040B}},  // Finnish systems too
    {"\\nls\\german.nls", {0x0407, 0x0807, 0x0C07}},
    {"\\nls\\spanish.nls", {0x040A, 0x080A, 0x0C0A}},
    {"\\nls\\japanese.nls", {0x0411}},
    {"\\nls\\english.nls", {}},
};
inline constexpr int kLanguageCount = static_cast<int>(std::size(kLanguages));
inline constexpr int kEnglishLanguage = kLanguageCount - 1;

// Text of the table entries that a catalog file does not supply.
inline constexpr const char kPlaceholderMessage[] = "Unknown Message";

// Catalog file name of a language index, beginning with a backslash; null
// for an index that names no language.
const char* CatalogFileName(int lang_index);

// The language index for a 16-bit language id.
int LanguageIndexOf(std::uint16_t lang_id);

// What the catalog loader works with, and the one table it may hold from a
// successful loadlangtbl until freelangtbl.
struct CatalogStore {
  CatalogStore(CatalogOs& os_in, Console& console_in, std::string source_dir_in)
      : os(os_in), console(console_in), source_dir(std::move(source_dir_in)) {}

  CatalogOs& os;
  Console& console;
  std::string source_dir;

  std::unique_ptr<char[]> text;  // the file's data after the count byte
  std::unique_ptr<const char*[]> table;
};

// The language index for the system's default language.
int getlangindex(CatalogOs& os);

// Loads the catalog file of `lang_index` from the nls directory under the
// source directory. On success returns 0 and points `table` at a table of at
// least `table_size` entries, all set. On failure returns -1 and leaves
// `table` as it was.
int loadlangtbl(CatalogStore& store, const char* const*& table, int table_size, int lang_index);

// Releases the table of a successful loadlangtbl.
void freelangtbl(CatalogStore& store, const char* const*& table);

}  // namespace qsetup
