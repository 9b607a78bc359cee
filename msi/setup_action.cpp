// The custom actions of the MSI package, in a DLL that the Windows Installer
// loads from the package:
// - ProtectFolder (deferred, as the system, before the files are installed)
//   gives the installed folder and what it holds permissions of their own,
//   or refuses a folder that someone else could have prepared;
// - RunSetup (deferred, as the system) runs SETUP.EXE from the installed
//   folder and writes its output into the MSI log, line by line;
//   SETUP.EXE still running after kSetupMinutes is ended;
// - RemoveService (deferred, as the system, on uninstall) leaves no QLN2Svc
//   service and no event source of SETUP.EXE behind, unless another product
//   of the upgrade code stays installed;
// - RequestRestart (immediate, after InstallFinalize) asks the installer for
//   a restart when SETUP.EXE's restart record says that one is owed: a
//   deferred action may not, and shares nothing else with it.
#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>
#include <vector>

#include "msi/action_log.h"
#include "msi/folder_security.h"
#include "msi/program_run.h"
#include "msi/service_removal.h"
#include "msi/setup_outcome.h"
#include "rules/package.h"
#include "win32/handles.h"
#include "win32/win32_registry.h"

namespace qsetup::msi {
namespace {

// A console that the system made for a tool of SETUP.EXE may outlive the
// tool for a moment, with the tool's current directory, the installed
// folder, as its own; a rollback cannot remove the folder before the
// console has ended. Waits for that, for at most 10 seconds.
void WaitWhileFolderInUse(const std::wstring& folder) {
  for (int tries = 0; tries < 100; ++tries) {
    // Whoever has the folder as current directory shares it for anything
    // but deletion.
    const win32::UniqueFile handle(
        ::CreateFileW(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle || ::GetLastError() != ERROR_SHARING_VIOLATION) return;
    ::Sleep(100);
  }
}

std::wstring ReadProperty(MSIHANDLE install, const wchar_t* name) {
  wchar_t empty[1] = L"";
  DWORD length = 0;
  // The size asked for leaves out the terminating null.
  if (::MsiGetPropertyW(install, name, empty, &length) != ERROR_MORE_DATA) return {};
  std::wstring value(length + 1, L'\0');
  ++length;
  if (::MsiGetPropertyW(install, name, value.data(), &length) != ERROR_SUCCESS) return {};
  value.resize(length);
  return value;
}

// The fields of the deferred action's CustomActionData, apart at the first
// `count` - 1 bars: only the last field may hold a '|'.
std::vector<std::wstring> ActionData(MSIHANDLE install, std::size_t count) {
  const std::wstring data = ReadProperty(install, L"CustomActionData");
  std::vector<std::wstring> fields;
  std::size_t start = 0;
  while (fields.size() + 1 < count) {
    const std::size_t bar = data.find(L'|', start);
    fields.push_back(data.substr(start, bar - start));
    start = bar == std::wstring::npos ? data.size() : bar + 1;
  }
  fields.push_back(data.substr(start));
  return fields;
}

}  // namespace

extern "C" __declspec(dllexport) UINT WINAPI ProtectFolder(MSIHANDLE install) {
  // "[INSTALLFOLDER]": it ends in a backslash.
  std::wstring folder = ActionData(install, 1)[0];
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (folder.empty() || folder.back() == L':') {
    LogLine(install,
            L"INSTALLFOLDER " + folder + L"\\ is the root of a drive: choose a folder of its own.");
    return ERROR_INSTALL_FAILURE;
  }
  return ProtectInstallFolder(install, folder) ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

extern "C" __declspec(dllexport) UINT WINAPI RunSetup(MSIHANDLE install) {
  // "[INSTALLFOLDER]|[SETUPSWITCHES]": no folder name holds a '|'. The folder
  // ends in a backslash.
  const std::vector<std::wstring> data = ActionData(install, 2);
  const std::wstring& folder = data[0];
  const std::wstring& switches = data[1];

  // SETUP.EXE would report success without installing anything.
  if (const std::optional<std::string> invalid = InvalidForceCode(NarrowReplacing(switches))) {
    LogLine(install, L"SETUPSWITCHES holds the invalid force code " + WidenReplacing(*invalid) +
                         L" (only -FU forces): SETUP.EXE would install nothing and exit with 0, "
                         L"so it was not run.");
    return ERROR_INSTALL_FAILURE;
  }

  const std::wstring setup_name = WidenReplacing(kSetupProgramName);
  const std::wstring program = folder + setup_name;
  std::wstring command_line = L"\"" + program + L"\"";
  if (!switches.empty()) command_line += L" " + switches;
  LogLine(install, L"Running " + command_line);
  const SetupOutcome outcome = OutcomeOfSetupRun(
      RunLogged(install, program, command_line, folder, setup_name, kSetupMinutes));
  LogLine(install, WidenReplacing(outcome.log_line));
  if (!outcome.succeeded) {
    WaitWhileFolderInUse(folder);
    return ERROR_INSTALL_FAILURE;
  }
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RemoveService(MSIHANDLE install) {
  // An uninstall that failed here would keep the product on the machine for
  // good: what was done is logged, never returned.
  // "[ProductCode]|[UpgradeCode]|[INSTALLFOLDER]".
  const std::vector<std::wstring> data = ActionData(install, 3);
  RemoveServiceAndEventSource(install, data[0], data[1], data[2]);
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RequestRestart(MSIHANDLE install) {
  win32::Win32RegistryReader registry;
  const RestartRequest request = RequestOfRestartRecord(registry);
  LogLine(install, WidenReplacing(request.log_line));
  if (request.restart) ::MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
  return ERROR_SUCCESS;
}

}  // namespace qsetup::msi
