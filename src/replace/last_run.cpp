// Reading the record of the last run: the status report links this alone.
#include <string>

#include "replace/last_run.h"
#include "replace/restart_record.h"

namespace qsetup {
namespace {

constexpr char kProductKeyPath[] = "SOFTWARE\\Orvane\\Quillon 2 Setup";
static_assert(std::string_view(kProductKeyPath).ends_with(kProductKeyName));

}  // namespace

std::string_view NextWord(std::string_view& rest) {
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  const std::string_view word = rest.substr(0, rest.find(' '));
  rest.remove_prefix(word.size());
  return word;
}

bool ReadLastRun(RegistryReader& registry, LastRun& run, WinError& error) {
  RegistryKeyReaderPtr product;
  RegistryValue value;
  WinError status =
      registry.OpenLocalMachineKey(kProductKeyPath, kKeyQueryValue | kKey64BitView, product);
  if (status == kErrorSuccess) status = product->QueryValue(kLastRunValue, value);
  if (status == kErrorFileNotFound) return false;
  if (value.type != RegistryValue::Type::kString) status = kErrorInvalidData;
  // The stored form: the fields in their order, by blanks, the files last:
  // "1 1 2026-12-08T10:24:29Z 2.1.0 TELMXW.DLL TELMXSVC.EXE". The numbers
  // hold digits alone.
  std::string_view rest = value.text;
  for (int i = 0; i < kLastRunFields; ++i) {
    std::string_view word = NextWord(rest);
    if (i == kLastRunAtRestart) {
      word = {word.data(), value.text.data() + value.text.size()};
      while (word.ends_with(' ')) word.remove_suffix(1);
    }
    for (const char c : word) {
      if (i <= kLastRunEventId && (c < '0' || c > '9')) status = kErrorInvalidData;
    }
    if (word.empty() && i != kLastRunAtRestart) status = kErrorInvalidData;
    run.fields[i] = word;
  }
  if (status == kErrorSuccess) return true;
  error = status;
  for (std::string& field : run.fields) field.clear();
  return false;
}

}  // namespace qsetup
