// The custom actions of the MSI package, in a DLL that the Windows Installer
// loads from the package:
// - ProtectFolder (deferred, as the system, before the files are installed)
//   gives the installed folder permissions of its own;
// - RunSetup (deferred, as the system) runs SETUP.EXE from the installed
//   folder and writes its output into the MSI log, line by line;
//   SETUP.EXE still running after kSetupMinutes is ended;
// - RemoveService (deferred, as the system, on uninstall) leaves no QLN2Svc
//   service and no event source of SETUP.EXE behind, unless another product
//   of the upgrade code stays installed;
// - RequestRestart (immediate, after InstallFinalize) passes SETUP.EXE's
//   request for a restart on to the installer.
#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <aclapi.h>
#include <msi.h>
#include <msiquery.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/event_log_os.h"
#include "msi/setup_outcome.h"
#include "win32/handles.h"

namespace qsetup::msi {
namespace {

using win32::UniqueFile;
using win32::UniqueHandle;
using win32::UniqueLocal;
using win32::UniqueMsiHandle;
using win32::UniqueServiceHandle;

constexpr wchar_t kServiceTool[] = L"TELMXSVC.EXE";

// The installed folder: owned by Administrators (so that whoever made the
// folder before cannot change its permissions again), SYSTEM and
// Administrators in full control, Users reading and executing, each entry
// inherited by everything below, nothing inherited from the parent.
constexpr wchar_t kFolderSecurity[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

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

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
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
// page, as SETUP.EXE writes its texts for a console, or in the ANSI code
// page, as it writes the paths that Windows gives it.
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
      const std::string_view line = std::string_view(pending_).substr(first, last - first + 1);
      LogLine(install_, prefix_ + Widen(line, OutputLineIsAnsi(line) ? CP_ACP : CP_OEMCP));
    }
    pending_.clear();
  }

 private:
  MSIHANDLE install_;
  std::wstring prefix_;
  std::string pending_;
};

#ifdef QSETUP_TEST_MSI_MINUTE_MS
// A test build counts minutes of that many milliseconds, so that its bounds
// pass in seconds; the product never defines it.
constexpr DWORD kBoundMinuteMs = QSETUP_TEST_MSI_MINUTE_MS;
#else
constexpr DWORD kBoundMinuteMs = kMinuteMs;
#endif

// How often the action looks for a program's output while it runs.
constexpr DWORD kOutputPollMs = 50;
// How long a program that was told to end may take to go.
constexpr DWORD kEndWaitMs = 10 * 1000;

struct ProgramRun {
  bool started = false;
  bool ran_out = false;   // when started: still running at its bound
  bool ended = false;     // when it ran out: the action ended it
  DWORD exit_code = 0;    // when started and not run out
  DWORD start_error = 0;  // when not started: the Windows error of the start
};

ProgramRun NotStarted(DWORD error) {
  ProgramRun run;
  run.start_error = error;
  return run;
}

// Logs the output that is waiting in the pipe, without waiting for more:
// at most what was there when it looked, so that a program that never stops
// writing cannot hold the action here either.
void LogWaitingOutput(HANDLE output, LineLogger& lines) {
  DWORD waiting = 0;
  // Fails once nobody holds the write end any more and all was read.
  if (!::PeekNamedPipe(output, nullptr, 0, nullptr, &waiting, nullptr)) return;
  char buffer[4096];
  while (waiting > 0) {
    DWORD read = 0;
    const DWORD wanted = waiting < sizeof buffer ? waiting : sizeof buffer;
    if (!::ReadFile(output, buffer, wanted, &read, nullptr) || read == 0) return;
    lines.Add(std::string_view(buffer, read));
    waiting -= read;
  }
}

// Runs `application` with `command_line` in `directory`, without a console
// (a key wait of the program returns at once: nobody could press a key),
// with empty standard input, and its standard output and error into the log
// behind `prefix`. Returns when the program has ended, or once it has run
// for `minutes`, when it is ended.
ProgramRun RunLogged(MSIHANDLE install, const std::wstring& application, std::wstring command_line,
                     const std::wstring& directory, const std::wstring& prefix,
                     std::uint32_t minutes) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  // Room for a burst of trace lines between two looks.
  if (!::CreatePipe(&read_end, &write_end, &inheritable, 64 * 1024)) {
    return NotStarted(::GetLastError());
  }
  const UniqueHandle output(read_end);
  UniqueHandle program_output(write_end);
  if (!::SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0)) {
    return NotStarted(::GetLastError());
  }
  UniqueFile program_input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!program_input) return NotStarted(::GetLastError());

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
    return NotStarted(::GetLastError());
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  program_output.reset();
  program_input.reset();

  // The wait is for the program, not for the end of its output: a program
  // that it started may have inherited the write end and hold it for good.
  LineLogger lines(install, prefix);
  const ULONGLONG deadline = ::GetTickCount64() + ULONGLONG{minutes} * kBoundMinuteMs;
  ProgramRun run;
  run.started = true;
  for (;;) {
    LogWaitingOutput(output.get(), lines);
    // Anything but a timeout: the program has ended, or its handle cannot be
    // waited for, and waiting again would not change that.
    if (::WaitForSingleObject(process.get(), kOutputPollMs) != WAIT_TIMEOUT) break;
    if (::GetTickCount64() >= deadline) {
      run.ran_out = true;
      // TerminateProcess returns before the program has gone, and fails for
      // one that ended by itself meanwhile: that it is gone is the proof.
      ::TerminateProcess(process.get(), ERROR_TIMEOUT);
      run.ended = ::WaitForSingleObject(process.get(), kEndWaitMs) == WAIT_OBJECT_0;
      break;
    }
  }
  // What it wrote before it ended.
  LogWaitingOutput(output.get(), lines);
  lines.Flush();
  if (run.ran_out) return run;

  if (!::GetExitCodeProcess(process.get(), &run.exit_code)) {
    return NotStarted(::GetLastError());
  }
  return run;
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

std::wstring WindowsError(DWORD error) {
  return L"Windows error " + std::to_wstring(error);
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Creates `folder` (no closing separator) with `security` unless it exists,
// and its missing parents as Windows makes folders. Returns the Windows
// error, 0 when the folder is there.
DWORD CreateFolder(const std::wstring& folder, PSECURITY_DESCRIPTOR security) {
  if (IsDirectory(folder)) return 0;
  const std::size_t separator = folder.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0 && folder[separator - 1] != L':') {
    if (const DWORD error = CreateFolder(folder.substr(0, separator), nullptr); error != 0) {
      return error;
    }
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
  if (::CreateDirectoryW(folder.c_str(), &attributes)) return 0;
  const DWORD error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS && IsDirectory(folder) ? 0 : error;
}

// Gives `folder` the security of kFolderSecurity, made with it when it is
// new, so that nobody else can write there in between. Returns the Windows
// error, or 0.
DWORD ProtectFolderAt(std::wstring folder) {
  PSECURITY_DESCRIPTOR parsed = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1,
                                                              &parsed, nullptr)) {
    return ::GetLastError();
  }
  const UniqueLocal security(parsed);
  if (const DWORD error = CreateFolder(folder, security.get()); error != 0) return error;
  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  PACL dacl = nullptr;
  BOOL dacl_present = FALSE;
  BOOL dacl_defaulted = FALSE;
  if (!::GetSecurityDescriptorOwner(security.get(), &owner, &owner_defaulted) ||
      !::GetSecurityDescriptorDacl(security.get(), &dacl_present, &dacl, &dacl_defaulted)) {
    return ::GetLastError();
  }
  // An existing folder gets it too, and Windows passes the inherited entries
  // on to what the folder holds. Returns the error itself.
  return ::SetNamedSecurityInfoW(
      folder.data(), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      owner, nullptr, dacl, nullptr);
}

// A product of `upgrade_code` other than `product_code` that the installer
// holds as installed; empty when there is none.
std::wstring OtherProduct(const std::wstring& upgrade_code, const std::wstring& product_code) {
  wchar_t product[39];
  for (DWORD index = 0;
       ::MsiEnumRelatedProductsW(upgrade_code.c_str(), 0, index, product) == ERROR_SUCCESS;
       ++index) {
    if (::lstrcmpiW(product, product_code.c_str()) != 0) return product;
  }
  return {};
}

// False only when the service control manager says that the service does
// not exist.
bool ServiceMayBeRegistered() {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return true;
  const UniqueServiceHandle service(
      ::OpenServiceA(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
  return service || ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

// Stops the service, waiting at most 30 seconds, and deletes it. Returns the
// Windows error, or 0. A service that does not stop in time is deleted as
// soon as it ends.
DWORD StopAndDeleteService() {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return ::GetLastError();
  const UniqueServiceHandle service(
      ::OpenServiceA(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) return ::GetLastError();
  SERVICE_STATUS status{};
  // A service that does not run refuses the stop; it is deleted all the same.
  if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    for (int tries = 0; tries < 300 && status.dwCurrentState != SERVICE_STOPPED; ++tries) {
      ::Sleep(100);
      if (!::QueryServiceStatus(service.get(), &status)) break;
    }
  }
  if (::DeleteService(service.get())) return 0;
  const DWORD error = ::GetLastError();
  return error == ERROR_SERVICE_MARKED_FOR_DELETE ? 0 : error;
}

// Runs the service tool's own removal from the system directory, or from
// the installed folder when the system directory has none, and then deletes
// the service through the service control manager if it is still there. A
// removal still running after kServiceToolMinutes is ended, and the service
// control manager deletes the service without a try of the other copy,
// which could take as long again.
void RemoveTheService(MSIHANDLE install, const std::wstring& installed_folder) {
  std::vector<std::wstring> folders;
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.push_back(std::wstring(system, length) + L"\\");
  folders.push_back(installed_folder);
  for (const std::wstring& folder : folders) {
    const std::wstring program = folder + kServiceTool;
    if (!IsFile(program)) {
      LogLine(install, program + L" is not there.");
      continue;
    }
    const std::wstring command_line = L"\"" + program + L"\" -remove";
    LogLine(install, L"Running " + command_line);
    const ProgramRun run = RunLogged(install, program, command_line, folder,
                                     std::wstring(kServiceTool) + L": ", kServiceToolMinutes);
    if (run.ran_out) {
      const std::string tool = Narrow(kServiceTool) + " -remove";
      LogLine(install, Widen(NotEndedLine(tool, kServiceToolMinutes, run.ended), CP_UTF8));
      break;
    }
    if (run.started) {
      LogLine(install, std::wstring(kServiceTool) + L" -remove exit code " +
                           std::to_wstring(run.exit_code) + L".");
      break;
    }
    LogLine(install, std::wstring(kServiceTool) + L" -remove could not be run: " +
                         WindowsError(run.start_error) + L".");
  }

  if (!ServiceMayBeRegistered()) {
    LogLine(install, Widen(kServiceName, CP_ACP) + L" is not registered.");
    return;
  }
  const DWORD error = StopAndDeleteService();
  if (error == 0) {
    LogLine(install, Widen(kServiceName, CP_ACP) +
                         L" was still registered: deleted through the service control manager "
                         L"(stopped first if it ran).");
  } else {
    LogLine(install, Widen(kServiceName, CP_ACP) +
                         L" could not be deleted through the service control manager: " +
                         WindowsError(error) + L".");
  }
}

// The event source that SETUP.EXE registers and never removes itself.
void RemoveEventSource(MSIHANDLE install) {
  const std::wstring name = L"Event source \"" + Widen(kEventSourceName, CP_ACP) + L"\"";
  const std::string key = std::string(kApplicationLogKey) + "\\" + kEventSourceName;
  const LSTATUS status = ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
  if (status == ERROR_SUCCESS) {
    LogLine(install, name + L" removed.");
  } else if (status == ERROR_FILE_NOT_FOUND) {
    LogLine(install, name + L" is not registered.");
  } else {
    LogLine(install, name + L" could not be removed: " + WindowsError(status) + L".");
  }
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
  if (const DWORD error = ProtectFolderAt(folder); error != 0) {
    LogLine(install, L"INSTALLFOLDER " + folder +
                         L"\\ could not be given permissions of its own: " + WindowsError(error) +
                         L".");
    return ERROR_INSTALL_FAILURE;
  }
  LogLine(install, L"INSTALLFOLDER " + folder + L"\\ has permissions of its own, " +
                       kFolderSecurity +
                       L": owner Administrators; SYSTEM and Administrators full control, Users "
                       L"read and execute; nothing inherited from its parent.");
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RunSetup(MSIHANDLE install) {
  // "[INSTALLFOLDER]|[SETUPSWITCHES]": no folder name holds a '|'. The folder
  // ends in a backslash.
  const std::vector<std::wstring> data = ActionData(install, 2);
  const std::wstring& folder = data[0];
  const std::wstring& switches = data[1];
  ClearRestartRequest();

  // SETUP.EXE would report success without installing anything.
  if (const std::optional<std::string> invalid = InvalidForceCode(Narrow(switches))) {
    LogLine(install, L"SETUPSWITCHES holds the invalid force code " + Widen(*invalid, CP_UTF8) +
                         L" (only -FU forces): SETUP.EXE would install nothing and exit with 0, "
                         L"so it was not run.");
    return ERROR_INSTALL_FAILURE;
  }

  const std::wstring program = folder + L"SETUP.EXE";
  std::wstring command_line = L"\"" + program + L"\"";
  if (!switches.empty()) command_line += L" " + switches;
  LogLine(install, L"Running " + command_line);
  const ProgramRun run =
      RunLogged(install, program, command_line, folder, L"SETUP.EXE: ", kSetupMinutes);
  if (!run.started) {
    LogLine(install, L"SETUP.EXE could not be run: " + WindowsError(run.start_error) + L".");
    return ERROR_INSTALL_FAILURE;
  }
  const SetupOutcome outcome =
      run.ran_out ? OutcomeOfUnendedRun(run.ended) : OutcomeOfExitCode(run.exit_code);
  LogLine(install, Widen(outcome.log_line, CP_ACP));
  if (!outcome.succeeded) {
    WaitWhileFolderInUse(folder);
    return ERROR_INSTALL_FAILURE;
  }
  if (outcome.restart) ::GlobalAddAtomW(kRestartAtom);
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RemoveService(MSIHANDLE install) {
  // An uninstall that failed here would keep the product on the machine for
  // good: what was done is logged, never returned.
  // "[ProductCode]|[UpgradeCode]|[INSTALLFOLDER]".
  const std::vector<std::wstring> data = ActionData(install, 3);
  // An upgrade removes the older product after the newer one has installed:
  // the service and the event source are the newer one's now.
  if (const std::wstring other = OtherProduct(data[1], data[0]); !other.empty()) {
    LogLine(install, Widen(kServiceName, CP_ACP) + L" and the event source \"" +
                         Widen(kEventSourceName, CP_ACP) + L"\" are kept: " + other +
                         L" of the same upgrade code stays installed.");
    return ERROR_SUCCESS;
  }
  RemoveTheService(install, data[2]);
  RemoveEventSource(install);
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT WINAPI RequestRestart(MSIHANDLE install) {
  if (::GlobalFindAtomW(kRestartAtom) == 0) return ERROR_SUCCESS;
  ClearRestartRequest();
  ::MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
  return ERROR_SUCCESS;
}

}  // namespace qsetup::msi
