#include "status/status.h"

#include "base/ascii.h"
#include "console/format.h"

namespace qsetup {
namespace {

// True when `arg` is the switch `name` ("JSON"), given as /NAME or -NAME in
// any letter case.
bool IsSwitch(std::string_view arg, std::string_view name) {
  return arg.size() == name.size() + 1 && (arg[0] == '/' || arg[0] == '-') &&
         EqualsIgnoringAsciiCase(arg.substr(1), name);
}

}  // namespace

int StatusMain(int argc, char** argv, StatusPlatform& platform) {
  bool json = false;
  bool skip_hid = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
    if (IsSwitch(arg, "JSON")) {
      json = true;
    } else if (IsSwitch(arg, "H")) {
      skip_hid = true;
    } else {
      // A report that a script could take for another one's is worse than
      // none: an argument that is not known makes none.
      const std::string shown = platform.os.AnsiToUtf8(std::string(arg)).value_or("?");
      const char* const values[] = {kStatusProgramName, shown.c_str()};
      platform.os.WriteError(
          FormatText("%s: unknown argument \"%s\"; the arguments are /JSON and /H.\r\n", values));
      return kStatusNoReport;
    }
  }
  const StatusReport report =
      SurveyMachine(platform, argc > 0 && argv[0] != nullptr ? argv[0] : "", skip_hid);
  if (!platform.os.WriteOut(json ? ReportJson(report) : ReportText(report))) {
    platform.os.WriteError(kStatusProgramName);
    platform.os.WriteError(": the report could not be written to standard output.\r\n");
    return kStatusNoReport;
  }
  return report.exit_code;
}

}  // namespace qsetup
