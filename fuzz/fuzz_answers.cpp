// Three answer words and the lines typed (NUL-separated: no, yes, cancel,
// then standard input) -> the overwrite question's answer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/messages.h"
#include "deploy/question.h"
#include "fakes/fake_console_io.h"
#include "fakes/fake_deploy_os.h"
#include "fakes/fake_system_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qsetup;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (words.size() < 3) {
    const std::size_t nul = input.find('\0', pos);
    words.push_back(input.substr(pos, nul == std::string::npos ? std::string::npos : nul - pos));
    pos = nul == std::string::npos ? input.size() : nul + 1;
  }

  // A catalog whose answer words are the fuzzed ones.
  std::vector<const char*> table(BuiltinMessages(), BuiltinMessages() + kMessageCount);
  for (int i = 0; i < 3; ++i)
    table[static_cast<std::size_t>(i)] = words[static_cast<std::size_t>(i)].c_str();

  testing::FakeDeployOs os;
  testing::FakeSystemDirectory system;
  testing::FakeConsoleIo io;
  io.in = input.substr(pos);
  Console console(io);
  const DeployContext ctx{os, system, console, MessageTable(table.data()), false};
  const int answer = AskQuestion(ctx, "Do you want to copy anyway? (y/n):\n", false);
  if (answer < 0 || answer > 2) __builtin_trap();
  return 0;
}
