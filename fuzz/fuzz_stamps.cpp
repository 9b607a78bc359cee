// Two files' bytes (split at the first 0xFF 0xFE 0xFD) -> version-stamp
// comparison both ways, and the pattern search against a plain search.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/messages.h"
#include "deploy/version_stamp.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_system_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qsetup;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find("\xFF\xFE\xFD");
  const std::string first = input.substr(0, split);
  const std::string second = split == std::string::npos ? std::string() : input.substr(split + 3);

  testing::FakeDeployOs os;
  testing::FakeSystemDirectory system;
  os.AddFile("C:\\a", first);
  os.AddFile("C:\\b", second);
  testing::FakeConsoleIo io;
  Console console(io);
  const DeployContext ctx{os, system, console, MessageTable(BuiltinMessages()), false};
  const int forward = CompareVersionStamps(ctx, "C:\\a", "C:\\b");
  const int backward = CompareVersionStamps(ctx, "C:\\b", "C:\\a");
  if (forward < -1 || forward > 1) __builtin_trap();
  // Equal stays equal and older turns newer when the files change places;
  // a failed comparison reads 1 both ways.
  if (forward == 0 && backward != 0) __builtin_trap();
  if (forward == -1 && backward != 1) __builtin_trap();

  // The first bytes of the first file as a pattern, searched in the second.
  const std::size_t m = first.empty() ? 0 : static_cast<unsigned char>(first[0]) % 8;
  const std::string pattern = first.substr(std::min<std::size_t>(1, first.size()), m);
  const char* found =
      FindPattern(pattern.c_str(), second.data(), static_cast<std::ptrdiff_t>(second.size()));
  const auto expected = std::search(second.begin(), second.end(), pattern.begin(), pattern.end());
  if (pattern.find('\0') == std::string::npos && pattern.size() <= second.size()) {
    const char* want = expected == second.end() && !pattern.empty()
                           ? nullptr
                           : second.data() + (expected - second.begin());
    if (found != want) __builtin_trap();
  }
  return 0;
}
