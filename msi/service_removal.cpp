#include "msi/service_removal.h"

#include <string>
#include <utility>
#include <vector>

#include "msi/action_log.h"
#include "msi/program_run.h"
#include "msi/setup_outcome.h"
#include "rules/event_ids.h"
#include "rules/package.h"
#include "win32/handles.h"
#include "win32/win32_system_directory.h"

namespace qsetup::msi {
namespace {

using win32::UniqueServiceHandle;

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

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// False only when the service control manager says that the service does
// not exist.
bool ServiceMayBeRegistered(const std::wstring& service_name) {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return true;
  const UniqueServiceHandle service(
      ::OpenServiceW(manager.get(), service_name.c_str(), SERVICE_QUERY_STATUS));
  return service || ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

// Stops the service, waiting at most 30 seconds, and deletes it. Returns the
// Windows error, or 0. A service that does not stop in time is deleted as
// soon as it ends.
DWORD StopAndDeleteService(const std::wstring& service_name) {
  const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return ::GetLastError();
  const UniqueServiceHandle service(::OpenServiceW(manager.get(), service_name.c_str(),
                                                   SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
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
  // The tool's name as SETUP.EXE starts it.
  const std::string tool_name = ServiceToolPath("");
  const std::wstring tool = WidenReplacing(tool_name);
  const std::string removal = tool_name + " " + kServiceToolRemove;
  std::vector<std::wstring> folders;
  if (std::wstring system = win32::WideSystemFolder(); !system.empty())
    folders.push_back(std::move(system));
  folders.push_back(installed_folder);
  for (const std::wstring& folder : folders) {
    const std::wstring program = folder + tool;
    if (!IsFile(program)) {
      LogLine(install, program + L" is not there.");
      continue;
    }
    const std::wstring command_line = L"\"" + program + L"\" " + WidenReplacing(kServiceToolRemove);
    LogLine(install, L"Running " + command_line);
    const ProgramRun run =
        RunLogged(install, program, command_line, folder, tool, kServiceToolMinutes);
    LogLine(install, WidenReplacing(RunLine(removal, run, kServiceToolMinutes)));
    if (run.end != ProgramRun::End::kNotStarted) break;
  }

  const std::wstring service_name = WidenReplacing(kServiceName);
  if (!ServiceMayBeRegistered(service_name)) {
    LogLine(install, service_name + L" is not registered.");
    return;
  }
  if (const DWORD error = StopAndDeleteService(service_name); error != 0) {
    LogLine(install, service_name + L" could not be deleted through the service control manager: " +
                         WidenReplacing(WindowsErrorText(error)) + L".");
  } else {
    LogLine(install, service_name +
                         L" was still registered: deleted through the service control manager "
                         L"(stopped first if it ran).");
  }
}

// The event source that SETUP.EXE registers and never removes itself.
void RemoveEventSource(MSIHANDLE install) {
  const std::wstring name = L"Event source \"" + WidenReplacing(kEventSourceName) + L"\"";
  const std::wstring key =
      WidenReplacing(kApplicationLogKey) + L"\\" + WidenReplacing(kEventSourceName);
  const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  if (status == ERROR_SUCCESS) {
    LogLine(install, name + L" removed.");
  } else if (status == ERROR_FILE_NOT_FOUND) {
    LogLine(install, name + L" is not registered.");
  } else {
    LogLine(install, name + L" could not be removed: " +
                         WidenReplacing(WindowsErrorText(static_cast<WinError>(status))) + L".");
  }
}

// The message files that SETUP.EXE put into its staging directory, one per
// version, once no event source names them: each is deleted, or where a
// viewer holds it loaded, left for the next start of Windows to delete.
void RemoveMessageFiles(MSIHANDLE install) {
  const std::wstring system = win32::WideSystemFolder();
  if (system.empty()) return;
  const std::wstring staging = system + L"drivers\\qln2\\";
  WIN32_FIND_DATAW found;
  const win32::UniqueFind search(
      ::FindFirstFileW((staging + WidenReplacing(kMessageFilePrefix) + L"*.DLL").c_str(), &found));
  if (!search) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::wstring path = staging + found.cFileName;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::DeleteFileW(path.c_str())) {
      LogLine(install, path + L" removed.");
    } else if (const DWORD error = ::GetLastError();
               ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      LogLine(install, path + L" is in use (" + WidenReplacing(WindowsErrorText(error)) +
                           L"): it is removed at the next start of Windows.");
    } else {
      LogLine(install,
              path + L" could not be removed: " + WidenReplacing(WindowsErrorText(error)) + L".");
    }
  } while (::FindNextFileW(search.get(), &found));
}

}  // namespace

void RemoveServiceAndEventSource(MSIHANDLE install, const std::wstring& product_code,
                                 const std::wstring& upgrade_code,
                                 const std::wstring& installed_folder) {
  if (const std::wstring other = OtherProduct(upgrade_code, product_code); !other.empty()) {
    LogLine(install, WidenReplacing(kServiceName) + L" and the event source \"" +
                         WidenReplacing(kEventSourceName) + L"\" are kept: " + other +
                         L" of the same upgrade code stays installed.");
    return;
  }
  RemoveTheService(install, installed_folder);
  RemoveEventSource(install);
  RemoveMessageFiles(install);
}

}  // namespace qsetup::msi
