#include "catalog/catalog.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace qsetup {
namespace {

// Slack after the data: the loader ends a last text that the data cuts off
// without its NUL inside this reserve.
constexpr std::size_t kTextReserve = 20;

constexpr char kCtrlZ = 0x1A;

// Text-mode translation in place: CR LF becomes LF, and the first Ctrl-Z
// ends the data. Returns the length of the translated data.
std::size_t TranslateText(char* data, std::size_t length) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < length; ++in) {
    const char c = data[in];
    if (c == kCtrlZ) break;
    if (c == '\r' && in + 1 < length && data[in + 1] == '\n') continue;
    data[out++] = c;
  }
  return out;
}

}  // namespace

const char* CatalogFileName(int lang_index) {
  if (lang_index < 0 || lang_index >= kLanguageCount) return nullptr;
  return kLanguages[lang_index].file_name;
}

int LanguageIndexOf(std::uint16_t lang_id) {
  for (int index = 0; index < kEnglishLanguage; ++index) {
    for (const std::uint16_t id : kLanguages[index].lang_ids) {
      if (id == 0) break;
      if (id == lang_id) return index;
    }
  }
  return kEnglishLanguage;
}

int getlangindex(CatalogOs& os) {
  return LanguageIndexOf(os.SystemDefaultLangId());
}

int loadlangtbl(CatalogStore& store, const char* const*& table, int table_size, int lang_index) {
  const char* file_name = CatalogFileName(lang_index);
  if (file_name == nullptr || table_size < 0) return -1;

  ReadableFilePtr file = store.os.OpenForReading(store.source_dir + file_name);
  if (!file) return -1;

  // A size that cannot be read, or that no buffer could hold, fails like an
  // allocation would.
  const std::optional<std::uint64_t> size = file->Size();
  const bool size_fits =
      size && *size <= std::numeric_limits<std::size_t>::max() - kTextReserve - 1;
  const std::size_t length = size_fits ? static_cast<std::size_t>(*size) : 0;
  std::unique_ptr<char[]> raw(size_fits ? new (std::nothrow) char[length + kTextReserve] : nullptr);

  // The whole file in one request, then text translation in place; the count
  // byte is the first byte of the translated data.
  std::size_t data_length = 0;
  if (raw) {
    std::size_t got = 0;
    while (got < length) {
      const std::size_t n = file->Read(raw.get() + got, length - got);
      if (n == 0) break;
      got += n;
    }
    data_length = TranslateText(raw.get(), got);
  }
  const int count = data_length > 0 ? static_cast<signed char>(raw[0]) : 0;
  const std::size_t entries = static_cast<std::size_t>(std::max(table_size, count));
  std::unique_ptr<const char*[]> pointers(new (std::nothrow) const char*[entries]);
  if (!raw || !pointers) {
    store.console.PrintText("failed to allocate memory\n\r");
    return -1;
  }

  // The texts follow the count byte. A NUL after the data ends a last text
  // that the data cuts off; the reserve always has room for it.
  char* const text = raw.get() + 1;
  const std::size_t text_length = data_length > 0 ? data_length - 1 : 0;
  text[text_length] = '\0';

  int taken = 0;
  std::size_t pos = 0;
  while (taken < count && pos < text_length) {
    pointers[static_cast<std::size_t>(taken++)] = text + pos;
    while (text[pos] != '\0') ++pos;
    ++pos;
  }
  for (int i = taken; i < table_size; ++i)
    pointers[static_cast<std::size_t>(i)] = kPlaceholderMessage;
  for (std::size_t i = static_cast<std::size_t>(std::max(taken, table_size)); i < entries; ++i) {
    pointers[i] = kPlaceholderMessage;
  }

  store.text = std::move(raw);
  store.table = std::move(pointers);
  table = store.table.get();
  return 0;
}

void freelangtbl(CatalogStore& store, const char* const*& table) {
  if (table == store.table.get()) table = nullptr;
  store.text.reset();
  store.table.reset();
}

}  // namespace qsetup
