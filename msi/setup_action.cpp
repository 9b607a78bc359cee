// The custom actions of the MSI package, in a DLL that the Windows Installer
// loads from the package:
// - RunSetup (deferred, as the system) runs SETUP.EXE from the installed
//   folder and writes its output into the MSI log, line by line;
// - RemoveServiceTool (deferred, as the system, on uninstall) runs the
//   service tool's own removal from the system directory;
// - RequestRestart (immediate, after InstallFinalize) passes SETUP.EXE's
//   request for a restart on to the installer.
#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <string_view>
#include <utility>

#include "msi/setup_outcome.h"
#include "win32/handles.h"

namespace qsetup::msi {
namespace {

using win32::UniqueFile;
using win32::UniqueHandle;
using win32::UniqueMsiHandle;

// A deferred action may not change the installer's run modes, so RunSetup
// leaves this global atom behind for RequestRestart.
constexpr wchar_t kRestartAtom[] = L"Orvane.QLN2.SetupAskedForRestart";

void ClearRestartRequest() {
  // An atom counts its additions; one deletion takes one away.
  for (ATOM atom = ::GlobalFindAtomW(kRestartAtom); atom != 0 && ::GlobalDeleteAtom(atom) == 0;
       atom = ::GlobalFindAtomW(kRestartAtom)) {
  }
}

std::wstring Widen(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, 0, bytes.data(), size, text.data(), length);
  return text;
}

// Writes `text` as one line of the MSI log. The installer resolves [...] in
// a message's fields too, so brackets are escaped to stay text.
void LogLine(MSIHANDLE install, std::wstring_view text) {
  std::wstring escaped;
  for (const wchar_t c : text) {
    if (c == L'[') {
      escaped += L"[\\[]";
    } else if (c == L']') {
      escaped += L"[\\]]";
    } else {
      escaped += c;
    }
  }
  const UniqueMsiHandle record(::MsiCreateRecord(1));
  if (!record) return;
  ::MsiRecordSetStringW(record.get(), 0, L"[1]");
  ::MsiRecordSetStringW(record.get(), 1, escaped.c_str());
  ::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

// Cuts a program's output into lines as it arrives and logs each line that
// holds more than line ends, behind `prefix`. The bytes are in the OEM code
// page, as SETUP.EXE writes them for a console.
class LineLogger {
 public:
  LineLogger(MSIHANDLE install, std::wstring prefix)
      : install_(install), prefix_(std::move(prefix)) {}

  void Add(std::string_view bytes) {
    for (const char c : bytes) {
      if (c == '\n') {
        Flush();
      } else {
        pending_ += c;
      }
    }
  }

  // Logs what came after the last line feed.
  void Flush() {
    // Texts end their lines in "\n\r" as well as "\r\n".
    const std::size_t first = pending_.find_first_not_of('\r');
    if (first != std::string::npos) {
      const std::size_t last = pending_.find_last_not_of('\r');
      LogLine(install_, prefix_ + Widen(std::string_view(pending_).substr(first, last - first + 1),
                                        CP_OEMCP));
    }
    pending_.clear();
  }

 private:
  MSIHANDLE install_;
  std::wstring prefix_;
  std::string pending_;
};

struct ProgramRun {
  bool started = false;
  DWORD exit_code = 0;    // when started
  DWORD start_error = 0;  // when not: the Windows error of the start
};

// Runs `application` with `command_line` in `directory`, without a console
// (a key wait of the program returns at once: nobody could press a key),
// with empty standard input, and its standard output and error into the log
// behind `prefix`. Returns when the program has ended.
ProgramRun RunLogged(MSIHANDLE install, const std::wstring& application, std::wstring command_line,
                     const std::wstring& directory, const std::wstring& prefix) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inheritable, 0)) return {false, 0, ::GetLastError()};
  const UniqueHandle output(read_end);
  UniqueHandle program_output(write_end);
  if (!::SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0)) {
    return {false, 0, ::GetLastError()};
  }
  UniqueFile program_input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!program_input) return {false, 0, ::GetLastError()};

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = program_input.get();
  startup.hStdOutput = program_output.get();
  startup.hStdError = program_output.get();
  PROCESS_INFORMATION info{};
  // CreateProcessW may write into the command line.
  if (!::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                        DETACHED_PROCESS, nullptr, directory.c_str(), &startup, &info)) {
    return {false, 0, ::GetLastError()};
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  // Only the program holds the write end now: the output ends with it.
  program_output.reset();
  program_input.reset();

  LineLogger lines(install, prefix);
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(output.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    lines.Add(std::string_view(buffer, read));
  }
  lines.Flush();

  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return {false, 0, ::GetLastError()};
  return {true, code, 0};
}

// A console that the system made for a tool of SETUP.EXE may outlive the
// tool for a moment, with the tool's current directory, the installed
// folder, as its own; a rollback cannot remove the folder before the
// console has ended. Waits for that, for at most 10 seconds.
void WaitWhileFolderInUse(const std::wstring& folder) {
  for (int tries = 0; tries < 100; ++tries) {
    // Whoever has the folder as current directory shares it for anything
    // but deletion.
    const UniqueFile handle(::CreateFileW(folder.c_str(), DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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

}  // namespace

extern "C" __declspec(dllexport) UINT WINAPI RunSetup(MSIHANDLE install) {
  // "[INSTALLFOLDER]|[SETUPSWITCHES]": no folder name holds a '|'. The folder
  // ends in a backslash.
  const std::wstring data = ReadProperty(install, L"CustomActionData");
  const std::size_t bar = data.find(L'|');
  const std::wstring folder = data.substr(0, bar);
  const std::wstring switches = bar == std::wstring::npos ? L"" : data.substr(bar + 1);
  ClearRestartRequest();

  const std::wstring program = folder + L"SETUP.EXE";
  std::wstring command_line = L"\"" + program + L"\"";
  if (!switches.empty()) command_line += L" " + switches;
  LogLine(install, L"Running " + command_line);
  const ProgramRun run = RunLogged(install, program, command_line, folder, L"SETUP.EXE: ");
  if (!run.started) {
    LogLine(install, L"SETUP.EXE could not be run: Windows error " +
                         std::to_wstring(run.start_error) + L".");
    return ERROR_INSTALL_FAILURE;
  }
  const SetupOutcome outcome = OutcomeOfExitCode(run.exit_code);
  LogLine(install, Widen(outcome.log_line, CP_ACP));
  if (!outcome.succeeded) {
    WaitWhileFolderInUse(folder);
    return ERROR_INSTALL_FAILURE;
  }
  if (outcome.restart) ::GlobalAddAtomW(kRestartAtom);
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RemoveServiceTool(MSIHANDLE install) {
  // An uninstall that failed here would keep the product on the machine for
  // good: the removal's outcome is logged, never returned.
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    LogLine(install, L"TELMXSVC.EXE -remove not run: no system directory.");
    return ERROR_SUCCESS;
  }
  const std::wstring directory(system, length);
  const std::wstring program = directory + L"\\TELMXSVC.EXE";
  const ProgramRun run =
      RunLogged(install, program, L"\"" + program + L"\" -remove", directory, L"TELMXSVC.EXE: ");
  if (run.started) {
    LogLine(install, L"TELMXSVC.EXE -remove exit code " + std::to_wstring(run.exit_code) + L".");
  } else {
    LogLine(install, L"TELMXSVC.EXE -remove could not be run: Windows error " +
                         std::to_wstring(run.start_error) + L".");
  }
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RequestRestart(MSIHANDLE install) {
  if (::GlobalFindAtomW(kRestartAtom) == 0) return ERROR_SUCCESS;
  ClearRestartRequest();
  ::MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
  return ERROR_SUCCESS;
}

}  // namespace qsetup::msi
