// A command line (arguments separated by NUL bytes; the first is the command
// path) -> run settings and source directory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qsetup;
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  const std::string command_path = args[0];
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  testing::FakeConsoleIo io;
  Console console(io);
  RunSettings settings;
  ParseSwitches(static_cast<int>(args.size()), argv.data(), settings, console);
  if (settings.skip_hid && !settings.unattended) __builtin_trap();
  if (settings.force_code != 0 && settings.force_code != 'U') __builtin_trap();
  if (args[0] != command_path) __builtin_trap();  // the command path is never changed

  testing::FakeSourceDirectoryOs os;
  os.lead_low = 0x81;  // a double-byte code page
  os.lead_high = 0x9F;
  os.current_dir = "D:\\work";
  const std::string source = DeriveSourceDirectory(command_path.c_str(), os);
  // The source directory is "." or a leading part of the command path, with
  // at most the current drive put in front.
  const bool leading = command_path.compare(0, source.size(), source) == 0;
  const bool with_drive = source.size() >= 2 && source.compare(0, 2, "d:") == 0 &&
                          command_path.compare(0, source.size() - 2, source, 2) == 0;
  if (source != "." && !leading && !with_drive) __builtin_trap();
  return 0;
}
