// Catalog file bytes -> message table -> every text formatted and printed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "catalog/catalog.h"
#include "catalog/messages.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qsetup;
  testing::FakeCatalogOs os;
  os.files.files["P\\\\nls\\english.nls"].data.assign(reinterpret_cast<const char*>(data), size);
  testing::FakeConsoleIo io;
  Console console(io);
  CatalogStore store(os, console, "P\\");
  const char* const* table = nullptr;
  if (loadlangtbl(store, table, kMessageCount, kEnglishLanguage) != 0) __builtin_trap();
  std::size_t total = 0;
  for (int i = 0; i < kMessageCount; ++i) {
    total += std::strlen(table[i]);
    // Every message is printed as a format, some with two path arguments.
    console.PrintText(table[i], "C:\\source\\FILE.DLL", "C:\\target\\FILE.DLL");
  }
  freelangtbl(store, table);
  return total > 0 ? 0 : 0;
}
