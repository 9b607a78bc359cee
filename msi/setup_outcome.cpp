#include "msi/setup_outcome.h"

#include <utility>
#include <vector>

#include "replace/restart_record.h"
#include "rules/force_code.h"
#include "rules/outcome.h"
#include "rules/package.h"

namespace qsetup::msi {

namespace {

// What the outcome table says of `exit_code`: the MSI sees nothing else of
// the run.
SetupOutcome OutcomeOfExitCode(std::uint32_t exit_code) {
  const std::string code = "SETUP.EXE exit code " + std::to_string(exit_code) + ": ";
  const Outcome* outcome = FirstOutcomeOf(exit_code);
  if (outcome == nullptr) return {false, code + "not a code that SETUP.EXE returns."};
  return {outcome->msi.succeeds, code + outcome->msi.words};
}

}  // namespace

std::string WindowsErrorText(WinError error) {
  return "Windows error " + std::to_string(error);
}

std::string RunLine(std::string_view program, const ProgramRun& run, std::uint32_t minutes) {
  const std::string name(program);
  switch (run.end) {
    case ProgramRun::End::kNotStarted:
      return name + " could not be run: " + WindowsErrorText(run.error) + ".";
    case ProgramRun::End::kExited:
      return name + " exit code " + std::to_string(run.exit_code) + ".";
    case ProgramRun::End::kExitCodeUnknown:
      return name + " ran, but its exit code could not be read: " + WindowsErrorText(run.error) +
             ".";
    case ProgramRun::End::kRanOut:
      break;
  }
  return name + " did not end within " + std::to_string(minutes) + " minutes; " +
         (run.ended ? "ended." : "it could not be ended.");
}

SetupOutcome OutcomeOfSetupRun(const ProgramRun& run) {
  if (run.end == ProgramRun::End::kExited) return OutcomeOfExitCode(run.exit_code);
  return {false, RunLine(kSetupProgramName, run, kSetupMinutes)};
}

RestartRequest RequestOfRestartRecord(RegistryReader& registry) {
  const std::string record = "HKEY_LOCAL_MACHINE\\" + RestartRecordPath();
  WinError error = kErrorSuccess;
  if (RestartRecorded(registry, &error)) {
    return {true, "A restart is owed (" + record +
                      " is there until Windows starts again): the installation asks for it."};
  }
  if (error != kErrorSuccess) {
    return {false, record + " could not be read: " + WindowsErrorText(error) +
                       "; the installation asks for no restart."};
  }
  return {false, "No restart is owed."};
}

namespace {

std::vector<std::string> SplitArguments(std::string_view command_line) {
  std::vector<std::string> arguments;
  std::string argument;
  bool in_argument = false;  // an empty pair of quotes is an argument too
  bool quoted = false;
  std::size_t backslashes = 0;  // not yet written: what they mean depends on the next byte
  for (std::size_t i = 0; i < command_line.size(); ++i) {
    const char c = command_line[i];
    if (c == '\\') {
      ++backslashes;
      in_argument = true;
      continue;
    }
    if (c == '"') {
      argument.append(backslashes / 2, '\\');
      if (backslashes % 2 == 1) {
        argument += '"';
      } else if (quoted && i + 1 < command_line.size() && command_line[i + 1] == '"') {
        argument += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
      backslashes = 0;
      in_argument = true;
      continue;
    }
    argument.append(backslashes, '\\');
    backslashes = 0;
    if ((c == ' ' || c == '\t') && !quoted) {
      if (in_argument) arguments.push_back(std::exchange(argument, {}));
      in_argument = false;
      continue;
    }
    argument += c;
    in_argument = true;
  }
  argument.append(backslashes, '\\');
  if (in_argument) arguments.push_back(std::move(argument));
  return arguments;
}

}  // namespace

std::optional<std::string> InvalidForceCode(std::string_view switches) {
  for (std::string& argument : SplitArguments(switches)) {
    if (ClassifyForceCode(argument) == ForceCode::kInvalid) return std::move(argument);
  }
  return std::nullopt;
}

bool OutputLineIsAnsi(std::string_view line) {
  return line.find("= >") != std::string_view::npos && line.back() == '<';
}

}  // namespace qsetup::msi
