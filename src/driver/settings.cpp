#include "driver/settings.h"

#include <cstring>

#include "base/ascii.h"

namespace qsetup {

SwitchResult ParseSwitches(int argc, char** argv, RunSettings& settings, Console& console) {
  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    for (char* p = arg; *p != '\0'; ++p) *p = AsciiUpper(*p);

    if (std::strcmp(arg, "/X") == 0 || std::strcmp(arg, "-X") == 0 || std::strcmp(arg, "/Q") == 0 ||
        std::strcmp(arg, "-Q") == 0) {
      settings.unattended = true;
    } else if (std::strcmp(arg, "/D") == 0 || std::strcmp(arg, "-D") == 0) {
      settings.verbose = true;
    } else if (std::strcmp(arg, "/H") == 0 || std::strcmp(arg, "-H") == 0) {
      settings.unattended = true;
      settings.skip_hid = true;
    }

    switch (ClassifyForceCode(arg)) {
      case ForceCode::kInvalid:
        console.PrintText("Invalid force code!\n");
        return SwitchResult::kInvalidForceCode;
      case ForceCode::kUsb:
        settings.force_code = kForceUsb;
        console.PrintText("Skipping hardware detection - forcing Taskel.\n");
        break;
      case ForceCode::kNone:
        break;
    }
  }
  return SwitchResult::kContinue;
}

}  // namespace qsetup
