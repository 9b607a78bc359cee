// Writing the record of the last run, which only SETUP.EXE does.
#include <string>

#include "console/format.h"
#include "replace/last_run.h"
#include "replace/restart_record.h"
#include "version.h"

namespace qsetup {

void RecordLastRun(RegistryOs& registry, std::uint32_t exit_code, std::uint32_t event,
                   const UtcTime& now, const std::vector<std::string>& at_restart) {
  char number[11];
  std::string stored = Decimal(exit_code, number);
  stored.append(1, ' ').append(Decimal(event, number)).append(1, ' ');
  // "YYYY-MM-DDThh:mm:ssZ": each field in its digits, zero-padded.
  const unsigned time[] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
  for (int i = 0; i < 6; ++i) {
    const unsigned width = i == 0 ? 4 : 2;
    char digits[4];
    for (unsigned value = time[i], d = width; d-- > 0; value /= 10) {
      digits[d] = static_cast<char>('0' + value % 10);
    }
    stored.append(digits, width).push_back("--T::Z"[i]);
  }
  stored.append(" " QSETUP_PRODUCT_VERSION);
  for (const std::string& file : at_restart) stored.append(1, ' ').append(file);

  RegistryKeyPtr software;
  RegistryKeyPtr product;
  bool created = false;
  if (registry.OpenLocalMachineKey("SOFTWARE", kKeyCreateSubKey | kKey64BitView, software) ==
          kErrorSuccess &&
      software->CreateSubkey(kProductKeyName, kKeySetValue, KeyLifetime::kStored, product,
                             created) == kErrorSuccess) {
    product->SetValue(kLastRunValue, {RegistryValue::Type::kString, std::move(stored)});
  }
}

}  // namespace qsetup
